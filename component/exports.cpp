// The DLL's entry points: each hands its call to the component-model layer.
#include <windows.h>
#include <objbase.h>

#include "component/module_lifetime.h"
#include "component/zorvane_component.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, void* reserved) {
    return zorvane::component::OnLoad(module, reason, reserved);
}

STDAPI DllCanUnloadNow() {
    return zorvane::component::CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID class_id, REFIID iid, void** out) {
    return zorvane::component::GetClassObject(zorvane::kZorvaneComponent, class_id, iid, out);
}

STDAPI DllRegisterServer() {
    return zorvane::component::RegisterServer(zorvane::kZorvaneComponent);
}

STDAPI DllUnregisterServer() {
    return zorvane::component::UnregisterServer(zorvane::kZorvaneComponent);
}

STDAPI DllInstall(BOOL install, PCWSTR command_line) {
    return zorvane::component::InstallServer(zorvane::kZorvaneComponent, install != FALSE, command_line);
}
