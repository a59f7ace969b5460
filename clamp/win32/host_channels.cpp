#include "clamp/win32/host_channels.h"

#include "clamp/win32/channel_number.h"
#include "clamp/win32/channel_procedures.h"
#include "clamp/win32/shared_values.h"

namespace zorvane::velt_zorvane {

double HostChannels::ReadChannelValue(std::int32_t& channel) {
    // Referenced from its first read to the end of the tick instead of once per read: a
    // pointer compare per rule instead of AddRef and Release. Each read still goes to the
    // helper stored at that moment.
    IDispatch* const helper = CurrentHelper();
    if (helper != held_helper_.Get()) held_helper_ = Microsoft::WRL::ComPtr<IDispatch>(helper);  // the new one first
    velt_zorvane::ReadChannelValue(helper, channel);
    return ChannelNumber(ChannelValue());
}

void HostChannels::SetChannelValue(std::int32_t& channel, std::int32_t& value) {
    velt_zorvane::SetChannelValue(channel, value);
}

}  // namespace zorvane::velt_zorvane
