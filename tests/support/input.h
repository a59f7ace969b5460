#pragma once
// What a person does to controls, done with messages: typing, pasting, clicking, pressing
// on a list row, keys through the message loop; and what the controls show.
#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::test {

// Replaces the text of an edit as typing does: select all, delete, then one WM_CHAR per
// character. A tab or a line break typed this way is the edit's to refuse or act on.
void TypeInto(HWND edit, std::wstring_view text);

// Texts longer than this are not set into an edit but answered for it (AnswerTextOf):
// Wine's edit control takes time quadratic in the length to take a text (100 000
// characters: over 6 s), where Windows' takes a million at once.
inline constexpr std::size_t kLongestTypedText = 20'000;

// Sets the text of an edit as pasting does (WM_SETTEXT), exactly as given; a text longer
// than kLongestTypedText is answered for the edit instead.
void SetText(HWND edit, std::wstring_view text);

// Empties the edit and makes it answer WM_GETTEXT and WM_GETTEXTLENGTH with the text, as
// if it held it, until its text is set again or it is destroyed.
void AnswerTextOf(HWND edit, std::wstring text);

// A click on a button or check box (BM_CLICK).
void Click(HWND button);
// BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
LRESULT CheckState(HWND check);

// A mouse press (and release) in the middle of a list row, scrolled into view first.
void PressOnRow(HWND list, int row, UINT down_message = WM_LBUTTONDOWN);
// The row selected as the list's own notification has it: LB_SETCURSEL, then
// LBN_SELCHANGE to its parent.
void SelectByNotification(HWND list, int row);

// Posts a key press to the window with the focus and pumps, so that it travels through
// the message loop (and its hooks) as typed keys do.
void PressKey(UINT virtual_key, bool shift = false);

std::vector<std::wstring> ListRows(HWND list);
// The selected row; -1 when none is.
int Selection(HWND list);

}  // namespace zorvane::test
