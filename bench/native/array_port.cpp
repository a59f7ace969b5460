#include "bench/native/array_port.h"

namespace zorvane::bench {

double ArrayPort::ReadChannelValue(std::int32_t& channel) {
    return levels[static_cast<std::size_t>(channel)];
}

void ArrayPort::SetChannelValue(std::int32_t& channel, std::int32_t& value) {
    written[static_cast<std::size_t>(channel)] = value;
    ++writes;
}

}  // namespace zorvane::bench
