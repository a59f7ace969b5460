#pragma once
// The control that had the focus when a window lost the activation, given the focus
// again when the window gets it back, as a dialog does.
#include <windows.h>

namespace zorvane::ui {

class FocusMemory {
public:
    void Remember(HWND control) noexcept { last_ = control; }
    void Forget() noexcept { last_ = nullptr; }
    // For WM_ACTIVATE and WM_SETFOCUS; true when the message is handled and the window
    // procedure returns 0.
    bool Handle(HWND window, UINT message, WPARAM wparam) noexcept;

private:
    HWND last_ = nullptr;
};

}  // namespace zorvane::ui
