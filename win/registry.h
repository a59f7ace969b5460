#pragma once
// The few registry steps that registering a COM server takes; a refused step throws
// ComError with the registry's own code. A view (KEY_WOW64_32KEY or KEY_WOW64_64KEY) names
// the registry view to work in; none, the program's own.
#include <windows.h>

#include <string>
#include <vector>

#include "win/handles.h"

namespace zorvane::win {

using RegistryKey = UniqueRegistryKey;

// Registry form: upper-case hexadecimal in braces.
std::wstring GuidText(REFGUID guid);

RegistryKey CreateRegistryKey(HKEY parent, const std::wstring& path, REGSAM view = 0);
void SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& value);
// A key that is not there counts as removed.
void DeleteRegistryTree(HKEY parent, const std::wstring& path, REGSAM view = 0);
bool RegistryKeyExists(HKEY parent, const std::wstring& path, REGSAM view = 0);
// The names of the key's subkeys; none when the key is not there.
std::vector<std::wstring> ReadSubkeyNames(HKEY parent, const std::wstring& path, REGSAM view = 0);
// Removes the key if it holds neither values nor subkeys. Best effort, like a restore.
void DeleteEmptyRegistryKey(HKEY parent, const std::wstring& path, REGSAM view = 0) noexcept;

// A key with everything below it, as it stood when it was read.
struct RegistryTree {
    struct Value {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    bool exists = false;
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, RegistryTree>> subkeys;
};

// Throws ComError when the key is there but cannot be read.
RegistryTree ReadRegistryTree(HKEY parent, const std::wstring& path, REGSAM view = 0);

// Makes the key hold exactly what the tree held, in place: what was added since is
// removed, what was changed is put back; a key that was not there is removed. Best
// effort: it is what a failure is undone with, so it does not fail in turn.
void RestoreRegistryTree(HKEY parent, const std::wstring& path, const RegistryTree& tree, REGSAM view = 0) noexcept;

}  // namespace zorvane::win
