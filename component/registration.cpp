// Registration of the type library and the class table under HKEY_CLASSES_ROOT. A step
// the registry refuses undoes everything this call wrote, and only that: what stood
// there before the call is put back as it was.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <utility>
#include <vector>

#include "component/component_model.h"
#include "win/com_error.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/this_module.h"

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

std::wstring ClassKey(const ClassEntry& entry) {
    return L"CLSID\\" + win::GuidText(*entry.class_id);
}

void RegisterClass(const ClassEntry& entry, const RegistrationRecord& record,
                   const wchar_t* threading_model, const std::wstring& module_path) {
    const std::wstring class_key = ClassKey(entry);
    const std::wstring version =
        std::to_wstring(record.library_major) + L"." + std::to_wstring(record.library_minor);
    WriteKey(class_key, entry.prog_id);
    WriteKey(class_key + L"\\InprocServer32", module_path, L"ThreadingModel", threading_model);
    WriteKey(class_key + L"\\ProgID", entry.prog_id);
    WriteKey(class_key + L"\\TypeLib", win::GuidText(*record.library_id));
    WriteKey(class_key + L"\\Version", version);
    WriteKey(entry.prog_id, entry.prog_id);
    WriteKey(std::wstring(entry.prog_id) + L"\\CLSID", win::GuidText(*entry.class_id));
}

// The keys a registration writes below HKEY_CLASSES_ROOT: the library's, its interfaces'
// (registering the library records them for marshalling), each class's and ProgID's.
std::vector<std::wstring> KeysWritten(const RegistrationRecord& record, ITypeLib* library) {
    std::vector<std::wstring> keys{L"TypeLib\\" + win::GuidText(*record.library_id)};
    for (UINT i = 0, count = library->GetTypeInfoCount(); i < count; ++i) {
        TYPEKIND kind = TKIND_MAX;
        ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (FAILED(library->GetTypeInfoType(i, &kind)) ||
            (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH) ||
            FAILED(library->GetTypeInfo(i, &info)) || FAILED(info->GetTypeAttr(&attributes))) {
            continue;
        }
        keys.push_back(L"Interface\\" + win::GuidText(attributes->guid));
        info->ReleaseTypeAttr(attributes);
    }
    for (const ClassEntry& entry : record.classes) {
        keys.push_back(ClassKey(entry));
        keys.push_back(entry.prog_id);
    }
    return keys;
}

}  // namespace

HRESULT RegisterServer(const ComponentDescriptor& component) noexcept {
    return win::ComBoundary(GUID_NULL, component.name, [&] {
        const RegistrationRecord& record = component.registration;
        std::wstring path = win::ModuleFileName(win::ThisModule());
        ComPtr<ITypeLib> library;
        win::ThrowIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library));

        std::vector<std::pair<std::wstring, win::RegistryTree>> before;
        for (std::wstring& key : KeysWritten(record, library.Get())) {
            win::RegistryTree tree = win::ReadRegistryTree(HKEY_CLASSES_ROOT, key);
            before.emplace_back(std::move(key), std::move(tree));
        }
        try {
            win::ThrowIfFailed(RegisterTypeLib(library.Get(), path.data(), nullptr));
            for (const ClassEntry& entry : record.classes) {
                RegisterClass(entry, record, component.threading_model, path);
            }
        } catch (...) {
            for (auto it = before.rbegin(); it != before.rend(); ++it) {
                win::RestoreRegistryTree(HKEY_CLASSES_ROOT, it->first, it->second);
            }
            throw;
        }
        return S_OK;
    });
}

HRESULT UnregisterServer(const ComponentDescriptor& component) noexcept {
    return win::ComBoundary(GUID_NULL, component.name, [&] {
        const RegistrationRecord& record = component.registration;
        for (const ClassEntry& entry : record.classes) {
            win::DeleteRegistryTree(HKEY_CLASSES_ROOT, ClassKey(entry));
            win::DeleteRegistryTree(HKEY_CLASSES_ROOT, entry.prog_id);
        }
        win::Bstr registered_path;
        if (QueryPathOfRegTypeLib(*record.library_id, record.library_major, record.library_minor,
                                  record.library_locale, registered_path.put()) == S_OK) {
            // Registered under the kind of our own library (win32 or win64), as
            // RegisterTypeLib did it.
            ComPtr<ITypeLib> library;
            win::ThrowIfFailed(LoadTypeLibEx(win::ModuleFileName(win::ThisModule()).c_str(),
                                             REGKIND_NONE, &library));
            TLIBATTR* attributes = nullptr;
            win::ThrowIfFailed(library->GetLibAttr(&attributes));
            const SYSKIND kind = attributes->syskind;
            library->ReleaseTLibAttr(attributes);
            win::ThrowIfFailed(UnRegisterTypeLib(*record.library_id, record.library_major,
                                                 record.library_minor, record.library_locale, kind));
        }
        return S_OK;
    });
}

}  // namespace zorvane::component
