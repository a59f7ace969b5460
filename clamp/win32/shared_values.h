#pragma once
// PluginHelper and ChannelValue: the shared module's two values, component-wide.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace zorvane::velt_zorvane {

// Init: stores the object (may be null: an empty reference) in PluginHelper with a
// counted reference of its own, releasing the one held before.
void StorePluginHelper(IDispatch* helper);

// The values as they stand; VT_EMPTY until set.
const VARIANT& PluginHelper() noexcept;
const VARIANT& ChannelValue() noexcept;

// Changes with every store and release: what was learnt of one helper is not taken for
// another that happens to live at the same address.
std::uint32_t HelperGeneration() noexcept;

// Takes the value over (value is left VT_EMPTY) and clears the one held before.
void StoreChannelValue(VARIANT& value) noexcept;

// Empties PluginHelper and ChannelValue, releasing the helper. Called by the component
// before it answers that the module may be unloaded; never from DllMain.
void Release() noexcept;

}  // namespace zorvane::velt_zorvane
