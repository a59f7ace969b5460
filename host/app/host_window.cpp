#include "host/app/host_window.h"

#include <commctrl.h>

#include <cwchar>
#include <optional>
#include <string>

#include "host/app/window_class.h"
#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

constexpr wchar_t kClassName[] = L"ZorvaneStandinHost";
constexpr wchar_t kTitle[] = L"Stand-in-Pult \u2013 Zorvane";

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 100;
constexpr UINT_PTR kDriftTimer = 2;
constexpr UINT kDriftMs = 200;
constexpr int kDriftStep = 3;

constexpr int kMargin = 8;
constexpr int kButtonHeight = 26;
constexpr int kGridTop = kMargin + kButtonHeight + 8;
constexpr int kFaderTop = kGridTop + UniverseView::kHeight + 8;
constexpr int kLogTop = kFaderTop + 34;
constexpr int kLogHeight = 170;
constexpr int kClientWidth = UniverseView::kWidth + 2 * kMargin;
constexpr int kClientHeight = kLogTop + 18 + kLogHeight + kMargin + 22;  // + status bar

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// A whole number typed by a person, or nullopt.
std::optional<int> WholeNumber(const std::wstring& text) {
    if (text.empty() || text.size() > 6) return std::nullopt;
    int value = 0;
    for (wchar_t digit : text) {
        if (digit < L'0' || digit > L'9') return std::nullopt;
        value = value * 10 + (digit - L'0');
    }
    return value;
}

HMENU BuildMenu() {
    HMENU plugin = CreatePopupMenu();
    AppendMenuW(plugin, MF_STRING, kConfigureButton, L"Plugin &konfigurieren\u2026 (Configure)");
    AppendMenuW(plugin, MF_STRING, kEnableButton, L"&Aktivieren (Enable)");
    AppendMenuW(plugin, MF_STRING, kDisableButton, L"&Deaktivieren (Disable)");
    AppendMenuW(plugin, MF_STRING, kTermButton, L"&Beenden (Term)");
    AppendMenuW(plugin, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(plugin, MF_STRING, kLoadCommand, L"Plugin &laden");
    AppendMenuW(plugin, MF_STRING, kShowToolButton, L"&Werkzeugfenster zeigen (Show)");
    AppendMenuW(plugin, MF_STRING, kFloatToolCommand, L"Werkzeugfenster schw&ebend (Show 0, Pult)");
    AppendMenuW(plugin, MF_STRING, kDockToolCommand, L"Werkzeugfenster an&gedockt (im Pult)");
    AppendMenuW(plugin, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(plugin, MF_STRING, kExitCommand, L"Pult &schlie\u00DFen");

    HMENU view_mode = CreatePopupMenu();
    AppendMenuW(view_mode, MF_STRING, kViewMode0Command, L"ViewMode &0");
    AppendMenuW(view_mode, MF_STRING, kViewMode1Command, L"ViewMode &1");
    AppendMenuW(view_mode, MF_STRING, kViewMode2Command, L"ViewMode &2");

    HMENU project = CreatePopupMenu();
    AppendMenuW(project, MF_STRING, kClearProjectCommand, L"&Neues Projekt (ClearProjectData)");
    AppendMenuW(project, MF_STRING, kLoadProjectCommand, L"Projekt \u00F6&ffnen (LoadProjectData)");
    AppendMenuW(project, MF_STRING, kSaveProjectCommand, L"Projekt &speichern (SaveProjectData)");
    AppendMenuW(project, MF_STRING, kAskToSaveCommand, L"Speichern &abfragen (AskToSaveProjectData)");
    AppendMenuW(project, MF_POPUP, reinterpret_cast<UINT_PTR>(view_mode), L"&Ansicht");

    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugin), L"&Plugin");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(project), L"P&rojekt");
    return bar;
}

}  // namespace

HostWindow::HostWindow(bool quiet)
    : quiet_(quiet), commands_(*this), view_(commands_.host().universe, commands_.log()) {
    commands_.log().SetSink([this](const std::wstring& line, host_log::LineKind kind) { AddLogLine(line, kind); });
}

HostWindow::~HostWindow() {
    // The commands go last; whatever they log on the way has nowhere to show.
    commands_.log().SetSink(nullptr);
    window_.reset();
}

