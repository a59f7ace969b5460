#include "component/classes_root.h"

#include <cwchar>

#include "win/com_error.h"
#include "win/registry.h"

namespace zorvane::component {

const ClassesRoot kMachineClasses{HKEY_LOCAL_MACHINE, L"Software\\Classes\\", false};
const ClassesRoot kUserClasses{HKEY_CURRENT_USER, L"Software\\Classes\\", true};

std::optional<ClassesRoot> InTheOtherView(const ClassesRoot& root) {
    ClassesRoot other = root;
#ifdef _WIN64
    other.view = KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return std::nullopt;
    other.view = KEY_WOW64_64KEY;
#endif
    return other;
}

void WriteKey(const ClassesRoot& root, const std::wstring& path, const std::wstring& value, const wchar_t* name,
              const std::wstring& named_value) {
    const win::RegistryKey key = win::CreateRegistryKey(root.key, root.Path(path), root.view);
    win::SetRegistryText(key.get(), nullptr, value);
    if (name != nullptr) win::SetRegistryText(key.get(), name, named_value);
}

std::optional<std::wstring> ReadDefaultText(const ClassesRoot& root, const std::wstring& path) {
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(root.key, root.Path(path).c_str(), 0, KEY_QUERY_VALUE | root.view, &opened);
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

bool KeyExists(const ClassesRoot& root, const std::wstring& path) {
    return win::RegistryKeyExists(root.key, root.Path(path), root.view);
}

std::vector<std::wstring> SubkeyNames(const ClassesRoot& root, const std::wstring& path) {
    return win::ReadSubkeyNames(root.key, root.Path(path), root.view);
}

win::RegistryTree ReadTree(const ClassesRoot& root, const std::wstring& path) {
    return win::ReadRegistryTree(root.key, root.Path(path), root.view);
}

void RestoreTree(const ClassesRoot& root, const std::wstring& path, const win::RegistryTree& tree) noexcept {
    try {
        win::RestoreRegistryTree(root.key, root.Path(path), tree, root.view);
    } catch (...) {
        // No memory even for the path; a restore is best effort.
    }
}

void DeleteTree(const ClassesRoot& root, const std::wstring& path) {
    win::DeleteRegistryTree(root.key, root.Path(path), root.view);
}

void DeleteIfEmpty(const ClassesRoot& root, const std::wstring& path) noexcept {
    try {
        win::DeleteEmptyRegistryKey(root.key, root.Path(path), root.view);
    } catch (...) {
        // No memory even for the path; best effort, as the registry step itself.
    }
}

}  // namespace zorvane::component
