#include "tests/support/input.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "tests/support/pump.h"
#include "win/com_error.h"

namespace zorvane::test {
namespace {

constexpr UINT_PTR kAnsweredTextId = 0x5A52;

LRESULT CALLBACK AnswerText(HWND edit, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                            DWORD_PTR data) noexcept {
    const auto* text = reinterpret_cast<const std::wstring*>(data);
    switch (message) {
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(text->size());
        case WM_GETTEXT: {
            if (wparam == 0 || lparam == 0) return 0;
            const std::size_t copied = std::min<std::size_t>(text->size(), wparam - 1);
            auto* buffer = reinterpret_cast<wchar_t*>(lparam);
            std::memcpy(buffer, text->data(), copied * sizeof(wchar_t));
            buffer[copied] = L'\0';
            return static_cast<LRESULT>(copied);
        }
        case WM_SETTEXT:
        case WM_NCDESTROY:
            RemoveWindowSubclass(edit, AnswerText, id);
            delete text;
            break;
        default:
            break;
    }
    return DefSubclassProc(edit, message, wparam, lparam);
}

}  // namespace

void TypeInto(HWND edit, std::wstring_view text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    for (const wchar_t character : text) SendMessageW(edit, WM_CHAR, character, 1);
}

void SetText(HWND edit, std::wstring_view text) {
    if (text.size() > kLongestTypedText) {
        AnswerTextOf(edit, std::wstring(text));
        return;
    }
    const std::wstring copy(text);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

void AnswerTextOf(HWND edit, std::wstring text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    auto* answered = new std::wstring(std::move(text));
    if (!SetWindowSubclass(edit, AnswerText, kAnsweredTextId, reinterpret_cast<DWORD_PTR>(answered))) {
        delete answered;
        win::ThrowHr(E_FAIL, L"the edit cannot be subclassed");
    }
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

LRESULT CheckState(HWND check) { return SendMessageW(check, BM_GETCHECK, 0, 0); }

void PressOnRow(HWND list, int row, UINT down_message) {
    RECT item{};
    RECT client{};
    GetClientRect(list, &client);
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    if (item.top < client.top || item.bottom > client.bottom) {
        SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    const bool left = down_message == WM_LBUTTONDOWN;
    SendMessageW(list, down_message, left ? MK_LBUTTON : MK_RBUTTON, at);
    SendMessageW(list, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, at);
    Pump(20);
}

void SelectByNotification(HWND list, int row) {
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void PressKey(UINT virtual_key, bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE shift_before = keys[VK_SHIFT];
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND target = GetFocus();
    PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
    PostMessageW(target, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
    Pump(30);
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift_before;
    SetKeyboardState(keys);
}

std::vector<std::wstring> ListRows(HWND list) {
    std::vector<std::wstring> rows;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        std::wstring text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, L'\0');
        const LRESULT copied =
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        rows.push_back(std::move(text));
    }
    return rows;
}

int Selection(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0)); }

}  // namespace zorvane::test
