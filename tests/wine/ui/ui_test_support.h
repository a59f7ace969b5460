#pragma once
// Driving real windows from a test: a message pump, modal boxes caught by a WH_CBT
// hook, typing, clicking, keys through the message loop, and screenshots.
#include <windows.h>

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "win/handles.h"

namespace zorvane::ui::test {

// Dispatches this thread's messages for the given time.
void Pump(DWORD milliseconds);

// Pumps until the condition holds or the time is up; true if it held.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeout_ms);

// A modal box as it was when it became active.
struct SeenBox {
    std::wstring title;
    std::wstring text;              // the message (the longest static text)
    bool information_icon = false;  // the system's information icon is shown
    std::vector<std::wstring> buttons;  // visible buttons, in Z-order
    HWND focus = nullptr;           // the focus just before the box took it
    HWND owner = nullptr;
};

// Watches this thread for dialog-class windows ("#32770": message boxes and our input
// box) becoming active. Each is recorded, then handled by the next queued action, or
// closed with IDOK when none is queued.
class BoxWatcher {
public:
    using Action = std::function<void(HWND box)>;

    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    void Then(Action action) { actions_.push_back(std::move(action)); }
    const std::vector<SeenBox>& boxes() const noexcept { return boxes_; }
    void Clear() { boxes_.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) noexcept;
    void OnActivate(HWND box);

    win::UniqueHook hook_;
    std::vector<SeenBox> boxes_;
    std::deque<Action> actions_;
    std::set<HWND> handled_;
};

// Actions for the input box: type the text into its edit, then click OK or Cancel, or
// press a key in the edit (Enter, Esc) through the box's own message loop.
BoxWatcher::Action TypeAndClick(std::wstring text, int button_id);
BoxWatcher::Action TypeAndPress(std::wstring text, UINT virtual_key);

// Runs the action once the box is on the screen and its modal loop is running (from a
// thread timer that loop dispatches), instead of while it is being activated.
BoxWatcher::Action WhenShown(BoxWatcher::Action action);

void TypeInto(HWND edit, std::wstring_view text);
std::wstring TextOf(HWND window);
void Click(HWND button);

// A mouse press (and release) in the middle of a list box row.
void PressOnRow(HWND list, int row, UINT down_message = WM_LBUTTONDOWN);

// Posts a key press to the window with the focus and pumps, so that it travels through
// the message loop (and its hooks) as typed keys do.
void PressKey(UINT virtual_key, bool shift = false);

// Grabs the window from the screen into screenshots/<name>.png under the working
// directory; returns false when it could not.
bool SaveScreenshot(HWND window, const wchar_t* name);

}  // namespace zorvane::ui::test
