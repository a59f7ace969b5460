// The DLL's entry points: each hands its call to the component-model layer.
#include <windows.h>
#include <objbase.h>

#include "component/zorvane_component.h"

namespace {

zorvane::component::ModuleState g_module_state;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) {
    return zorvane::component::OnLoad(g_module_state, module, reason, reserved);
}

STDAPI DllCanUnloadNow() {
    return zorvane::component::CanUnloadNow(zorvane::kZorvaneComponent);
}

STDAPI DllGetClassObject(REFCLSID class_id, REFIID iid, void** out) {
    return zorvane::component::GetClassObject(g_module_state, zorvane::kZorvaneComponent, class_id,
                                              iid, out);
}

STDAPI DllRegisterServer() {
    return zorvane::component::RegisterServer(g_module_state, zorvane::kZorvaneComponent);
}

STDAPI DllUnregisterServer() {
    return zorvane::component::UnregisterServer(g_module_state, zorvane::kZorvaneComponent);
}
