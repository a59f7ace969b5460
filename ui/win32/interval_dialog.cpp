#include "ui/win32/interval_dialog.h"

#include <optional>
#include <vector>

#include "ui/box_placement.h"
#include "ui/win32/child_controls.h"
#include "ui/win32/dialog_template.h"
#include "ui/win32/text_fit.h"
#include "ui/win32/window_failures.h"
#include "win/com_error.h"
#include "win/this_module.h"

namespace zorvane::ui {
namespace {

constexpr wchar_t kPrompt[] = L"Bitte ein Interval f\u00FCr den Timer eingeben:";

struct BoxState {
    std::wstring text;
    bool failed = false;
    std::vector<win::UniqueFont> fonts;  // for texts that needed a smaller size
};

ScreenRect ToScreenRect(const RECT& rect) noexcept {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// Centred over the active window it belongs to, or over the screen, and wholly on it.
void PlaceOnScreen(HWND box) noexcept {
    RECT own{};
    GetWindowRect(box, &own);
    std::optional<ScreenRect> over;
    HWND owner = GetWindow(box, GW_OWNER);
    RECT owner_rect{};
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner) && GetWindowRect(owner, &owner_rect)) {
        over = ToScreenRect(owner_rect);
    }
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    HMONITOR nearest = over ? MonitorFromRect(&owner_rect, MONITOR_DEFAULTTOPRIMARY)
                            : MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(nearest, &monitor)) return;
    const ScreenPoint at = PlaceBox(own.right - own.left, own.bottom - own.top, over,
                                    ToScreenRect(monitor.rcWork));
    SetWindowPos(box, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int DpiOf(HWND window) noexcept {
    HDC dc = GetDC(window);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc != nullptr) ReleaseDC(window, dc);
    return dpi > 0 ? dpi : 96;
}

INT_PTR CALLBACK IntervalBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(box, DWLP_USER, lparam);
        SendDlgItemMessageW(box, kIntervalEditId, EM_SETLIMITTEXT, 0, 0);
        try {
            FitChildTexts(box, DpiOf(box), reinterpret_cast<BoxState*>(lparam)->fonts);
        } catch (...) {
            // The texts keep the dialog's own font.
        }
        PlaceOnScreen(box);
        return TRUE;  // the focus goes to the edit, the first tab stop
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
            auto state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(box, DWLP_USER));
            if (LOWORD(wparam) == IDOK && state != nullptr) {
                try {
                    state->text = WindowText(GetDlgItem(box, kIntervalEditId));
                } catch (...) {
                    state->failed = true;
                }
            }
            EndDialog(box, LOWORD(wparam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

std::wstring RunIntervalInputBox(HWND owner) {
    using Item = DialogTemplate::ItemClass;
    // Placed when it opens (PlaceOnScreen), in the forms' font.
    DialogTemplate box(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 218, 84,
                       kIntervalDialogTitle, kFormFontFace, kFormFontPoints);
    box.AddItem(Item::Static, SS_LEFT | SS_NOPREFIX, 7, 7, 148, 44, 0xFFFF, kPrompt);
    box.AddItem(Item::Edit, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 64, 204, 13,
                kIntervalEditId, L"");
    box.AddItem(Item::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, 161, 7, 50, 14, IDOK, L"OK");
    box.AddItem(Item::Button, BS_PUSHBUTTON | WS_TABSTOP, 161, 25, 50, 14, IDCANCEL, L"Abbrechen");

    BoxState state;
    const INT_PTR result = DialogBoxIndirectParamW(win::ThisModule(), box.get(), owner, IntervalBoxProc,
                                                   reinterpret_cast<LPARAM>(&state));
    // 0: the box went with its owner (the window it was shown over was closed meanwhile),
    // which is no answer, as Cancel is none.
    if (result == -1) ThrowLastError();
    if (state.failed) win::ThrowHr(E_OUTOFMEMORY);
    return result == IDOK ? std::move(state.text) : std::wstring();
}

}  // namespace zorvane::ui
