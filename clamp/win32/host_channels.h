#pragma once
// The tick's view of the host's channels, through PluginHelper.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstdint>

#include "clamp/clamp_cycle.h"

namespace zorvane::velt_zorvane {

// Reads into ChannelValue and compares it as a number (clamp/win32/channel_number.h);
// writes through SetChannelValue. Lives for one tick, and keeps the helper it last read
// from referenced until then.
class HostChannels final : public ChannelPort {
public:
    double ReadChannelValue(std::int32_t& channel) override;
    void SetChannelValue(std::int32_t& channel, std::int32_t& value) override;

private:
    Microsoft::WRL::ComPtr<IDispatch> held_helper_;
};

}  // namespace zorvane::velt_zorvane
