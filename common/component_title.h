#pragma once
// The component's title: its name to the host, the source of its errors, and what the
// about window's caption shows.
namespace zorvane {

inline constexpr wchar_t kComponentTitle[] = L"Zorvane";

}  // namespace zorvane
