#pragma once
// Finding windows as a person or an outside tool sees them: top-level windows of this
// thread by caption, controls by class and caption, or by where they stand.
#include <windows.h>

#include <string>
#include <vector>

namespace zorvane::test {

std::wstring TextOf(HWND window);
std::wstring ClassOf(HWND window);

// The direct children of a window with their class, caption and place on the screen.
struct ChildWindow {
    HWND window;
    std::wstring class_name;
    std::wstring caption;
    RECT place;
};
std::vector<ChildWindow> ChildWindows(HWND parent);

// The first child of the class (case does not matter) with exactly this caption, or null.
HWND ChildWithCaption(HWND parent, const wchar_t* class_name, const wchar_t* caption);

// The child of the class nearest below the child captioned `label` and starting where it
// starts, as the eye pairs a column heading with its column; null when there is none.
HWND ChildBelow(HWND parent, const wchar_t* label, const wchar_t* class_name);

// This thread's top-level windows with exactly this caption, shown or not.
std::vector<HWND> ThreadWindows(const wchar_t* caption);

// Its place relative to its parent's client area (or the screen, for a top-level window).
RECT PlaceInParent(HWND window);

}  // namespace zorvane::test
