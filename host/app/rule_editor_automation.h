#pragma once
// Driving the plug-in's windows from outside, as an automation tool would: controls found
// from the window handle by class and caption or position, text typed character by
// character, buttons clicked, modal boxes answered through a WH_CBT hook.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "win/handles.h"

namespace zorvane::host_app {

struct RuleEditorControls {
    HWND channel_edit = nullptr;  // under the label "Kanal:"
    HWND minimum_edit = nullptr;  // under "Minimalwert:"
    HWND maximum_edit = nullptr;  // under "Maximalwert:"
    HWND channel_list = nullptr;
    HWND minimum_list = nullptr;
    HWND maximum_list = nullptr;
    HWND add_button = nullptr;     // "Werte hinzufügen"
    HWND delete_button = nullptr;  // "Markierten Eintrag löschen"
    HWND help_button = nullptr;    // "Hilfe"
    HWND enabled_check = nullptr;  // "Plugin aktiviert"
};

// Throws win::ComError naming the first control it cannot find.
RuleEditorControls FindRuleEditorControls(HWND editor);

// The direct children of a window with their class, caption and place on the screen.
struct ChildWindow {
    HWND window;
    std::wstring class_name;
    std::wstring caption;
    RECT place;
};
std::vector<ChildWindow> ChildWindows(HWND parent);

// Replaces the text of an edit control as typing would: select all, then one WM_CHAR
// per character. The focus stays where it is.
void TypeInto(HWND edit, const std::wstring& text);
// A mouse click on a button, check box included (BM_CLICK).
void Click(HWND button);
// BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE.
LRESULT CheckState(HWND check);
std::vector<std::wstring> ListItems(HWND list);
std::wstring WindowCaption(HWND window);

// Answers the modal boxes this thread opens while it lives. A box with the expected
// caption gets the expected text typed into its edit and its OK button clicked; any
// other box is noted and closed with OK.
class BoxAnswerer {
public:
    struct Box {
        std::wstring caption;
        std::wstring text;  // the prompt or message
        bool answered = false;
    };

    BoxAnswerer();  // throws win::ComError
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    void Expect(std::wstring caption, std::wstring typed);
    // Told of each box as it is handled, while it is still open.
    void OnBox(std::function<void(const Box&)> seen) { seen_ = std::move(seen); }
    const std::vector<Box>& boxes() const noexcept { return boxes_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) noexcept;
    void OnActivate(HWND window);

    std::wstring expected_caption_;
    std::wstring typed_;
    std::vector<Box> boxes_;
    std::function<void(const Box&)> seen_;
    win::UniqueHook hook_;
};

}  // namespace zorvane::host_app
