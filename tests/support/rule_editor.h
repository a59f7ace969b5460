#pragma once
// The rule editor (frmZorvane) driven through its controls. The controls are found as an
// outside tool finds them, from the window handle alone: the lists and text boxes under
// their column headings, the buttons and the check box by their captions.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvane::test {

// How a text gets into a text box.
enum class Typing {
    Keys,     // select all, then one WM_CHAR per character, as a person types
    SetText,  // WM_SETTEXT, as pasting does; exact, and fast for long texts
};

class RuleEditor {
public:
    // Throws win::ComError naming the first control it cannot find.
    explicit RuleEditor(HWND window);

    HWND window;
    HWND channel_text, minimum_text, maximum_text;  // under "Kanal:", "Minimalwert:", "Maximalwert:"
    HWND channel_list, minimum_list, maximum_list;
    HWND add_button;     // "Werte hinzufügen"
    HWND delete_button;  // "Markierten Eintrag löschen"
    HWND help_button;    // "Hilfe"
    HWND enabled_check;  // "Plugin aktiviert"

    // The three texts into the three text boxes.
    void Type(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum,
              Typing typing = Typing::Keys) const;
    // Types the three texts and clicks "Werte hinzufügen".
    void Add(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum,
             Typing typing = Typing::Keys) const;
    // Selects the row in the three lists and clicks "Markierten Eintrag löschen".
    void DeleteRow(int row) const;

    // The three lists: {channels, minimums, maximums}.
    std::vector<std::vector<std::wstring>> Table() const;
    std::size_t RowCount() const;
    // The selected row of each list, in list order.
    std::vector<int> Selections() const;

    // Clicks "Plugin aktiviert" (a three-state box) until it shows the state, at most three
    // times; true when it does. clicked, when given, hears the state after each click.
    bool ClickCheckUntil(LRESULT state, const std::function<void(LRESULT)>& clicked = {}) const;
};

}  // namespace zorvane::test
