#include "win/registry.h"

#include <objbase.h>

#include "win/com_error.h"

namespace zorvane::win {
namespace {

void CheckRegistry(LSTATUS status) {
    if (status != ERROR_SUCCESS) ThrowHr(HRESULT_FROM_WIN32(status));
}

// Registry names are the same whatever their case.
bool SameName(const std::wstring& a, const std::wstring& b) noexcept {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        const LSTATUS status = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return names;
        CheckRegistry(status);
        names.emplace_back(name, length);
    }
}

std::vector<RegistryTree::Value> ValuesOf(HKEY key) {
    std::vector<RegistryTree::Value> values;
    DWORD longest_name = 0;
    DWORD longest_data = 0;
    CheckRegistry(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &longest_name, &longest_data, nullptr, nullptr));
    std::wstring name(longest_name + 1, L'\0');
    std::vector<BYTE> data(longest_data);
    for (DWORD index = 0;; ++index) {
        DWORD name_length = longest_name + 1;
        DWORD data_length = longest_data;
        DWORD type = 0;
        const LSTATUS status = RegEnumValueW(key, index, name.data(), &name_length, nullptr, &type,
                                             data.data(), &data_length);
        if (status == ERROR_NO_MORE_ITEMS) return values;
        CheckRegistry(status);
        values.push_back({name.substr(0, name_length), type,
                          std::vector<BYTE>(data.begin(), data.begin() + data_length)});
    }
}

// Removes a key with everything below it; a key that is not there counts as removed.
LSTATUS DeleteTree(HKEY parent, const std::wstring& path, REGSAM view) noexcept {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, DELETE | KEY_READ | KEY_SET_VALUE | view, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
    }
    if (status == ERROR_SUCCESS) status = RegDeleteKeyExW(parent, path.c_str(), view, 0);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Below a key opened in a view, each further step names that view too: a view belongs to
// the call, not to the handle.
RegistryTree ReadOpenTree(HKEY key, REGSAM view) {
    RegistryTree tree;
    tree.exists = true;
    tree.values = ValuesOf(key);
    for (const std::wstring& name : SubkeyNames(key)) {
        HKEY subkey = nullptr;
        CheckRegistry(RegOpenKeyExW(key, name.c_str(), 0, KEY_READ | view, &subkey));
        const RegistryKey owned(subkey);
        tree.subkeys.emplace_back(name, ReadOpenTree(subkey, view));
    }
    return tree;
}

void RestoreOpenTree(HKEY key, const RegistryTree& tree, REGSAM view) noexcept {
    try {
        for (const RegistryTree::Value& value : ValuesOf(key)) {
            bool kept = false;
            for (const RegistryTree::Value& old : tree.values) kept = kept || SameName(old.name, value.name);
            if (!kept) RegDeleteValueW(key, value.name.c_str());
        }
        for (const std::wstring& name : SubkeyNames(key)) {
            bool kept = false;
            for (const auto& old : tree.subkeys) kept = kept || SameName(old.first, name);
            if (!kept) DeleteTree(key, name, view);
        }
    } catch (...) {
        // What cannot be read cannot be cleared; put back what can be.
    }
    for (const RegistryTree::Value& value : tree.values) {
        RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                       value.data.data(), static_cast<DWORD>(value.data.size()));
    }
    for (const auto& [name, subtree] : tree.subkeys) {
        HKEY subkey = nullptr;
        if (RegCreateKeyExW(key, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE | view,
                            nullptr, &subkey, nullptr) == ERROR_SUCCESS) {
            const RegistryKey owned(subkey);
            RestoreOpenTree(subkey, subtree, view);
        }
    }
}

}  // namespace

RegistryTree ReadRegistryTree(HKEY parent, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | view, &key);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    CheckRegistry(status);
    const RegistryKey owned(key);
    return ReadOpenTree(key, view);
}

void RestoreRegistryTree(HKEY parent, const std::wstring& path, const RegistryTree& tree, REGSAM view) noexcept {
    if (!tree.exists) {
        DeleteTree(parent, path, view);
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WRITE | view, &key) != ERROR_SUCCESS) return;
    const RegistryKey owned(key);
    RestoreOpenTree(key, tree, view);
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    if (StringFromGUID2(guid, text, 39) == 0) ThrowHr(E_UNEXPECTED);
    return text;
}

RegistryKey CreateRegistryKey(HKEY parent, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    CheckRegistry(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE | view, nullptr, &key, nullptr));
    return RegistryKey(key);
}

void SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& value) {
    CheckRegistry(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void DeleteRegistryTree(HKEY parent, const std::wstring& path, REGSAM view) {
    CheckRegistry(DeleteTree(parent, path, view));
}

bool RegistryKeyExists(HKEY parent, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE | view, &key);
    if (status == ERROR_FILE_NOT_FOUND) return false;
    CheckRegistry(status);
    RegCloseKey(key);
    return true;
}

std::vector<std::wstring> ReadSubkeyNames(HKEY parent, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExW(parent, path.c_str(), 0, KEY_ENUMERATE_SUB_KEYS | view, &key);
    if (status == ERROR_FILE_NOT_FOUND) return {};
    CheckRegistry(status);
    const RegistryKey owned(key);
    return SubkeyNames(key);
}

void DeleteEmptyRegistryKey(HKEY parent, const std::wstring& path, REGSAM view) noexcept {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0;
    DWORD values = 0;
    const bool empty = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                        nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                       subkeys == 0 && values == 0;
    RegCloseKey(key);
    if (empty) RegDeleteKeyExW(parent, path.c_str(), view, 0);
}

}  // namespace zorvane::win
