#include "ui/win32/rule_editor_form.h"

#include <commctrl.h>

#include <initializer_list>
#include <new>

#include "clamp/clamp_cycle.h"
#include "clamp/win32/velt_zorvane.h"
#include "common/host_error.h"
#include "ui/interval_input.h"
#include "ui/rule_input.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/dialog_keyboard.h"
#include "ui/win32/form_instances.h"
#include "ui/win32/interval_dialog.h"
#include "win/com_error.h"

namespace zorvane::ui {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;  // fixed single border
constexpr DWORD kExStyle = 0;
constexpr int kClientWidth = 4470;
constexpr int kClientHeight = 3255;

constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kEdit = ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kList = LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

// In tab order: the creation order gives the Z-order, which is the tab order.
constexpr ChildControl kControls[] = {
    {L"BUTTON", L"Markierten Eintrag l\u00F6schen", kButton, 0, kCommand2, {2280, 2280, 2055, 375}},
    {L"BUTTON", L"Werte hinzuf\u00FCgen", kButton, 0, kCommand1, {120, 2280, 2055, 375}},
    {L"EDIT", L"", kEdit, WS_EX_CLIENTEDGE, kText3, {3000, 1920, 1335, 285}},
    {L"EDIT", L"", kEdit, WS_EX_CLIENTEDGE, kText2, {1560, 1920, 1335, 285}},
    {L"EDIT", L"", kEdit, WS_EX_CLIENTEDGE, kText1, {120, 1920, 1335, 285}},
    {L"LISTBOX", L"", kList, WS_EX_CLIENTEDGE, kList3, {3000, 360, 1335, 1425}},
    {L"LISTBOX", L"", kList, WS_EX_CLIENTEDGE, kList2, {1560, 360, 1335, 1425}},
    {L"LISTBOX", L"", kList, WS_EX_CLIENTEDGE, kList1, {120, 360, 1335, 1425}},
    {L"STATIC", L"Maximalwert:", kLabel, 0, kLabel3, {3000, 120, 1215, 255}},
    {L"STATIC", L"Minimalwert:", kLabel, 0, kLabel2, {1560, 120, 1335, 255}},
    {L"STATIC", L"Kanal:", kLabel, 0, kLabel1, {120, 120, 1335, 255}},
    {L"BUTTON", L"Hilfe", kButton, 0, kCommand3, {2280, 2760, 2055, 375}},
    {L"BUTTON", L"Plugin aktiviert", BS_AUTO3STATE | WS_TABSTOP, 0, kCheck1, {120, 2760, 2055, 375}},
};

constexpr UINT_PTR kListSubclassId = 1;

void ReportTickFailure(TickFailureLog& log, std::int32_t code, std::wstring_view description) noexcept {
    try {
        if (log.Failed(code, description)) OutputDebugStringW(TickFailureLine(code, description).c_str());
    } catch (const std::bad_alloc&) {
        OutputDebugStringW(L"Zorvane: Timer1 tick failed\n");
    }
}

}  // namespace

RuleEditorForm::~RuleEditorForm() {
    Unload();
}

HRESULT RuleEditorForm::AskToSaveProjectData(VARIANT_BOOL* result) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = VARIANT_FALSE;
    return S_OK;
}

void RuleEditorForm::Load() {
    if (window_) return;
    RegisterFormClass(kClassName, WindowProc);
    dpi_ = ScreenDpi();
    const SIZE outer = OuterSizeForClient(kClientWidth, kClientHeight, kStyle, kExStyle, dpi_);
    create_failure_ = nullptr;
    HWND window = CreateWindowExW(kExStyle, kClassName, L"Zorvane", kStyle, CW_USEDEFAULT,
                                  CW_USEDEFAULT, outer.cx, outer.cy, nullptr, nullptr,
                                  ModuleInstance(), this);
    if (window == nullptr) {
        if (create_failure_) std::rethrow_exception(std::exchange(create_failure_, nullptr));
        ThrowLastError();
    }
}

void RuleEditorForm::Unload() noexcept {
    if (window_) DestroyWindow(window_.get());
}

void RuleEditorForm::Show() {
    Load();
    ShowWindow(window_.get(), SW_SHOW);
    SetForegroundWindow(window_.get());
}

void RuleEditorForm::Hide() noexcept {
    if (window_) ShowWindow(window_.get(), SW_HIDE);
}

HWND RuleEditorForm::Handle() {
    Load();
    return window_.get();
}

bool RuleEditorForm::Visible() const noexcept {
    return window_ && IsWindowVisible(window_.get());
}