void HostWindow::Create(int show) {
    RegisterProgramClass(kClassName, WindowProc, {.icon = IDI_APPLICATION, .background = ButtonFaceBrush()});
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    font_.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    LOGFONTW fixed{};
    fixed.lfHeight = metrics.lfMessageFont.lfHeight;
    fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    std::wcscpy(fixed.lfFaceName, L"Courier New");
    log_font_.reset(CreateFontIndirectW(&fixed));

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT outer{0, 0, kClientWidth, kClientHeight};
    HMENU menu = BuildMenu();
    AdjustWindowRectEx(&outer, style, TRUE, 0);
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kTitle, style, 0, 0, outer.right - outer.left,
                                  outer.bottom - outer.top, nullptr, menu, GetModuleHandleW(nullptr), this);
    if (window == nullptr) {
        DestroyMenu(menu);
        win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"CreateWindowEx host window");
    }
    CreateControls();
    UpdateCommandStates();
    UpdateStatus();
    ShowWindow(window, show);
    UpdateWindow(window);
    SetTimer(window, kRefreshTimer, kRefreshMs, nullptr);
}

void HostWindow::CreateControls() {
    HWND window = window_.get();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto add = [&](const wchar_t* type, const wchar_t* text, DWORD style, DWORD ex_style, int id, int x,
                         int y, int width, int height) {
        HWND control = CreateWindowExW(ex_style, type, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                       window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                       nullptr);
        if (control == nullptr) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"CreateWindowEx control");
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return control;
    };
    constexpr DWORD button = BS_PUSHBUTTON | WS_TABSTOP;
    int x = kMargin;
    const auto next_button = [&](const wchar_t* text, int id, int width) {
        add(L"BUTTON", text, button, 0, id, x, kMargin, width, kButtonHeight);
        x += width + 6;
    };
    next_button(L"Plugin konfigurieren\u2026", kConfigureButton, 150);
    next_button(L"Aktivieren", kEnableButton, 96);
    next_button(L"Deaktivieren", kDisableButton, 96);
    next_button(L"Beenden", kTermButton, 96);
    next_button(L"Werkzeugfenster", kShowToolButton, 120);
    add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0, kModuleLabel, x + 8, kMargin + 5,
        kClientWidth - x - 8 - kMargin, 18);

    view_.Create(window, kMargin, kGridTop, kUniverse);
    view_.OnChannelPicked([this](int channel) { OnChannelPicked(channel); });

    const int row = kFaderTop;
    add(L"STATIC", L"Kanal:", SS_RIGHT, 0, kChannelLabel, kMargin, row + 5, 40, 18);
    add(L"EDIT", L"1", ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kChannelEdit, kMargin + 44, row + 2,
        50, 22);
    add(L"STATIC", L"Wert:", SS_RIGHT, 0, kValueLabel, kMargin + 100, row + 5, 36, 18);
    add(L"EDIT", L"0", ES_NUMBER | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, kValueEdit, kMargin + 140, row + 2, 50,
        22);
    add(L"BUTTON", L"Wert setzen", button | BS_DEFPUSHBUTTON, 0, kSetValueButton, kMargin + 198, row, 100,
        kButtonHeight);
    HWND fader = add(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_BOTH | TBS_NOTICKS | WS_TABSTOP, 0, kFader, kMargin + 306,
                     row, 330, 28);
    SendMessageW(fader, TBM_SETRANGE, FALSE, MAKELPARAM(0, standin::Universe::kMaxValue));
    SendMessageW(fader, TBM_SETPAGESIZE, 0, 16);
    add(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, 0, kFaderLabel, kMargin + 644, row + 5, 130, 18);
    add(L"BUTTON", L"Drift (Kan\u00E4le wandern)", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kDriftCheck, kMargin + 780, row + 2,
        170, 22);

    add(L"STATIC", L"Aufrufe des Plugins beim Pult (neueste unten):", SS_LEFT, 0, kLogLabel, kMargin, kLogTop, 400, 16);
    HWND list = add(L"LISTBOX", L"", LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_VSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE,
                    kLogList, kMargin, kLogTop + 18, UniverseView::kWidth, kLogHeight);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(log_font_.get()), FALSE);
    add(STATUSCLASSNAMEW, L"", 0, 0, kStatusBar, 0, 0, 0, 0);

    OnChannelPicked(1);
}

LRESULT CALLBACK HostWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        auto* self = static_cast<HostWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    try {
        return self->OnMessage(message, wparam, lparam);
    } catch (const win::ComError& error) {
        self->ShowFailure(L"Pult", error.description());
    } catch (...) {
        self->ShowFailure(L"Pult", L"unerwarteter Fehler");
    }
    return 0;
}

