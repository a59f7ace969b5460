#pragma once
// The shared module VELTZorvane: the host's helper and the last channel value read,
// component-wide, and the two channel procedures that reach the host by member name.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <cstdint>

#include "clamp/clamp_cycle.h"

namespace zorvane::velt_zorvane {

// Init: stores the object (may be null: an empty reference) in PluginHelper with a
// counted reference of its own, releasing the one held before.
void StorePluginHelper(IDispatch* helper);

// The values as they stand; VT_EMPTY until set.
const VARIANT& PluginHelper() noexcept;
const VARIANT& ChannelValue() noexcept;

// ChannelGetValue on PluginHelper with the channel by reference; the result goes to
// ChannelValue. Throws win::ComError (HRESULT and the host's description) on failure,
// leaving ChannelValue as it was.
void ReadChannelValue(std::int32_t& channel);

// MyStream, UserInteraction on it, MyStream again, SetChannel(channel, value, true).
void SetChannelValue(std::int32_t& channel, std::int32_t& value);

// The tick's view of the host: reads as ReadChannelValue does and compares
// ChannelValue as a number (numeric variants, or text the number reader accepts under
// the user's separators); anything else throws. Lives for one tick, and keeps the helper
// it last read from referenced until then.
class HostChannels final : public ChannelPort {
public:
    double ReadChannelValue(std::int32_t& channel) override;
    void SetChannelValue(std::int32_t& channel, std::int32_t& value) override;

private:
    Microsoft::WRL::ComPtr<IDispatch> held_helper_;
};

// Empties PluginHelper and ChannelValue, releasing the helper. Called by the component
// before it answers that the module may be unloaded; never from DllMain.
void Release() noexcept;

}  // namespace zorvane::velt_zorvane
