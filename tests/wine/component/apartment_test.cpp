// A host calling from the multithreaded apartment gets the apartment-threaded plug-in in an
// apartment that COM makes for it, and reaches it through proxies built from the type
// libraries registered for the interfaces of this kind of DLL (ours, and the host's). A
// program of its own: that apartment keeps the plug-in's module for as long as the process
// lives, which the component tests' checks of a released module would see.
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <wrl/client.h>

#include <string>

#include "VELTTypeLib.h"
#include "plugin/plugin_identity.h"
#include "win/handles.h"

namespace zorvane::test {
namespace {

using Microsoft::WRL::ComPtr;

struct CallsFromTheMultithreadedApartment {
    HRESULT created = E_FAIL;
    HRESULT proxy = E_FAIL;  // IClientSecurity: the proxy's, never the object's own
    HRESULT own_read = E_FAIL;
    std::wstring own_name;
    HRESULT plugin_read = E_FAIL;
    std::wstring plugin_name;
};

DWORD WINAPI CallFromTheMultithreadedApartment(void* parameter) {
    auto& calls = *static_cast<CallsFromTheMultithreadedApartment*>(parameter);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
    {
        ComPtr<_clsVELTPlugIn> own;
        calls.created = CoCreateInstance(kPlugInClassId, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&own));
        if (SUCCEEDED(calls.created)) {
            ComPtr<IClientSecurity> security;
            calls.proxy = own.As(&security);
            win::Bstr name;
            calls.own_read = own->get_PluginName(name.put());
            calls.own_name = name.view();
            ComPtr<IVELTPlugin> plugin;
            calls.plugin_read = own.As(&plugin);
            if (SUCCEEDED(calls.plugin_read)) {
                calls.plugin_read = plugin->get_PluginName(name.put());
                calls.plugin_name = name.view();
            }
        }
    }
    CoUninitialize();
    return 0;
}

TEST(ApartmentTest, PluginNameFromTheMultithreadedApartment) {
    CallsFromTheMultithreadedApartment calls;
    const win::UniqueKernelHandle thread(
        CreateThread(nullptr, 0, CallFromTheMultithreadedApartment, &calls, 0, nullptr));
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    ASSERT_TRUE(GetExitCodeThread(thread.get(), &code));
    ASSERT_EQ(code, 0u) << "CoInitializeEx failed";
    ASSERT_EQ(calls.created, S_OK) << "no proxy for _clsVELTPlugIn: are its interface's keys registered?";
    EXPECT_EQ(calls.proxy, S_OK) << "a proxy, so the plug-in lives in another apartment";
    EXPECT_EQ(calls.own_read, S_OK);
    EXPECT_EQ(calls.own_name, L"Zorvane");
    EXPECT_EQ(calls.plugin_read, S_OK);
    EXPECT_EQ(calls.plugin_name, L"Zorvane");
}

}  // namespace
}  // namespace zorvane::test
