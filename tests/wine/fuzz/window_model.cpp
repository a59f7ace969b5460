#include "tests/wine/fuzz/window_model.h"

#include <cwchar>

#include "tests/support/input.h"
#include "tests/wine/fuzz/import_watch.h"
#include "tests/wine/fuzz/journal.h"
#include "ui/win32/control_ids.h"

namespace zorvane::fuzz {
namespace {

constexpr UINT kInitialInterval = 1000;
constexpr wchar_t kEditorClass[] = L"ZorvaneRuleEditor";
constexpr wchar_t kAboutClass[] = L"ZorvaneAbout";

bool HasClass(HWND window, const wchar_t* name) {
    wchar_t found[64] = {};
    GetClassNameW(window, found, 64);
    return wcscmp(found, name) == 0;
}

LRESULT CALLBACK DropTimer1(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION && wparam == PM_REMOVE) {
        auto* message = reinterpret_cast<MSG*>(lparam);
        if (message->message == WM_TIMER && message->wParam == ui::kTimer1 && message->hwnd != nullptr &&
            HasClass(message->hwnd, kEditorClass)) {
            // Ticks are sent by the fuzzer, one at a time: a seed gives the same ticks again.
            message->message = WM_NULL;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

struct FindClass {
    const wchar_t* name;
    HWND found = nullptr;
};

BOOL CALLBACK FindThreadWindow(HWND window, LPARAM lparam) noexcept {
    auto* search = reinterpret_cast<FindClass*>(lparam);
    if (HasClass(window, search->name)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND ThreadWindowOfClass(const wchar_t* name) {
    FindClass search{name};
    EnumThreadWindows(GetCurrentThreadId(), FindThreadWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND EditorWindow() { return ThreadWindowOfClass(kEditorClass); }
HWND AboutWindow() { return ThreadWindowOfClass(kAboutClass); }

Lists ListsOf(HWND editor) {
    Lists lists;
    for (int id : {ui::kList1, ui::kList2, ui::kList3}) lists.push_back(test::ListRows(GetDlgItem(editor, id)));
    return lists;
}

LRESULT CheckOf(HWND editor) { return SendMessageW(GetDlgItem(editor, ui::kCheck1), BM_GETCHECK, 0, 0); }

std::wstring WithSeparator(const wchar_t* text, wchar_t decimal) {
    std::wstring out(text);
    const std::size_t at = out.find(L"{d}");
    if (at != std::wstring::npos) out.replace(at, 3, 1, decimal);
    return out;
}

EditorTicksDropped::EditorTicksDropped()
    : hook_(SetWindowsHookExW(WH_GETMESSAGE, DropTimer1, nullptr, GetCurrentThreadId())) {}

void WindowModel::OnSetTimer(HWND editor, UINT interval) {
    unsigned& sets = timer_sets_[editor];
    if (sets++ == 0) {
        if (interval != kInitialInterval) {
            Journal::Fail(Format("the rule editor was loaded with Timer1 at %u ms, not %u", interval, kInitialInterval));
        }
        interval_[editor] = kInitialInterval;
        return;
    }
    if (pending_interval_ && interval == *pending_interval_) {
        interval_[editor] = interval;
        pending_interval_.reset();
        return;
    }
    if (interval != interval_[editor]) {
        Journal::Fail(Format("Timer1 was set to %u ms while its interval is %u ms and no input box gave that",
                             interval, interval_[editor]));
    }
}

void WindowModel::Sync(bool users_inside) {
    HWND now = EditorWindow();
    if (now != editor_) {
        if (editor_ != nullptr) {
            if (!users_inside) Journal::Fail("the rule editor window went away, and no user closed it");
            timer_sets_.erase(editor_);
            interval_.erase(editor_);
        }
        if (now != nullptr) {
            expected_running_ = true;
            if (!users_inside) {
                const Lists lists = ListsOf(now);
                if (!lists[0].empty() || !lists[1].empty() || !lists[2].empty()) {
                    Journal::Fail("the rule editor was loaded with rules in its lists");
                }
                if (CheckOf(now) != BST_CHECKED) Journal::Fail("the rule editor was loaded with Check1 not ticked");
            }
        }
        editor_ = now;
    }
    if (now == nullptr) return;
    const Lists lists = ListsOf(now);
    if (lists[0].size() != lists[1].size() || lists[1].size() != lists[2].size()) {
        Journal::Fail(Format("the three lists hold %zu, %zu and %zu rows", lists[0].size(), lists[1].size(),
                             lists[2].size()));
    }
    const TimerState timer = ImportWatch::TimerOf(now);
    if (timer.window == nullptr) Journal::Fail("the rule editor is loaded and Timer1 was never set");
    if (timer.running != expected_running_) {
        Journal::Fail(timer.running ? "Timer1 runs though Check1 switched clamping off"
                                    : "Timer1 stopped though nothing switched clamping off");
    }
}

void WindowModel::CheckClicked(HWND editor) {
    if (editor == nullptr || editor != EditorWindow()) return;
    const LRESULT state = CheckOf(editor);
    if (state == BST_CHECKED) expected_running_ = true;
    if (state == BST_UNCHECKED) expected_running_ = false;
}

void WindowModel::InputBoxCallEnded() {
    if (!pending_interval_) return;
    if (HWND editor = EditorWindow()) interval_[editor] = *pending_interval_;
    pending_interval_.reset();
}

void WindowModel::Forget() {
    editor_ = nullptr;
    pending_interval_.reset();
}

}  // namespace zorvane::fuzz