void RuleEditorForm::SetVisible(bool visible) {
    if (visible) {
        Show();
    } else {
        Hide();
    }
}

void RuleEditorForm::RunIntervalDialog() {
    // The host's window, active while it asks us to configure, owns the box.
    HWND owner = GetActiveWindow();
    const std::wstring text = RunIntervalInputBox(owner);
    const IntervalCheck check = CheckInterval(text, win::UserNumberFormat());
    if (!check.interval_ms) {
        ShowInformation(owner, check.message, L"Fehler");
        return;
    }
    SetTimerInterval(*check.interval_ms);
}

void RuleEditorForm::SetTimerInterval(std::int32_t milliseconds) {
    Load();
    interval_ = milliseconds;
    if (timer_enabled_) StartTimer();
}

LRESULT CALLBACK RuleEditorForm::WindowProc(HWND window, UINT message, WPARAM wparam,
                                            LPARAM lparam) noexcept {
    return DispatchToForm<RuleEditorForm>(window, message, wparam, lparam);
}

LRESULT RuleEditorForm::OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        window_.reset(window);
        break;
    case WM_CREATE:
        CreateControls();
        return 0;
    case WM_COMMAND:
        if (lparam != 0) OnCommand(LOWORD(wparam), HIWORD(wparam));
        return 0;
    case DM_GETDEFID: {
        // Enter clicks the focused push button, as in a dialog; elsewhere nothing.
        HWND focus = GetFocus();
        if (focus == command1_ || focus == command2_ || focus == command3_) {
            return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
        }
        return 0;
    }
    case WM_TIMER:
        if (wparam == kTimer1) {
            OnTimer();
            return 0;
        }
        break;
    case WM_ACTIVATE:
    case WM_SETFOCUS:
        if (focus_.Handle(window, message, wparam)) return 0;
        break;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        DetachDialogKeyboard(window);
        KillTimer(window, kTimer1);
        return 0;
    case WM_NCDESTROY:
        OnDestroyed();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void RuleEditorForm::OnMessageFailed(UINT message) noexcept {
    if (message == WM_CREATE || message == WM_NCCREATE) create_failure_ = std::current_exception();
}

