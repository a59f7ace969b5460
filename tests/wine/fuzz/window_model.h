#pragma once
// The rule editor window as a person sees it (its lists, Check1), and the model of what
// its Timer1 must be doing: running unless Check1 switched clamping off, at the last
// interval an input box gave. The editor's own ticks are dropped; the fuzzer sends them.
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "win/handles.h"

namespace zorvane::fuzz {

using Lists = std::vector<std::vector<std::wstring>>;

HWND EditorWindow();
HWND AboutWindow();
Lists ListsOf(HWND editor);
LRESULT CheckOf(HWND editor);
// A text with "{d}" replaced by the user's decimal separator.
std::wstring WithSeparator(const wchar_t* text, wchar_t decimal);

// Drops the editor's Timer1 messages on this thread while it lives.
class EditorTicksDropped {
public:
    EditorTicksDropped();

private:
    win::UniqueHook hook_;
};

class WindowModel {
public:
    // Each SetTimer of Timer1, as the import watch reports it.
    void OnSetTimer(HWND editor, UINT interval);
    // Compares the window with the model; a window that came or went without a user
    // inside the call breaks a rule.
    void Sync(bool users_inside);
    // The user clicked Check1 of this window.
    void CheckClicked(HWND editor);
    // An input box was answered with a valid interval.
    void IntervalAccepted(UINT interval) { pending_interval_ = interval; }
    // A call that may open the input box is over: an interval accepted while clamping was
    // off waits for the timer to start.
    void InputBoxCallEnded();
    // The module let go of everything.
    void Forget();

private:
    HWND editor_ = nullptr;
    bool expected_running_ = true;
    std::map<HWND, UINT> interval_;
    std::map<HWND, unsigned> timer_sets_;
    std::optional<UINT> pending_interval_;
};

}  // namespace zorvane::fuzz
