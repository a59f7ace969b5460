// VELTTypeLib.dll: the stand-in host's type library with its module-information class,
// registered the way the host's own library would be.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>

#include "VELTTypeLib.h"
#include "host/standin/host_library.h"
#include "host/standin/module_info.h"
#include "win/com_error.h"
#include "win/com_object.h"
#include "win/handles.h"
#include "win/module_count.h"
#include "win/registry.h"

using Microsoft::WRL::ComPtr;
using zorvane::standin::ModuleInfoFactory;
namespace win = zorvane::win;

namespace {

constexpr wchar_t kClassName[] = L"VELTModuleInfo";
constexpr wchar_t kLibraryVersion[] = L"2.2";
constexpr WORD kLibraryMajor = 2;
constexpr WORD kLibraryMinor = 2;

std::wstring ClassKeyName() { return L"CLSID\\" + win::GuidText(CLSID_VELTModuleInfo); }

std::wstring OwnPath() {
    std::wstring path = zorvane::standin::ModulePath(zorvane::standin::LibraryModule());
    if (path.empty()) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()));
    return path;
}

void Register() {
    std::wstring path = OwnPath();
    ComPtr<ITypeLib> library;
    win::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
    win::ThrowIfFailed(RegisterTypeLib(library.Get(), path.data(), nullptr));

    const win::RegistryKey class_key = win::CreateRegistryKey(HKEY_CLASSES_ROOT, ClassKeyName());
    win::SetRegistryText(class_key.get(), nullptr, kClassName);
    const win::RegistryKey server = win::CreateRegistryKey(class_key.get(), L"InprocServer32");
    win::SetRegistryText(server.get(), nullptr, path);
    win::SetRegistryText(server.get(), L"ThreadingModel", L"Apartment");
    win::SetRegistryText(win::CreateRegistryKey(class_key.get(), L"TypeLib").get(), nullptr,
                         win::GuidText(LIBID_VELTTypeLib));
    win::SetRegistryText(win::CreateRegistryKey(class_key.get(), L"Version").get(), nullptr,
                         kLibraryVersion);
}

// The kind of our own library (win32 or win64): RegisterTypeLib registered it under that.
SYSKIND LibraryKind() {
    ComPtr<ITypeLib> library;
    win::ThrowIfFailed(LoadTypeLibEx(OwnPath().c_str(), REGKIND_NONE, &library));
    TLIBATTR* attributes = nullptr;
    win::ThrowIfFailed(library->GetLibAttr(&attributes));
    const SYSKIND kind = attributes->syskind;
    library->ReleaseTLibAttr(attributes);
    return kind;
}

void Unregister() {
    // What is not there any more counts as removed.
    const HRESULT hr =
        UnRegisterTypeLib(LIBID_VELTTypeLib, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, LibraryKind());
    if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) win::ThrowHr(hr);
    win::DeleteRegistryTree(HKEY_CLASSES_ROOT, ClassKeyName());
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        zorvane::standin::UseLibraryOfModule(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_VELTModuleInfo) return CLASS_E_CLASSNOTAVAILABLE;
    return win::ComBoundary(IID_IClassFactory, kClassName, [&] {
        return win::Make<ModuleInfoFactory>()->QueryInterface(iid, object);
    });
}

STDAPI DllCanUnloadNow() {
    if (win::ModuleCount::Value() != 0) return S_FALSE;
    zorvane::standin::ReleaseHostLibrary();
    return S_OK;
}

// Registration reports a failure by its code only: regsvr32 /s must stay silent.
STDAPI DllRegisterServer() {
    return win::ComBoundary(IID_NULL, kClassName, [] {
        Register();
        return S_OK;
    });
}

STDAPI DllUnregisterServer() {
    return win::ComBoundary(IID_NULL, kClassName, [] {
        Unregister();
        return S_OK;
    });
}
