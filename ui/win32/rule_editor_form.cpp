#include "ui/win32/rule_editor_form.h"

#include <commctrl.h>

#include <initializer_list>
#include <new>

#include "clamp/clamp_cycle.h"
#include "clamp/win32/velt_zorvane.h"
#include "common/host_error.h"
#include "ui/rule_input.h"
#include "ui/win32/about_form.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/information_box.h"
#include "ui/win32/window_failures.h"
#include "win/com_error.h"
#include "win/module_count.h"
#include "win/user_number_format.h"

namespace zorvane::ui {
namespace {

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

constexpr FormDesign kDesign = {
    .class_name = L"ZorvaneRuleEditor",
    .name = L"frmZorvane",
    .caption = L"Zorvane",
    // A fixed single border, without minimize and maximize buttons.
    .style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
    // Docked in a host's dialog-like pane, its controls join the host's Tab order.
    .ex_style = WS_EX_CONTROLPARENT,
    .client_width = 4470,
    .client_height = 3255,
    .controls = kControls,
};

constexpr UINT_PTR kListSubclassId = 1;

void ReportTickFailure(TickFailureLog& log, std::int32_t code, std::wstring_view description) noexcept {
    try {
        if (log.Failed(code, description)) OutputDebugStringW(TickFailureLine(code, description).c_str());
    } catch (const std::bad_alloc&) {
        OutputDebugStringW(L"Zorvane: Timer1 tick failed\n");
    }
}

// The window went while a host call of the tick let messages run.
struct WindowClosedDuringTick {};

// The tick's view of the rules and the host while the window it started with is loaded:
// once it is closed (its rules discarded), the tick ends before its next step.
class TickGuard final : public RuleSource, public ChannelPort {
public:
    TickGuard(const Form& form, const RuleTable& table, ChannelPort& host) noexcept
        : form_(form), generation_(form.Generation()), table_(table), host_(host) {}

    std::int16_t RowCount() const override { return table_.RowCount(); }
    RuleReading Row(std::int16_t row) const override {
        CheckOpen();
        return table_.Row(row);
    }
    double ReadChannelValue(std::int32_t& channel) override {
        CheckOpen();
        return host_.ReadChannelValue(channel);
    }
    void SetChannelValue(std::int32_t& channel, std::int32_t& value) override {
        CheckOpen();
        host_.SetChannelValue(channel, value);
    }

private:
    void CheckOpen() const {
        if (form_.Generation() != generation_) throw WindowClosedDuringTick{};
    }

    const Form& form_;
    const std::uint32_t generation_;
    const RuleTable& table_;
    ChannelPort& host_;
};

}  // namespace

RuleEditorForm::RuleEditorForm() noexcept : Form(kDesign) {}

RuleEditorForm::~RuleEditorForm() {
    Unload();
}

void RuleEditorForm::SetTimerInterval(std::int32_t milliseconds) {
    Load();
    interval_ = milliseconds;
    if (timer_enabled_) StartTimer();
}

std::optional<LRESULT> RuleEditorForm::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        if (lparam != 0) OnCommand(LOWORD(wparam), HIWORD(wparam));
        return 0;
    case DM_GETDEFID: {
        // Enter clicks the focused push button, as in a dialog; elsewhere nothing.
        const int id = GetDlgCtrlID(GetFocus());
        if (id == kCommand1 || id == kCommand2 || id == kCommand3) return MAKELRESULT(id, DC_HASDEFID);
        return 0;
    }
    case WM_TIMER:
        if (wparam != kTimer1) return std::nullopt;
        OnTimer();
        return 0;
    default:
        return std::nullopt;
    }
}

