#pragma once
// The host runs the message loop and never calls IsDialogMessage for our modeless
// windows. A thread message hook does it for them while any of them is loaded, so that
// Tab, Shift+Tab, Enter and Esc work as in a dialog.
#include <windows.h>

namespace zorvane::ui {

// A loaded window whose keyboard messages go through IsDialogMessage. The hook is
// installed with the first window and removed with the last.
void AttachDialogKeyboard(HWND top_level);
void DetachDialogKeyboard(HWND top_level) noexcept;

// Removes the hook whatever is still attached.
void RemoveDialogKeyboardHook() noexcept;

}  // namespace zorvane::ui