LRESULT HostWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    HWND window = window_.get();
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wparam), HIWORD(wparam));
        return 0;
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lparam) == control(kFader)) OnFaderScrolled();
        return 0;
    case WM_TIMER:
        if (wparam == kRefreshTimer) Refresh();
        if (wparam == kDriftTimer) {
            host().universe.Wander();
            view_.Refresh();
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        KillTimer(window, kRefreshTimer);
        KillTimer(window, kDriftTimer);
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        window_.release();
        return DefWindowProcW(window, message, wparam, lparam);
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

void HostWindow::OnCommand(int id, int code) {
    if (code != BN_CLICKED && code != 0) return;  // menu items arrive with 0
    switch (id) {
    case kConfigureButton: Configure(); break;
    case kEnableButton: Enable(); break;
    case kDisableButton: Disable(); break;
    case kTermButton: Term(); break;
    case kShowToolButton: ShowToolWindow(); break;
    case kFloatToolCommand: SetToolPlace(false); break;
    case kDockToolCommand: SetToolPlace(true); break;
    case kClosePaneCommand: OnPaneCloseClicked(); break;
    case kLoadCommand: LoadPlugin(); break;
    case IDOK:  // Enter in the fader's boxes
    case kSetValueButton: SetFaderFromEdits(); break;
    case kDriftCheck: OnDriftClicked(); break;
    case kExitCommand: DestroyWindow(window_.get()); break;
    case kClearProjectCommand:
    case kLoadProjectCommand:
    case kSaveProjectCommand:
    case kAskToSaveCommand:
    case kViewMode0Command:
    case kViewMode1Command:
    case kViewMode2Command: ProjectCommand(id); break;
    default: break;
    }
}

bool HostWindow::LoadPlugin() { return commands_.LoadPlugin() && ShowToolWindow(); }

bool HostWindow::ShowToolWindow() {
    return dock_wanted_ ? commands_.DockToolWindow() : commands_.FloatToolWindow();
}

void HostWindow::SetToolPlace(bool docked) {
    dock_wanted_ = docked;
    if (commands_.session().loaded()) {
        ShowToolWindow();
    } else {
        UpdateCommandStates();
    }
}

void HostWindow::OnPaneCloseClicked() {
    if (!pane_.open()) return;
    ClosePane();
    dock_wanted_ = false;
    commands_.PaneClosed();
    UpdateCommandStates();
}

bool HostWindow::ProjectCommand(int command, bool* result) {
    switch (command) {
    case kClearProjectCommand: return commands_.ClearProjectData();
    case kLoadProjectCommand: return commands_.LoadProjectData();
    case kSaveProjectCommand: return commands_.SaveProjectData();
    case kAskToSaveCommand: return commands_.AskToSaveProjectData(result);
    case kViewMode0Command:
    case kViewMode1Command:
    case kViewMode2Command: return commands_.SetViewMode(command - kViewMode0Command);
    default: return false;
    }
}

HWND HostWindow::OpenPane(SIZE room, const std::wstring& title, RECT& dock_area) {
    if (!pane_.open()) {
        // Beside the universe, from its top to the log's foot.
        pane_width_ = room.cx;
        const RECT place{kClientWidth, kGridTop, kClientWidth + room.cx, kLogTop + 18 + kLogHeight};
        pane_.Open(window_.get(), place, kClosePaneCommand, font_.get());
        FitToPane();
    }
    pane_.SetTitle(title);
    dock_area = pane_.DockArea();
    return pane_.handle();
}

void HostWindow::ClosePane() noexcept {
    pane_.Close();
    FitToPane();
}

void HostWindow::FitToPane() noexcept {
    HWND window = window_.get();
    if (window == nullptr) return;
    RECT outer{0, 0, kClientWidth + (pane_.open() ? pane_width_ + kMargin : 0), kClientHeight};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), TRUE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control(kStatusBar), WM_SIZE, 0, 0);
}

void HostWindow::OnChannelPicked(int channel) {
    const int value = host().universe.Value(channel);
    SetWindowTextW(control(kChannelEdit), std::to_wstring(channel).c_str());
    SetWindowTextW(control(kValueEdit), std::to_wstring(value).c_str());
    SendMessageW(control(kFader), TBM_SETPOS, TRUE, value);
    view_.Select(channel);
    UpdateStatus();
}

void HostWindow::OnFaderScrolled() {
    const int channel = view_.selected();
    const int value = static_cast<int>(SendMessageW(control(kFader), TBM_GETPOS, 0, 0));
    host().universe.SetFromFader(channel, value);
    SetWindowTextW(control(kValueEdit), std::to_wstring(value).c_str());
    view_.Refresh();
    UpdateStatus();
}

void HostWindow::SetFaderFromEdits() {
    const auto channel = WholeNumber(WindowText(control(kChannelEdit)));
    const auto value = WholeNumber(WindowText(control(kValueEdit)));
    if (!channel || !standin::Universe::IsChannel(*channel) || !value || !standin::Universe::IsValue(*value)) {
        ShowFailure(L"Wert setzen", L"Kanal 1 bis 512 und Wert 0 bis 255 eingeben.");
        return;
    }
    host().universe.SetFromFader(*channel, *value);
    log().Note(L"> Fader " + std::to_wstring(*channel) + L" = " + std::to_wstring(*value));
    OnChannelPicked(*channel);
}

