// Registration of the type library and the class table under HKEY_CLASSES_ROOT.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "component/component_model.h"
#include "plugin/own_type_library.h"
#include "win/com_error.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::component {
namespace {

struct RegistryKeyTraits {
    static void Close(HKEY key) noexcept { RegCloseKey(key); }
};
using RegistryKey = win::UniqueHandle<HKEY, RegistryKeyTraits>;

void CheckRegistry(LSTATUS status) {
    if (status != ERROR_SUCCESS) win::ThrowHr(HRESULT_FROM_WIN32(status));
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    if (StringFromGUID2(guid, text, 39) == 0) win::ThrowHr(E_UNEXPECTED);
    return text;
}

RegistryKey CreateKey(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    CheckRegistry(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr));
    return RegistryKey(key);
}

void SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    CheckRegistry(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

// A key with its default value, and optionally one named value.
void WriteKey(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr,
              const std::wstring& named_value = {}) {
    const RegistryKey key = CreateKey(HKEY_CLASSES_ROOT, path);
    SetText(key.get(), nullptr, value);
    if (name != nullptr) SetText(key.get(), name, named_value);
}

// Absent already counts as removed.
void DeleteTree(const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (status != ERROR_FILE_NOT_FOUND) CheckRegistry(status);
}

const wchar_t* ThreadingModelName(ThreadingModel model) {
    switch (model) {
        case ThreadingModel::Apartment:
            return L"Apartment";
    }
    return L"Apartment";
}

void RegisterClass(const ClassEntry& entry, const RegistrationRecord& record,
                   ThreadingModel threading, const std::wstring& module_path) {
    const std::wstring class_key = L"CLSID\\" + GuidText(*entry.class_id);
    const std::wstring version =
        std::to_wstring(record.library_major) + L"." + std::to_wstring(record.library_minor);
    WriteKey(class_key, entry.prog_id);
    WriteKey(class_key + L"\\InprocServer32", module_path, L"ThreadingModel",
             ThreadingModelName(threading));
    WriteKey(class_key + L"\\ProgID", entry.prog_id);
    WriteKey(class_key + L"\\TypeLib", GuidText(*record.library_id));
    WriteKey(class_key + L"\\Version", version);
    WriteKey(entry.prog_id, entry.prog_id);
    WriteKey(std::wstring(entry.prog_id) + L"\\CLSID", GuidText(*entry.class_id));
}

}  // namespace

HRESULT RegisterServer(const ModuleState& state, const ComponentDescriptor& component) noexcept {
    return win::ComBoundary(GUID_NULL, component.project_name, [&] {
        const RegistrationRecord& record = component.registration;
        std::wstring path = ModuleFileName(state.module);
        // Registering the library also records its dual interface for marshalling.
        ComPtr<ITypeLib> library;
        win::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));
        win::ThrowIfFailed(RegisterTypeLib(library.Get(), path.data(), nullptr));
        for (const ClassEntry& entry : record.classes) {
            RegisterClass(entry, record, component.threading, path);
        }
        return S_OK;
    });
}

HRESULT UnregisterServer(const ModuleState&, const ComponentDescriptor& component) noexcept {
    return win::ComBoundary(GUID_NULL, component.project_name, [&] {
        const RegistrationRecord& record = component.registration;
        for (const ClassEntry& entry : record.classes) {
            DeleteTree(L"CLSID\\" + GuidText(*entry.class_id));
            DeleteTree(entry.prog_id);
        }
        win::Bstr registered_path;
        if (QueryPathOfRegTypeLib(*record.library_id, record.library_major, record.library_minor,
                                  record.library_locale, registered_path.put()) == S_OK) {
            win::ThrowIfFailed(UnRegisterTypeLib(*record.library_id, record.library_major,
                                                 record.library_minor, record.library_locale,
                                                 SYS_WIN32));
        }
        return S_OK;
    });
}

}  // namespace zorvane::component
