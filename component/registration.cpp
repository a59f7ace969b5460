// Registration of the type library and the class table under HKEY_CLASSES_ROOT.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>

#include "component/component_model.h"
#include "plugin/own_type_library.h"
#include "win/com_error.h"
#include "win/handles.h"
#include "win/registry.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::component {
namespace {

// A key with its default value, and optionally one named value.
void WriteKey(const std::wstring& path, const std::wstring& value, const wchar_t* name = nullptr,
              const std::wstring& named_value = {}) {
    const win::RegistryKey key = win::CreateRegistryKey(HKEY_CLASSES_ROOT, path);
    win::SetRegistryText(key.get(), nullptr, value);
    if (name != nullptr) win::SetRegistryText(key.get(), name, named_value);
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
    const std::wstring class_key = L"CLSID\\" + win::GuidText(*entry.class_id);
    const std::wstring version =
        std::to_wstring(record.library_major) + L"." + std::to_wstring(record.library_minor);
    WriteKey(class_key, entry.prog_id);
    WriteKey(class_key + L"\\InprocServer32", module_path, L"ThreadingModel",
             ThreadingModelName(threading));
    WriteKey(class_key + L"\\ProgID", entry.prog_id);
    WriteKey(class_key + L"\\TypeLib", win::GuidText(*record.library_id));
    WriteKey(class_key + L"\\Version", version);
    WriteKey(entry.prog_id, entry.prog_id);
    WriteKey(std::wstring(entry.prog_id) + L"\\CLSID", win::GuidText(*entry.class_id));
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
            win::DeleteRegistryTree(HKEY_CLASSES_ROOT, L"CLSID\\" + win::GuidText(*entry.class_id));
            win::DeleteRegistryTree(HKEY_CLASSES_ROOT, entry.prog_id);
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
