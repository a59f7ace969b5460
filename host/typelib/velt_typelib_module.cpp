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

using Microsoft::WRL::ComPtr;
using zorvane::standin::ModuleInfoFactory;
namespace win = zorvane::win;

namespace {

HINSTANCE g_instance = nullptr;

constexpr wchar_t kClassName[] = L"VELTModuleInfo";
constexpr wchar_t kLibraryVersion[] = L"2.2";
constexpr WORD kLibraryMajor = 2;
constexpr WORD kLibraryMinor = 2;

struct RegistryKeyTraits {
    static void Close(HKEY key) noexcept { RegCloseKey(key); }
};
using UniqueKey = win::UniqueHandle<HKEY, RegistryKeyTraits>;

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    if (StringFromGUID2(guid, text, 40) == 0) win::ThrowHr(E_UNEXPECTED);
    return text;
}

UniqueKey CreateKey(HKEY parent, const std::wstring& name) {
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) win::ThrowHr(HRESULT_FROM_WIN32(status));
    return UniqueKey(key);
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) win::ThrowHr(HRESULT_FROM_WIN32(status));
}

std::wstring ClassKeyName() { return L"CLSID\\" + GuidText(CLSID_VELTModuleInfo); }

std::wstring OwnPath() {
    std::wstring path = zorvane::standin::ModulePath(g_instance);
    if (path.empty()) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()));
    return path;
}

void Register() {
    std::wstring path = OwnPath();
    ComPtr<ITypeLib> library;
    win::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
    win::ThrowIfFailed(RegisterTypeLib(library.Get(), path.data(), nullptr));

    const UniqueKey class_key = CreateKey(HKEY_CLASSES_ROOT, ClassKeyName());
    SetText(class_key.get(), nullptr, kClassName);
    const UniqueKey server = CreateKey(class_key.get(), L"InprocServer32");
    SetText(server.get(), nullptr, path);
    SetText(server.get(), L"ThreadingModel", L"Apartment");
    SetText(CreateKey(class_key.get(), L"TypeLib").get(), nullptr, GuidText(LIBID_VELTTypeLib));
    SetText(CreateKey(class_key.get(), L"Version").get(), nullptr, kLibraryVersion);
}

void Unregister() {
    // What is not there any more counts as removed.
    const HRESULT hr = UnRegisterTypeLib(LIBID_VELTTypeLib, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, SYS_WIN32);
    if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) win::ThrowHr(hr);
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyName().c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) win::ThrowHr(HRESULT_FROM_WIN32(status));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
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