void HostWindow::OnDriftClicked() {
    const bool on = SendMessageW(control(kDriftCheck), BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (on) {
        host().universe.StartDrift(GetTickCount(), kDriftStep);
        SetTimer(window_.get(), kDriftTimer, kDriftMs, nullptr);
    } else {
        host().universe.StopDrift();
        KillTimer(window_.get(), kDriftTimer);
    }
    log().Note(on ? L"> Drift an" : L"> Drift aus");
}

void HostWindow::Refresh() noexcept {
    try {
        log().Drain();
    } catch (...) {
        // A line lost to low memory; the counts stay right on the next drain.
    }
    ShowNewLogLines();
    view_.Refresh();
    UpdateStatus();
}

void HostWindow::AddLogLine(const std::wstring& line, host_log::LineKind kind) {
    if (extra_sink_ && kind == host_log::LineKind::Settled) extra_sink_(line);
    HWND list = control(kLogList);
    if (list == nullptr) return;
    // The list is drawn and scrolled at the next refresh, not at every line: drawing
    // costs milliseconds, and a tick's lines come in a burst.
    if (!log_lines_waiting_) SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    log_lines_waiting_ = true;
    kept_lines_.Add(line, kind);
}

void HostWindow::ShowNewLogLines() noexcept {
    HWND list = control(kLogList);
    if (!log_lines_waiting_ || list == nullptr) return;
    log_lines_waiting_ = false;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(count > 0 ? count - 1 : 0), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void HostWindow::LogListBox::Append(const std::wstring& text) {
    SendMessageW(owner_.control(kLogList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void HostWindow::LogListBox::Replace(std::size_t index, const std::wstring& text) {
    HWND list = owner_.control(kLogList);
    SendMessageW(list, LB_DELETESTRING, index, 0);
    SendMessageW(list, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
}

void HostWindow::LogListBox::Remove(std::size_t index) {
    SendMessageW(owner_.control(kLogList), LB_DELETESTRING, index, 0);
}

void HostWindow::UpdateStatus() {
    HWND status = control(kStatusBar);
    if (status == nullptr) return;
    wchar_t text[256];
    const PluginSession& session = commands_.session();
    const CallLog& calls = commands_.log();
    std::swprintf(text, 256, L"%ls   Ticks: %u   ChannelGetValue: %u   SetChannel: %u   Fehler: %u",
                  session.loaded() ? L"Plugin geladen" : L"kein Plugin", calls.ticks(), calls.reads(), calls.writes(),
                  calls.failed_calls());
    SendMessageW(status, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text));

    const int channel = view_.selected();
    std::swprintf(text, 256, L"Kanal %d = %d", channel, host().universe.Value(channel));
    SetWindowTextW(control(kFaderLabel), text);

    std::wstring module = session.loaded() ? session.plugin_name() + L" \u2013 " + session.module().description
                                           : L"Kein Plugin geladen (Plugin \u2192 Plugin laden)";
    SetWindowTextW(control(kModuleLabel), module.c_str());
}

void HostWindow::UpdateCommandStates() {
    const bool loaded = commands_.session().loaded();
    for (int id : {kConfigureButton, kEnableButton, kDisableButton, kTermButton, kShowToolButton}) {
        EnableWindow(control(static_cast<HostControl>(id)), loaded);
    }
    HMENU menu = GetMenu(window_.get());
    for (int id : {kConfigureButton, kEnableButton, kDisableButton, kTermButton, kShowToolButton,
                   kClearProjectCommand, kLoadProjectCommand, kSaveProjectCommand, kAskToSaveCommand,
                   kViewMode0Command, kViewMode1Command, kViewMode2Command}) {
        EnableMenuItem(menu, static_cast<UINT>(id), MF_BYCOMMAND | (loaded ? MF_ENABLED : MF_GRAYED));
    }
    EnableMenuItem(menu, kLoadCommand, MF_BYCOMMAND | (loaded ? MF_GRAYED : MF_ENABLED));
    CheckMenuRadioItem(menu, kFloatToolCommand, kDockToolCommand, dock_wanted_ ? kDockToolCommand : kFloatToolCommand,
                       MF_BYCOMMAND);
}

void HostWindow::ShowFailure(const std::wstring& what, const std::wstring& description) noexcept {
    try {
        log().Note(L"! " + what + L": " + description);
    } catch (...) {
        // Out of memory for the line; the box below still tells the person.
    }
    if (!quiet_) MessageBoxW(window_.get(), description.c_str(), what.c_str(), MB_OK | MB_ICONWARNING);
}

void HostWindow::ShowAnswer(const std::wstring& caption, const std::wstring& text) {
    if (!quiet_) MessageBoxW(window_.get(), text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void HostWindow::CommandDone() noexcept {
    Refresh();
    UpdateCommandStates();
}

}  // namespace zorvane::host_app
