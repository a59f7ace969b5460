#include "ui/win32/interval_dialog.h"

#include "ui/win32/dialog_template.h"
#include "ui/win32/form_support.h"
#include "win/com_error.h"
#include "win/this_module.h"

namespace zorvane::ui {
namespace {

constexpr wchar_t kPrompt[] = L"Bitte ein Interval f\u00FCr den Timer eingeben:";

struct BoxState {
    std::wstring text;
    bool failed = false;
};

INT_PTR CALLBACK IntervalBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(box, DWLP_USER, lparam);
        SendDlgItemMessageW(box, kIntervalEditId, EM_SETLIMITTEXT, 0, 0);
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
    // No DS_CENTER and x = y = 0: the box opens at the owner's top left corner (the
    // screen's without an owner), where the dialog manager puts an uncentred box.
    DialogTemplate box(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, 0, 0, 218, 84,
                       kIntervalDialogTitle, L"MS Shell Dlg", 8);
    box.AddItem(Item::Static, SS_LEFT | SS_NOPREFIX, 7, 7, 148, 44, 0xFFFF, kPrompt);
    box.AddItem(Item::Edit, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 64, 204, 13,
                kIntervalEditId, L"");
    box.AddItem(Item::Button, BS_DEFPUSHBUTTON | WS_TABSTOP, 161, 7, 50, 14, IDOK, L"OK");
    box.AddItem(Item::Button, BS_PUSHBUTTON | WS_TABSTOP, 161, 25, 50, 14, IDCANCEL, L"Abbrechen");

    BoxState state;
    const INT_PTR result = DialogBoxIndirectParamW(win::ThisModule(), box.get(), owner, IntervalBoxProc,
                                                   reinterpret_cast<LPARAM>(&state));
    if (result == -1 || result == 0) ThrowLastError();
    if (state.failed) win::ThrowHr(E_OUTOFMEMORY);
    return result == IDOK ? std::move(state.text) : std::wstring();
}

}  // namespace zorvane::ui