void RuleEditorForm::CreateControls() {
    font_ = CreateMessageFont();
    HWND window = window_.get();
    for (const ChildControl& control : kControls) CreateControl(window, control, dpi_, font_.get());
    command1_ = GetDlgItem(window, kCommand1);
    command2_ = GetDlgItem(window, kCommand2);
    command3_ = GetDlgItem(window, kCommand3);
    text1_ = GetDlgItem(window, kText1);
    text2_ = GetDlgItem(window, kText2);
    text3_ = GetDlgItem(window, kText3);
    list1_ = GetDlgItem(window, kList1);
    list2_ = GetDlgItem(window, kList2);
    list3_ = GetDlgItem(window, kList3);
    check1_ = GetDlgItem(window, kCheck1);

    for (HWND text : {text1_, text2_, text3_}) SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
    for (HWND list : {list1_, list2_, list3_}) {
        if (!SetWindowSubclass(list, ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
            ThrowLastError();
        }
    }
    SendMessageW(check1_, BM_SETCHECK, BST_CHECKED, 0);
    focus_.Remember(command2_);

    table_.Clear();
    interval_ = kInitialInterval;
    timer_enabled_ = true;
    tick_failures_.Succeeded();
    StartTimer();
    AttachDialogKeyboard(window);
}

void RuleEditorForm::OnDestroyed() noexcept {
    window_.release();
    font_.reset();
    command1_ = command2_ = command3_ = nullptr;
    text1_ = text2_ = text3_ = nullptr;
    list1_ = list2_ = list3_ = nullptr;
    check1_ = nullptr;
    focus_.Forget();
    table_.Clear();
    interval_ = kInitialInterval;
    timer_enabled_ = true;
}

void RuleEditorForm::OnCommand(int id, int code) {
    switch (id) {
    case kCommand1:
        if (code == BN_CLICKED) AddRule();
        break;
    case kCommand2:
        if (code == BN_CLICKED) DeleteSelectedRule();
        break;
    case kCommand3:
        if (code == BN_CLICKED) ShowAboutWindow();
        break;
    case kCheck1:
        if (code == BN_CLICKED) OnCheckClicked();
        break;
    case kList1:
    case kList2:
    case kList3:
        if (code == LBN_SELCHANGE) MirrorSelection(GetDlgItem(window_.get(), id));
        break;
    default:
        break;
    }
}

void RuleEditorForm::AddRule() {
    const std::wstring channel = WindowText(text1_);
    const std::wstring minimum = WindowText(text2_);
    const std::wstring maximum = WindowText(text3_);
    const auto rows = static_cast<std::int32_t>(SendMessageW(list1_, LB_GETCOUNT, 0, 0));
    const NumberFormat format = win::UserNumberFormat();
    const RuleCheck check = CheckNewRule(channel, minimum, maximum, rows, format);

    switch (check.focus) {
    case RuleField::Channel: SetFocus(text1_); break;
    case RuleField::Minimum: SetFocus(text2_); break;
    case RuleField::Maximum: SetFocus(text3_); break;
    case RuleField::None: break;
    }
    if (!check.accepted) {
        ShowInformation(window_.get(), check.message, L"Fehler!");
        return;
    }

    table_.SetFormat(format);
    table_.Append(channel, minimum, maximum);
    const std::wstring* texts[] = {&channel, &minimum, &maximum};
    HWND lists[] = {list1_, list2_, list3_};
    for (int i = 0; i < 3; ++i) {
        const LRESULT added = SendMessageW(lists[i], LB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(texts[i]->c_str()));
        if (added == LB_ERR || added == LB_ERRSPACE) {
            // Take the row back out of the lists that have it, so that all stay in step.
            const auto row = static_cast<std::int16_t>(table_.RowCount() - 1);
            for (int j = 0; j < i; ++j) SendMessageW(lists[j], LB_DELETESTRING, row, 0);
            table_.Remove(row);
            win::ThrowHr(E_OUTOFMEMORY);
        }
    }
    for (HWND list : lists) SendMessageW(list, LB_SETCURSEL, 0, 0);
    for (HWND text : {text1_, text2_, text3_}) SetWindowTextW(text, L"");
}

void RuleEditorForm::DeleteSelectedRule() {
    const LRESULT row = SendMessageW(list1_, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return;
    for (HWND list : {list1_, list2_, list3_}) SendMessageW(list, LB_DELETESTRING, row, 0);
    table_.Remove(static_cast<std::int16_t>(row));
    if (SendMessageW(list1_, LB_GETCOUNT, 0, 0) > 0) {
        for (HWND list : {list1_, list2_, list3_}) SendMessageW(list, LB_SETCURSEL, 0, 0);
    }
}

void RuleEditorForm::MirrorSelection(HWND from) noexcept {
    if (from == nullptr) return;
    const LRESULT row = SendMessageW(from, LB_GETCURSEL, 0, 0);
    const WPARAM target = row == LB_ERR ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(row);
    for (HWND list : {list1_, list2_, list3_}) {
        if (list != from && list != nullptr) SendMessageW(list, LB_SETCURSEL, target, 0);
    }
}

LRESULT CALLBACK RuleEditorForm::ListProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR id, DWORD_PTR form) noexcept {
    if (message == WM_NCDESTROY) RemoveWindowSubclass(list, ListProc, id);
    const LRESULT result = DefSubclassProc(list, message, wparam, lparam);
    // The press has moved the selection by now; the other two lists follow it.
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
        reinterpret_cast<RuleEditorForm*>(form)->MirrorSelection(list);
    }
    return result;
}

void RuleEditorForm::OnCheckClicked() {
    switch (SendMessageW(check1_, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        timer_enabled_ = true;
        StartTimer();
        break;
    case BST_UNCHECKED:
        timer_enabled_ = false;
        KillTimer(window_.get(), kTimer1);
        break;
    default:  // BST_INDETERMINATE leaves the timer as it is
        break;
    }
}

void RuleEditorForm::StartTimer() {
    if (SetTimer(window_.get(), kTimer1, static_cast<UINT>(interval_), nullptr) == 0) ThrowLastError();
}

void RuleEditorForm::OnTimer() noexcept {
    // A host call may pump messages; a tick never starts inside another.
    if (ticking_) return;
    ticking_ = true;
    try {
        table_.SetFormat(win::UserNumberFormat());
        velt_zorvane::HostChannels channels;
        RunClampTick(table_, channels);
        tick_failures_.Succeeded();
    } catch (const HostError& e) {
        ReportTickFailure(tick_failures_, e.code(), e.description());
    } catch (const std::bad_alloc&) {
        ReportTickFailure(tick_failures_, E_OUTOFMEMORY, L"out of memory");
    } catch (...) {
        ReportTickFailure(tick_failures_, E_UNEXPECTED, L"unexpected failure");
    }
    ticking_ = false;
}

}  // namespace zorvane::ui
