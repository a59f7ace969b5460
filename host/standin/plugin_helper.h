#pragma once
// The helper object a host hands to a plug-in's Init, and the output stream it yields.
// Both hand out the host library's type information as a host's objects do, but answer
// names and calls by hand (a small name table, a switch on the identifier), so that
// calling them costs what a quick host costs and a call can fail as a host's may; and
// they answer through their vtables.
#include <windows.h>
#include <wrl/client.h>

#include <memory>

#include "VELTTypeLib.h"
#include "host/standin/standin_host.h"

namespace zorvane::standin {

inline constexpr DISPID kChannelGetValueId = 1;
inline constexpr DISPID kMyStreamId = 2;
inline constexpr DISPID kUserInteractionId = 1;
inline constexpr DISPID kSetChannelId = 2;

// ChannelGetValue(channel) answers the universe's value of the channel as VT_I4 (or the
// reply set for it); the channel may come by reference (VT_I4|VT_BYREF) or by value.
// MyStream yields a stream whose SetChannel(channel, value, immediate) writes to the
// universe. A channel outside 1..512 or a value outside 0..255 is refused with
// DISP_E_EXCEPTION and a German description.
Microsoft::WRL::ComPtr<IVELTPluginHelper> MakePluginHelper(std::shared_ptr<StandinHost> host);

}  // namespace zorvane::standin
