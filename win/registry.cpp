#include "win/registry.h"

#include <objbase.h>

#include "win/com_error.h"

namespace zorvane::win {
namespace {

void CheckRegistry(LSTATUS status) {
    if (status != ERROR_SUCCESS) ThrowHr(HRESULT_FROM_WIN32(status));
}

}  // namespace

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    if (StringFromGUID2(guid, text, 39) == 0) ThrowHr(E_UNEXPECTED);
    return text;
}

RegistryKey CreateRegistryKey(HKEY parent, const std::wstring& path) {
    HKEY key = nullptr;
    CheckRegistry(RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr));
    return RegistryKey(key);
}

void SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& value) {
    CheckRegistry(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void DeleteRegistryTree(HKEY parent, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(parent, path.c_str());
    if (status != ERROR_FILE_NOT_FOUND) CheckRegistry(status);
}

}  // namespace zorvane::win
