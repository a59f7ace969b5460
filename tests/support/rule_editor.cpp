#include "tests/support/rule_editor.h"

#include "tests/support/input.h"
#include "tests/support/windows.h"
#include "win/com_error.h"

namespace zorvane::test {
namespace {

HWND Need(HWND found, const std::wstring& what) {
    if (found == nullptr) win::ThrowHr(E_FAIL, L"rule editor: no " + what);
    return found;
}

HWND Below(HWND window, const wchar_t* label, const wchar_t* class_name, const wchar_t* what) {
    return Need(ChildBelow(window, label, class_name), std::wstring(what) + L" under " + label);
}

HWND Captioned(HWND window, const wchar_t* class_name, const wchar_t* caption) {
    return Need(ChildWithCaption(window, class_name, caption), std::wstring(class_name) + L" " + caption);
}

void Enter(HWND edit, std::wstring_view text, Typing typing) {
    if (typing == Typing::Keys) {
        TypeInto(edit, text);
    } else {
        SetText(edit, text);
    }
}

}  // namespace

RuleEditor::RuleEditor(HWND editor)
    : window(editor),
      channel_text(Below(editor, L"Kanal:", L"Edit", L"text box")),
      minimum_text(Below(editor, L"Minimalwert:", L"Edit", L"text box")),
      maximum_text(Below(editor, L"Maximalwert:", L"Edit", L"text box")),
      channel_list(Below(editor, L"Kanal:", L"ListBox", L"list")),
      minimum_list(Below(editor, L"Minimalwert:", L"ListBox", L"list")),
      maximum_list(Below(editor, L"Maximalwert:", L"ListBox", L"list")),
      add_button(Captioned(editor, L"Button", L"Werte hinzuf\u00FCgen")),
      delete_button(Captioned(editor, L"Button", L"Markierten Eintrag l\u00F6schen")),
      help_button(Captioned(editor, L"Button", L"Hilfe")),
      enabled_check(Captioned(editor, L"Button", L"Plugin aktiviert")) {}

void RuleEditor::Type(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum,
                      Typing typing) const {
    Enter(channel_text, channel, typing);
    Enter(minimum_text, minimum, typing);
    Enter(maximum_text, maximum, typing);
}

void RuleEditor::Add(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum,
                     Typing typing) const {
    Type(channel, minimum, maximum, typing);
    Click(add_button);
}

void RuleEditor::DeleteRow(int row) const {
    for (HWND list : {channel_list, minimum_list, maximum_list}) {
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    }
    Click(delete_button);
}

std::vector<std::vector<std::wstring>> RuleEditor::Table() const {
    return {ListRows(channel_list), ListRows(minimum_list), ListRows(maximum_list)};
}

std::size_t RuleEditor::RowCount() const {
    const LRESULT count = SendMessageW(channel_list, LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

std::vector<int> RuleEditor::Selections() const {
    return {Selection(channel_list), Selection(minimum_list), Selection(maximum_list)};
}

bool RuleEditor::ClickCheckUntil(LRESULT state, const std::function<void(LRESULT)>& clicked) const {
    for (int click = 0; click < 3 && CheckState(enabled_check) != state; ++click) {
        Click(enabled_check);
        if (clicked) clicked(CheckState(enabled_check));
    }
    return CheckState(enabled_check) == state;
}

}  // namespace zorvane::test
