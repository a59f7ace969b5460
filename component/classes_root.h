#pragma once
// Where a registration lives: the machine's classes, HKEY_LOCAL_MACHINE\Software\Classes, or
// the current user's, HKEY_CURRENT_USER\Software\Classes. Never the merged HKEY_CLASSES_ROOT:
// for a user who holds a registration of their own, Windows sends writes there to the user's
// keys and shows the user's keys first. Paths are relative to the root; each step works in
// the root's registry view.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "win/registry.h"

namespace zorvane::component {

struct ClassesRoot {
    HKEY key;              // a predefined key
    const wchar_t* below;  // the path of the classes root below it
    bool for_user;
    REGSAM view = 0;  // none: the program's own

    std::wstring Path(const std::wstring& path) const { return below + path; }
};

extern const ClassesRoot kMachineClasses;  // HKEY_LOCAL_MACHINE\Software\Classes
extern const ClassesRoot kUserClasses;     // HKEY_CURRENT_USER\Software\Classes

// A key below a classes root, in the root's view.
struct ClassesKey {
    ClassesRoot root;
    std::wstring path;
};

// The same classes as programs of the other kind see them, where the system has two
// registry views: the 32-bit view beside a 64-bit program's, the 64-bit view beside a
// 32-bit program's on 64-bit Windows.
std::optional<ClassesRoot> InTheOtherView(const ClassesRoot& root);

// A key with its default value, and optionally one named value.
void WriteKey(const ClassesRoot& root, const std::wstring& path, const std::wstring& value,
              const wchar_t* name = nullptr, const std::wstring& named_value = {});

// The default value of a key, expanded; nullopt when the key or the value is not there.
std::optional<std::wstring> ReadDefaultText(const ClassesRoot& root, const std::wstring& path);

bool KeyExists(const ClassesRoot& root, const std::wstring& path);
std::vector<std::wstring> SubkeyNames(const ClassesRoot& root, const std::wstring& path);
win::RegistryTree ReadTree(const ClassesRoot& root, const std::wstring& path);
void RestoreTree(const ClassesRoot& root, const std::wstring& path, const win::RegistryTree& tree) noexcept;
void DeleteTree(const ClassesRoot& root, const std::wstring& path);
void DeleteIfEmpty(const ClassesRoot& root, const std::wstring& path) noexcept;

}  // namespace zorvane::component
