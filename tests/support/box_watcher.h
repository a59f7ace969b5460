#pragma once
// Modal boxes (message boxes and the plug-in's input box) answered as a person would,
// and recorded as they showed: one WH_CBT hook on this thread.
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "win/handles.h"

namespace zorvane::test {

// A modal box as it was when it became active.
struct SeenBox {
    std::wstring title;
    std::wstring text;                  // the message or prompt (the longest static text)
    bool information_icon = false;      // the system's information icon is shown
    std::vector<std::wstring> buttons;  // visible buttons, in Z-order
    HWND focus = nullptr;               // the focus just before the box took it
    HWND owner = nullptr;
};

// Watches this thread for dialog-class windows ("#32770") becoming active. Each is
// recorded, shown to the observer, then handled by the next queued action, or closed with
// IDOK when none is queued. One watcher a thread.
class BoxWatcher {
public:
    using Action = std::function<void(HWND box)>;

    BoxWatcher();  // throws win::ComError
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    void Then(Action action) { actions_.push_back(std::move(action)); }
    // Told of each box as it is recorded, while it is still open.
    void OnBox(std::function<void(const SeenBox&)> observer) { observer_ = std::move(observer); }
    const std::vector<SeenBox>& boxes() const noexcept { return boxes_; }
    void Clear() { boxes_.clear(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) noexcept;
    void OnActivate(HWND box);
    void OnDestroy(HWND window);

    win::UniqueHook hook_;
    std::vector<SeenBox> boxes_;
    std::deque<Action> actions_;
    std::function<void(const SeenBox&)> observer_;
    std::map<HWND, ULONGLONG> handled_;  // boxes handled and still open, and when each was
    bool wine_manages_windows_ = false;
};

// Actions for the input box: the text into its edit (SetText), then a click on OK or
// Cancel, or a key pressed in the edit (Enter, Esc) through the box's own message loop.
BoxWatcher::Action TypeAndClick(std::wstring text, int button_id);
BoxWatcher::Action TypeAndPress(std::wstring text, UINT virtual_key);

// Runs the action once the box is on the screen and its modal loop is running (from a
// thread timer that loop dispatches), instead of while it is being activated.
BoxWatcher::Action WhenShown(BoxWatcher::Action action);

// Pumps until the top-level window is the active window again after a box, at most
// timeout_ms each way; true when it is. Under Wine without a window manager, a FocusOut
// of the window that was queued while the box held the X focus may be read after the box
// is gone, when no Wine window holds the X focus: the X11 driver then makes the desktop
// the foreground window, and nothing gives the activation back. When it has left this
// thread so, the window is made the foreground window again, as a click on it would.
bool ActiveAgain(HWND window, DWORD timeout_ms);

}  // namespace zorvane::test
