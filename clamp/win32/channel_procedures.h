#pragma once
// The shared module's two channel procedures on the host's helper: ChannelGetValue into
// ChannelValue, and MyStream, UserInteraction, MyStream, SetChannel.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace zorvane::velt_zorvane {

// PluginHelper as an object; an empty value or an empty reference throws win::ComError
// (object required).
IDispatch* CurrentHelper();

// ChannelGetValue on helper, which the caller keeps referenced, with the channel by
// reference; the result goes to ChannelValue. Throws win::ComError (HRESULT and the
// host's description) on failure, leaving ChannelValue as it was.
void ReadChannelValue(IDispatch* helper, std::int32_t& channel);

// MyStream, UserInteraction on it, MyStream again, SetChannel(channel, value, true).
void SetChannelValue(std::int32_t& channel, std::int32_t& value);

}  // namespace zorvane::velt_zorvane
