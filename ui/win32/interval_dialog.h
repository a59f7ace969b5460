#pragma once
// The poll-interval input box: a prompt, one edit, OK and Cancel.
#include <windows.h>

#include <string>

namespace zorvane::ui {

inline constexpr wchar_t kIntervalDialogTitle[] = L"Plugin: Zorvane Einstellungen";
inline constexpr int kIntervalEditId = 100;

// Runs the box modally; the typed text on OK, the empty text on Cancel. Throws
// win::ComError when the box cannot be shown.
std::wstring RunIntervalInputBox(HWND owner);

}  // namespace zorvane::ui
