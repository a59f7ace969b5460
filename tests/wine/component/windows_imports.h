#pragma once
// What Windows brought each function our modules import: the oldest Windows we could name
// (XP, 5.1) for the many it already had, and the version for the few that came later.
#include <optional>
#include <ostream>
#include <string_view>

namespace zorvane::test {

struct WindowsVersion {
    int major;
    int minor;
    friend constexpr auto operator<=>(const WindowsVersion&, const WindowsVersion&) = default;
    friend void PrintTo(const WindowsVersion& version, std::ostream* out) { *out << version.major << '.' << version.minor; }
};

inline constexpr WindowsVersion kWindowsXp{5, 1};
// The oldest Windows Zorvane claims to run on, 32- and 64-bit.
inline constexpr WindowsVersion kWindows7{6, 1};

// The version that brought `function` of `library` (the name as the import table spells
// it, any case), or nothing for a function these tables do not know.
std::optional<WindowsVersion> WindowsVersionThatBrought(std::string_view library, std::string_view function);

}  // namespace zorvane::test
