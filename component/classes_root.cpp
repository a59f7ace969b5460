#include "component/classes_root.h"

#include <cwchar>

#include "win/com_error.h"
#include "win/registry.h"

namespace zorvane::component {

const ClassesRoot kMachineClasses{HKEY_CLASSES_ROOT, L"", false};
const ClassesRoot kUserClasses{HKEY_CURRENT_USER, L"Software\\Classes\\", true};

void WriteKey(const ClassesRoot& root, const std::wstring& path, const std::wstring& value, const wchar_t* name,
              const std::wstring& named_value) {
    const win::RegistryKey key = win::CreateRegistryKey(root.key, root.Path(path));
    win::SetRegistryText(key.get(), nullptr, value);
    if (name != nullptr) win::SetRegistryText(key.get(), name, named_value);
}

std::optional<std::wstring> ReadDefaultText(const ClassesRoot& root, const std::wstring& path, REGSAM view) {
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(root.key, root.Path(path).c_str(), 0, KEY_QUERY_VALUE | view, &opened);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS) win::ThrowHr(HRESULT_FROM_WIN32(status));
    const win::RegistryKey key(opened);
    for (;;) {
        DWORD size = 0;
        status = RegGetValueW(key.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND || status == ERROR_UNSUPPORTED_TYPE) return std::nullopt;
        if (status != ERROR_SUCCESS) win::ThrowHr(HRESULT_FROM_WIN32(status));
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegGetValueW(key.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &size);
        if (status == ERROR_MORE_DATA) continue;  // it grew meanwhile
        if (status != ERROR_SUCCESS) win::ThrowHr(HRESULT_FROM_WIN32(status));
        text.resize(std::wcslen(text.c_str()));
        return text;
    }
}

}  // namespace zorvane::component
