#include "host/app/rule_editor_automation.h"

#include <cstdlib>

#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

thread_local BoxAnswerer* current_answerer = nullptr;

bool SameClass(const std::wstring& name, const wchar_t* wanted) { return _wcsicmp(name.c_str(), wanted) == 0; }

std::wstring ClassOf(HWND window) {
    wchar_t name[128] = {};
    GetClassNameW(window, name, 128);
    return name;
}

const ChildWindow* WithCaption(const std::vector<ChildWindow>& children, const wchar_t* type, const wchar_t* caption) {
    for (const ChildWindow& child : children) {
        if (SameClass(child.class_name, type) && child.caption == caption) return &child;
    }
    return nullptr;
}

// The control of a class nearest below a label and starting where it starts, as the
// eye pairs a column heading with its column.
const ChildWindow* Below(const std::vector<ChildWindow>& children, const ChildWindow& label, const wchar_t* type) {
    constexpr LONG kSlack = 12;
    const ChildWindow* best = nullptr;
    for (const ChildWindow& child : children) {
        if (!SameClass(child.class_name, type) || child.place.top <= label.place.top) continue;
        if (std::labs(child.place.left - label.place.left) > kSlack) continue;
        if (best == nullptr || child.place.top < best->place.top) best = &child;
    }
    return best;
}

HWND Need(const ChildWindow* found, const std::wstring& what) {
    if (found == nullptr) win::ThrowHr(E_FAIL, L"rule editor: no " + what);
    return found->window;
}

}  // namespace

std::wstring WindowCaption(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::vector<ChildWindow> ChildWindows(HWND parent) {
    std::vector<ChildWindow> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ChildWindow found{child, ClassOf(child), WindowCaption(child), {}};
        GetWindowRect(child, &found.place);
        children.push_back(std::move(found));
    }
    return children;
}

RuleEditorControls FindRuleEditorControls(HWND editor) {
    const std::vector<ChildWindow> children = ChildWindows(editor);
    RuleEditorControls found;
    const auto label = [&](const wchar_t* caption) -> const ChildWindow& {
        const ChildWindow* heading = WithCaption(children, L"Static", caption);
        if (heading == nullptr) win::ThrowHr(E_FAIL, std::wstring(L"rule editor: no label ") + caption);
        return *heading;
    };
    const ChildWindow& channel = label(L"Kanal:");
    const ChildWindow& minimum = label(L"Minimalwert:");
    const ChildWindow& maximum = label(L"Maximalwert:");
    found.channel_list = Need(Below(children, channel, L"ListBox"), L"list under Kanal:");
    found.minimum_list = Need(Below(children, minimum, L"ListBox"), L"list under Minimalwert:");
    found.maximum_list = Need(Below(children, maximum, L"ListBox"), L"list under Maximalwert:");
    found.channel_edit = Need(Below(children, channel, L"Edit"), L"text box under Kanal:");
    found.minimum_edit = Need(Below(children, minimum, L"Edit"), L"text box under Minimalwert:");
    found.maximum_edit = Need(Below(children, maximum, L"Edit"), L"text box under Maximalwert:");
    found.add_button = Need(WithCaption(children, L"Button", L"Werte hinzuf\u00FCgen"), L"button Werte hinzuf\u00FCgen");
    found.delete_button = Need(WithCaption(children, L"Button", L"Markierten Eintrag l\u00F6schen"),
                               L"button Markierten Eintrag l\u00F6schen");
    found.help_button = Need(WithCaption(children, L"Button", L"Hilfe"), L"button Hilfe");
    found.enabled_check = Need(WithCaption(children, L"Button", L"Plugin aktiviert"), L"check box Plugin aktiviert");
    return found;
}

void TypeInto(HWND edit, const std::wstring& text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    for (wchar_t character : text) SendMessageW(edit, WM_CHAR, character, 1);
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

LRESULT CheckState(HWND check) { return SendMessageW(check, BM_GETCHECK, 0, 0); }

std::vector<std::wstring> ListItems(HWND list) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0) continue;
        std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
        items.push_back(std::move(item));
    }
    return items;
}

BoxAnswerer::BoxAnswerer() {
    if (current_answerer != nullptr) win::ThrowHr(E_UNEXPECTED, L"one box answerer per thread");
    hook_.reset(SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId()));
    if (!hook_) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"SetWindowsHookEx(WH_CBT)");
    current_answerer = this;
}

BoxAnswerer::~BoxAnswerer() { current_answerer = nullptr; }

void BoxAnswerer::Expect(std::wstring caption, std::wstring typed) {
    expected_caption_ = std::move(caption);
    typed_ = std::move(typed);
}

LRESULT CALLBACK BoxAnswerer::Hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HCBT_ACTIVATE && current_answerer != nullptr) {
        try {
            current_answerer->OnActivate(reinterpret_cast<HWND>(wparam));
        } catch (...) {
            // The box stays open for a person; the scenario's timeout reports it.
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void BoxAnswerer::OnActivate(HWND window) {
    if (ClassOf(window) != L"#32770") return;  // our own windows and the plug-in's
    Box box{WindowCaption(window), {}, false};
    const std::vector<ChildWindow> children = ChildWindows(window);
    for (const ChildWindow& child : children) {
        if (SameClass(child.class_name, L"Static") && !child.caption.empty()) {
            box.text = child.caption;
            break;
        }
    }
    if (!expected_caption_.empty() && box.caption == expected_caption_) {
        const ChildWindow* edit = nullptr;
        const ChildWindow* ok = WithCaption(children, L"Button", L"OK");
        for (const ChildWindow& child : children) {
            if (SameClass(child.class_name, L"Edit")) edit = &child;
        }
        if (edit != nullptr && ok != nullptr) {
            // Cleared first: typing can activate the box again, which calls back in here.
            expected_caption_.clear();
            box.answered = true;
            TypeInto(edit->window, typed_);
            PostMessageW(ok->window, BM_CLICK, 0, 0);
        }
    }
    if (!box.answered) PostMessageW(window, WM_COMMAND, IDOK, 0);
    boxes_.push_back(std::move(box));
    if (seen_) seen_(boxes_.back());
}

}  // namespace zorvane::host_app
