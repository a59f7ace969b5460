#pragma once
// The cheapest channel port there is: 512 channels in an array. Its calls are defined
// out of line, as a real port's would be, so that no caller can inline them away.
#include <array>
#include <cstdint>

#include "clamp/clamp_cycle.h"

namespace zorvane::bench {

class ArrayPort : public ChannelPort {
public:
    double ReadChannelValue(std::int32_t& channel) override;
    void SetChannelValue(std::int32_t& channel, std::int32_t& value) override;

    std::array<double, 513> levels{};   // what reads return
    std::array<std::int32_t, 513> written{};  // kept apart so every tick sees the same levels
    std::int64_t writes = 0;
};

}  // namespace zorvane::bench
