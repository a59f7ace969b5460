#include "ui/win32/focus_memory.h"

namespace zorvane::ui {

bool FocusMemory::Handle(HWND window, UINT message, WPARAM wparam) noexcept {
    if (message == WM_ACTIVATE && LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) last_ = focus;
        return false;  // the default handling still runs
    }
    if (message == WM_SETFOCUS) {
        if (last_ != nullptr && IsWindow(last_)) SetFocus(last_);
        return true;
    }
    return false;
}

}  // namespace zorvane::ui
