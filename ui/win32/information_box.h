#pragma once
// The message box our windows tell the user something with.
#include <windows.h>

#include <string_view>

namespace zorvane::ui {

// A modal information box; the title and message as given.
void ShowInformation(HWND owner, std::wstring_view message, const wchar_t* title) noexcept;

}  // namespace zorvane::ui
