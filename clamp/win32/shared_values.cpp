#include "clamp/win32/shared_values.h"

#include <oleauto.h>


namespace zorvane::velt_zorvane {
namespace {

// Plain VARIANTs on purpose: no destructor may call into COM at unload. Zero is VT_EMPTY.
VARIANT g_plugin_helper;
VARIANT g_channel_value;
std::uint32_t g_helper_generation = 0;

}  // namespace

void StorePluginHelper(IDispatch* helper) {
    if (helper != nullptr) helper->AddRef();
    // The new value is in place before the old helper goes, whatever its Release does.
    VARIANT old = g_plugin_helper;
    V_VT(&g_plugin_helper) = VT_DISPATCH;
    V_DISPATCH(&g_plugin_helper) = helper;
    ++g_helper_generation;
    VariantClear(&old);
}

const VARIANT& PluginHelper() noexcept { return g_plugin_helper; }
const VARIANT& ChannelValue() noexcept { return g_channel_value; }

std::uint32_t HelperGeneration() noexcept { return g_helper_generation; }

void StoreChannelValue(VARIANT& value) noexcept {
    VARIANT old = g_channel_value;
    g_channel_value = value;
    V_VT(&value) = VT_EMPTY;
    VariantClear(&old);
}

void Release() noexcept {
    VARIANT helper = g_plugin_helper;
    VARIANT value = g_channel_value;
    VariantInit(&g_plugin_helper);
    VariantInit(&g_channel_value);
    ++g_helper_generation;
    VariantClear(&value);
    VariantClear(&helper);
}

}  // namespace zorvane::velt_zorvane
