#include "ui/win32/dialog_keyboard.h"

#include <algorithm>
#include <array>

#include "ui/win32/window_failures.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::ui {
namespace {

struct HookState {
    win::UniqueHook hook;
    std::array<HWND, 4> windows{};
};

// A plain pointer: nothing may unhook from a static destructor at unload.
HookState* g_state = nullptr;

HWND OwningWindow(HWND target) noexcept {
    if (g_state == nullptr || target == nullptr) return nullptr;
    for (HWND window : g_state->windows) {
        if (window != nullptr && (target == window || IsChild(window, target))) return window;
    }
    return nullptr;
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    HHOOK hook = g_state != nullptr ? g_state->hook.get() : nullptr;
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        MSG* message = reinterpret_cast<MSG*>(lparam);
        if (message->message >= WM_KEYFIRST && message->message <= WM_KEYLAST) {
            HWND window = OwningWindow(message->hwnd);
            // Handled messages become WM_NULL so the host's loop dispatches nothing.
            if (window != nullptr && IsDialogMessageW(window, message)) {
                message->message = WM_NULL;
                message->wParam = 0;
                message->lParam = 0;
            }
        }
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

}  // namespace

void AttachDialogKeyboard(HWND top_level) {
    if (g_state == nullptr) {
        auto state = new HookState;
        state->hook.reset(SetWindowsHookExW(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId()));
        if (!state->hook) {
            const DWORD error = GetLastError();
            delete state;
            SetLastError(error);
            ThrowLastError();
        }
        g_state = state;
    }
    auto& windows = g_state->windows;
    if (std::find(windows.begin(), windows.end(), top_level) != windows.end()) return;
    auto free_slot = std::find(windows.begin(), windows.end(), nullptr);
    if (free_slot == windows.end()) win::ThrowHr(E_UNEXPECTED);
    *free_slot = top_level;
}

void DetachDialogKeyboard(HWND top_level) noexcept {
    if (g_state == nullptr) return;
    auto& windows = g_state->windows;
    std::replace(windows.begin(), windows.end(), top_level, HWND{});
    if (std::all_of(windows.begin(), windows.end(), [](HWND w) { return w == nullptr; })) {
        RemoveDialogKeyboardHook();
    }
}

void RemoveDialogKeyboardHook() noexcept {
    delete g_state;
    g_state = nullptr;
}

}  // namespace zorvane::ui
