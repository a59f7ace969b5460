#pragma once
// The few registry steps that registering a COM server takes; a refused step throws
// ComError with the registry's own code.
#include <windows.h>

#include <string>

#include "win/handles.h"

namespace zorvane::win {

struct RegistryKeyTraits {
    static void Close(HKEY key) noexcept { RegCloseKey(key); }
};
using RegistryKey = UniqueHandle<HKEY, RegistryKeyTraits>;

// Registry form: upper-case hexadecimal in braces.
std::wstring GuidText(REFGUID guid);

RegistryKey CreateRegistryKey(HKEY parent, const std::wstring& path);
void SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& value);
// A key that is not there counts as removed.
void DeleteRegistryTree(HKEY parent, const std::wstring& path);

}  // namespace zorvane::win