void RuleEditorForm::OnLoad() {
    for (int id : {kText1, kText2, kText3}) SendMessageW(Control(id), EM_SETLIMITTEXT, 0, 0);
    for (int id : {kList1, kList2, kList3}) {
        if (!SetWindowSubclass(Control(id), ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
            ThrowLastError();
        }
    }
    SendMessageW(Control(kCheck1), BM_SETCHECK, BST_CHECKED, 0);
    focus().Remember(Control(kCommand2));

    table_.Clear();
    interval_ = kInitialInterval;
    timer_enabled_ = true;
    tick_failures_.Succeeded();
    StartTimer();
}

void RuleEditorForm::OnUnload() noexcept {
    KillTimer(window(), kTimer1);
}

void RuleEditorForm::OnUnloaded() noexcept {
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
        if (code == BN_CLICKED) AboutForm::Instance().Show();
        break;
    case kCheck1:
        if (code == BN_CLICKED) OnCheckClicked();
        break;
    case kList1:
    case kList2:
    case kList3:
        if (code == LBN_SELCHANGE) MirrorSelection(Control(id));
        break;
    default:
        break;
    }
}

void RuleEditorForm::AddRule() {
    HWND text1 = Control(kText1);
    HWND text2 = Control(kText2);
    HWND text3 = Control(kText3);
    const std::wstring channel = WindowText(text1);
    const std::wstring minimum = WindowText(text2);
    const std::wstring maximum = WindowText(text3);
    HWND lists[] = {Control(kList1), Control(kList2), Control(kList3)};
    const auto rows = static_cast<std::int32_t>(SendMessageW(lists[0], LB_GETCOUNT, 0, 0));
    const NumberFormat format = win::UserNumberFormat();
    const RuleCheck check = CheckNewRule(channel, minimum, maximum, rows, format);

    switch (check.focus) {
    case RuleField::Channel: SetFocus(text1); break;
    case RuleField::Minimum: SetFocus(text2); break;
    case RuleField::Maximum: SetFocus(text3); break;
    case RuleField::None: break;
    }
    if (!check.accepted) {
        ShowInformation(BoxOwner(), check.message, L"Fehler!");
        return;
    }

    table_.SetFormat(format);
    table_.Append(channel, minimum, maximum);
    const std::wstring* texts[] = {&channel, &minimum, &maximum};
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
    for (HWND text : {text1, text2, text3}) SetWindowTextW(text, L"");
}

void RuleEditorForm::DeleteSelectedRule() {
    HWND lists[] = {Control(kList1), Control(kList2), Control(kList3)};
    const LRESULT row = SendMessageW(lists[0], LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) return;
    for (HWND list : lists) SendMessageW(list, LB_DELETESTRING, row, 0);
    table_.Remove(static_cast<std::int16_t>(row));
    if (SendMessageW(lists[0], LB_GETCOUNT, 0, 0) > 0) {
        for (HWND list : lists) SendMessageW(list, LB_SETCURSEL, 0, 0);
    }
}

void RuleEditorForm::MirrorSelection(HWND from) noexcept {
    if (from == nullptr) return;
    const LRESULT row = SendMessageW(from, LB_GETCURSEL, 0, 0);
    const WPARAM target = row == LB_ERR ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(row);
    for (int id : {kList1, kList2, kList3}) {
        HWND list = Control(id);
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
    switch (SendMessageW(Control(kCheck1), BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        timer_enabled_ = true;
        StartTimer();
        break;
    case BST_UNCHECKED:
        timer_enabled_ = false;
        KillTimer(window(), kTimer1);
        break;
    default:  // BST_INDETERMINATE leaves the timer as it is
        break;
    }
}

void RuleEditorForm::StartTimer() {
    if (SetTimer(window(), kTimer1, static_cast<UINT>(interval_), nullptr) == 0) ThrowLastError();
}

void RuleEditorForm::OnTimer() noexcept {
    // A host call may pump messages: a tick never starts inside another, and while it
    // runs the module (and with it this instance) may not go, whatever the host releases.
    if (ticking_) return;
    ticking_ = true;
    const win::ModuleHold hold;
    try {
        table_.SetFormat(win::UserNumberFormat());
        // Rows the separators have put out of range, or made read as another rule than the
        // one added, are passed over without a host call.
        for (const RowFault& skipped : table_.TakeNewFaults()) {
            OutputDebugStringW(SkippedRowLine(skipped.row, skipped.fault).c_str());
        }
        velt_zorvane::HostChannels host;
        TickGuard guard(*this, table_, host);
        RunClampTick(guard, guard);
        tick_failures_.Succeeded();
    } catch (const WindowClosedDuringTick&) {
        // Closing the window stopped clamping; nothing failed.
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
