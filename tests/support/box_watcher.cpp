#include "tests/support/box_watcher.h"

#include <cstdio>
#include <cwchar>
#include <optional>
#include <utility>

#include "tests/support/input.h"
#include "tests/support/pump.h"
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

// Wine's X11 driver "manages" windows unless told not to (X11 Driver\Managed, for every
// program or for this one under AppDefaults). Hiding a shown managed window waits up to
// 2 s for a window manager to withdraw it: under Xvfb, with none, every message box then
// takes 2 s to close after it is answered.
bool WineManagesWindows() {
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr) return false;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path, length);
    const std::wstring file = program.substr(program.find_last_of(L'\\') + 1);
    for (const std::wstring& key : {L"Software\\Wine\\AppDefaults\\" + file + L"\\X11 Driver",
                                    std::wstring(L"Software\\Wine\\X11 Driver")}) {
        wchar_t value[16] = {};
        DWORD size = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", RRF_RT_REG_SZ, nullptr, value, &size) ==
            ERROR_SUCCESS) {
            return wcschr(L"yYtT1", value[0]) != nullptr && value[0] != L'\0';
        }
    }
    return true;
}

constexpr ULONGLONG kSlowClose = 1500;  // ms

}  // namespace

BoxWatcher::BoxWatcher() {
    if (t_watcher != nullptr) win::ThrowHr(E_UNEXPECTED, L"one box watcher a thread");
    hook_.reset(SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId()));
    if (!hook_) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"SetWindowsHookEx(WH_CBT)");
    wine_manages_windows_ = WineManagesWindows();
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
            if (code == HCBT_DESTROYWND) t_watcher->OnDestroy(window);
        } catch (...) {
            // The box stays open for a person; the caller's check of what it saw reports it.
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void BoxWatcher::OnDestroy(HWND window) {
    const auto box = handled_.find(window);
    if (box == handled_.end()) return;
    const ULONGLONG open_for = GetTickCount64() - box->second;
    handled_.erase(box);
    static bool told = false;
    if (wine_manages_windows_ && open_for > kSlowClose && !told) {
        // A box answered at once that takes seconds to go makes a long test look hung.
        told = true;
        std::fprintf(stderr,
                     "box watcher: a box took %llu ms to close: Wine's X11 driver manages this program's windows "
                     "and waits for a window manager to withdraw each one; set Managed=N under "
                     "HKCU\\Software\\Wine\\X11 Driver in the prefix (scripts/wine-run does so for a prefix it "
                     "creates)\n",
                     open_for);
    }
}

void BoxWatcher::OnActivate(HWND box) {
    // Typing into a box may activate it again.
    if (!handled_.emplace(box, GetTickCount64()).second) return;
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

bool ActiveAgain(HWND window, DWORD timeout_ms) {
    const auto active = [window] { return GetActiveWindow() == window; };
    if (PumpUntil(active, timeout_ms)) return true;
    // Another window of this thread has it: not the display's doing, the caller's check tells.
    if (GetActiveWindow() != nullptr) return false;
    std::printf("(the activation had left this thread after a box; given back to the window)\n");
    SetForegroundWindow(window);
    return PumpUntil(active, timeout_ms);
}

}  // namespace zorvane::test
