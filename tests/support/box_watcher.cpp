#include "tests/support/box_watcher.h"

#include <optional>
#include <utility>

#include "tests/support/input.h"
#include "tests/support/windows.h"
#include "win/com_error.h"

namespace zorvane::test {
namespace {

thread_local BoxWatcher* t_watcher = nullptr;

std::optional<BoxWatcher::Action> g_pending_action;
HWND g_pending_box = nullptr;

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(nullptr, id);
    if (!g_pending_action) return;
    BoxWatcher::Action action = std::move(*g_pending_action);
    g_pending_action.reset();
    try {
        action(g_pending_box);
    } catch (...) {
        // The box stays open; the caller's check of what it saw reports it.
    }
}

}  // namespace

BoxWatcher::BoxWatcher() {
    if (t_watcher != nullptr) win::ThrowHr(E_UNEXPECTED, L"one box watcher a thread");
    hook_.reset(SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId()));
    if (!hook_) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"SetWindowsHookEx(WH_CBT)");
    t_watcher = this;
}

BoxWatcher::~BoxWatcher() {
    hook_.reset();
    t_watcher = nullptr;
}

LRESULT CALLBACK BoxWatcher::Hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (t_watcher != nullptr) {
        HWND window = reinterpret_cast<HWND>(wparam);
        try {
            if (code == HCBT_ACTIVATE && ClassOf(window) == L"#32770") t_watcher->OnActivate(window);
            if (code == HCBT_DESTROYWND) t_watcher->handled_.erase(window);
        } catch (...) {
            // The box stays open for a person; the caller's check of what it saw reports it.
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void BoxWatcher::OnActivate(HWND box) {
    // Typing into a box may activate it again.
    if (!handled_.insert(box).second) return;
    SeenBox seen;
    seen.focus = GetFocus();
    seen.owner = GetWindow(box, GW_OWNER);
    seen.title = TextOf(box);
    const HICON information = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));  // IDI_INFORMATION
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_VISIBLE) == 0) continue;
        const std::wstring window_class = ClassOf(child);
        if (_wcsicmp(window_class.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                if (icon != nullptr && icon == information) seen.information_icon = true;
            } else {
                std::wstring text = TextOf(child);
                if (text.size() > seen.text.size()) seen.text = std::move(text);
            }
        } else if (_wcsicmp(window_class.c_str(), L"Button") == 0) {
            seen.buttons.push_back(TextOf(child));
        }
    }
    boxes_.push_back(std::move(seen));
    if (observer_) observer_(boxes_.back());
    if (actions_.empty()) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        return;
    }
    Action action = std::move(actions_.front());
    actions_.pop_front();
    action(box);
}

BoxWatcher::Action TypeAndClick(std::wstring text, int button_id) {
    return [text = std::move(text), button_id](HWND box) {
        // The box is being activated: its controls exist; the click waits in its queue.
        HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
        if (edit != nullptr) SetText(edit, text);
        PostMessageW(GetDlgItem(box, button_id), BM_CLICK, 0, 0);
    };
}

BoxWatcher::Action TypeAndPress(std::wstring text, UINT virtual_key) {
    return [text = std::move(text), virtual_key](HWND box) {
        HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
        SetText(edit, text);
        PostMessageW(edit, WM_KEYDOWN, virtual_key, 1);
        PostMessageW(edit, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
    };
}

BoxWatcher::Action WhenShown(BoxWatcher::Action action) {
    return [action = std::move(action)](HWND box) {
        g_pending_action = action;
        g_pending_box = box;
        SetTimer(nullptr, 0, 150, RunPendingAction);
    };
}

}  // namespace zorvane::test
