#pragma once
// Where a registration lives: the machine's classes root, as regsvr32 has always written
// it, or the current user's own classes, which COM merges into the classes root of that
// user's processes (not of elevated ones). Paths are relative to the root.
#include <windows.h>

#include <optional>
#include <string>

namespace zorvane::component {

struct ClassesRoot {
    HKEY key;           // a predefined key
    const wchar_t* below;  // the path of the classes root below it
    bool for_user;

    std::wstring Path(const std::wstring& path) const { return below + path; }
};

extern const ClassesRoot kMachineClasses;  // HKEY_CLASSES_ROOT
extern const ClassesRoot kUserClasses;     // HKEY_CURRENT_USER\Software\Classes

// A key with its default value, and optionally one named value.
void WriteKey(const ClassesRoot& root, const std::wstring& path, const std::wstring& value,
              const wchar_t* name = nullptr, const std::wstring& named_value = {});

// The default value of a key, expanded, in this program's registry view or the one given;
// nullopt when the key or the value is not there.
std::optional<std::wstring> ReadDefaultText(const ClassesRoot& root, const std::wstring& path, REGSAM view = 0);

}  // namespace zorvane::component
