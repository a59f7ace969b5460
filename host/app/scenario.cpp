#include "host/app/scenario.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <vector>

#include "host/app/elapsed_time.h"
#include "tests/support/box_watcher.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/rule_editor.h"
#include "tests/support/screen_capture.h"
#include "tests/support/windows.h"
#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

using test::CheckState;
using test::Click;
using test::PumpUntil;

constexpr DWORD kFirstWritesTimeoutMs = 5000;
constexpr DWORD kTickTimeoutMs = 3000;
constexpr DWORD kOffPeriodMs = 1000;

std::wstring Format(const wchar_t* format, double value) {
    wchar_t text[128];
    std::swprintf(text, 128, format, value);
    return text;
}

std::wstring CheckText(LRESULT state) {
    switch (state) {
    case BST_CHECKED: return L"checked";
    case BST_UNCHECKED: return L"unchecked";
    default: return L"indeterminate";
    }
}

int Clamped(const ScenarioRule& rule, int value) { return std::clamp(value, rule.minimum, rule.maximum); }

enum class ToolPlace { Floating, Docked };

class Scenario {
public:
    Scenario(HostWindow& host, ProgramOutput& output, ToolPlace place, const std::wstring& screenshot_dir)
        : host_(host), log_(host.log()), output_(output), place_(place), folder_(screenshot_dir) {
        std::replace(folder_.begin(), folder_.end(), L'/', L'\\');
        if (!folder_.empty()) CreateDirectoryW(folder_.c_str(), nullptr);
    }

    // Whatever way the run ends, its last lines reach the output.
    ~Scenario() {
        try {
            EndTrace();
        } catch (...) {
            // Out of memory for the last lines; the verdict stands without them.
        }
    }
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    int Run();

private:
    bool docked() const noexcept { return place_ == ToolPlace::Docked; }
    bool screenshots() const noexcept { return !folder_.empty(); }
    void Expect(bool condition, const std::wstring& what) {
        if (condition) return;
        failures_.push_back(what);
        log_.Note(L"! expected: " + what);
    }
    void Note(const std::wstring& text) { log_.Note(text); }
    // The trace's last lines written out (a run of quiet ticks waits for its end), then
    // no more of them to the output.
    void EndTrace() {
        log_.Finish();
        host_.AlsoSendLinesTo(nullptr);
    }

    bool WaitForTicks(unsigned count, DWORD timeout_ms) {
        const unsigned target = log_.ticks() + count;
        const bool reached = PumpUntil([&] { return log_.ticks() >= target; }, timeout_ms);
        log_.Drain();
        return reached;
    }

    // A click on an item of the host's menu: the command it sends.
    void MenuCommand(int id, const wchar_t* item) {
        Note(std::wstring(L"> menu \"") + item + L"\"");
        SendMessageW(host_.handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
    }
    // Who owns a box, in words.
    std::wstring OwnerText(HWND owner) const {
        if (owner == host_.handle()) return L"the host window";
        if (owner != nullptr && owner == host_.tool_window()) return L"the rule editor";
        return owner == nullptr ? L"none" : HandleText(owner);
    }

    SIZE HostSize() const {
        RECT outer{};
        GetWindowRect(host_.handle(), &outer);
        return {outer.right - outer.left, outer.bottom - outer.top};
    }
    bool FindEditor(HWND window);
    void ExpectPlace(HWND window, ToolPlace place);
    void SetFader(int channel, int value);
    void AddRule(const ScenarioRule& rule);
    void ClickUntil(LRESULT wanted);
    const test::RuleEditor& Editor() const { return *editor_; }
    void FirstTicks();
    void ChangeInterval();
    void ClampingOffAndOn();
    void AboutWindow();
    void OutOfThePaneAndBack();
    void ProjectCommands();
    void Screenshots();
    void Shot(HWND window, const wchar_t* name);
    void Summary(double started);

    HostWindow& host_;
    CallLog& log_;
    ProgramOutput& output_;
    const ToolPlace place_;
    std::wstring folder_;
    // The host window's size with no pane, as it is when the run starts.
    SIZE host_size_{};
    std::optional<test::RuleEditor> editor_;
    std::vector<std::wstring> failures_;
    std::vector<std::wstring> screenshots_;
};

bool Scenario::FindEditor(HWND window) {
    try {
        editor_.emplace(window);
        return true;
    } catch (const win::ComError& error) {
        Expect(false, L"the rule editor's controls: " + error.description());
        return false;
    }
}

void Scenario::ExpectPlace(HWND window, ToolPlace place) {
    const HWND host = host_.handle();
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const std::size_t failed = failures_.size();
    Expect(IsWindowVisible(window) != FALSE, L"rule editor shown");
    if (place == ToolPlace::Floating) {
        Expect(GetAncestor(window, GA_ROOT) == window && (style & WS_CHILD) == 0 && (style & WS_CAPTION) == WS_CAPTION,
               L"rule editor a top-level window with its caption");
        Expect(GetWindow(window, GW_OWNER) == host, L"rule editor owned by the host window");
        RECT beside{}, tool{};
        GetWindowRect(host, &beside);
        GetWindowRect(window, &tool);
        if (beside.right + (tool.right - tool.left) <= GetSystemMetrics(SM_CXSCREEN)) {
            Expect(tool.left == beside.right && tool.top == beside.top, L"rule editor beside the host window");
        }
        if (failures_.size() == failed) Note(L"> rule editor floating: its own window, owned by the host window");
    } else {
        Expect(host_.pane() != nullptr && GetParent(window) == host_.pane() && GetAncestor(window, GA_ROOT) == host,
               L"rule editor a child of the host's pane");
        Expect((style & WS_CHILD) != 0 && (style & WS_CAPTION) == 0, L"docked rule editor: WS_CHILD, no caption");
        const RECT placed = test::PlaceInParent(window);
        const RECT area = host_.pane_dock_area();
        Expect(EqualRect(&placed, &area) != FALSE, L"docked rule editor fills the pane below its title");
        // The host widened itself to show the whole pane.
        RECT client{}, pane = test::PlaceInParent(host_.pane()), shown{};
        GetClientRect(host, &client);
        Expect(IntersectRect(&shown, &pane, &client) && EqualRect(&shown, &pane), L"the pane wholly inside the host window");
        if (failures_.size() == failed) Note(L"> rule editor docked: a child of the host's pane, filling it");
    }
}

void Scenario::SetFader(int channel, int value) {
    // Through the host's own fader controls, as a person would.
    test::SetText(host_.control(kChannelEdit), std::to_wstring(channel));
    test::SetText(host_.control(kValueEdit), std::to_wstring(value));
    Click(host_.control(kSetValueButton));
    Expect(host_.host().universe.Value(channel) == value,
           L"fader " + std::to_wstring(channel) + L" at " + std::to_wstring(value));
}

void Scenario::AddRule(const ScenarioRule& rule) {
    const std::wstring channel = std::to_wstring(rule.channel);
    const std::wstring minimum = std::to_wstring(rule.minimum);
    const std::wstring maximum = std::to_wstring(rule.maximum);
    Note(L"> rule editor: Kanal " + channel + L", Minimalwert " + minimum + L", Maximalwert " + maximum +
         L", click \"Werte hinzuf\u00FCgen\"");
    const std::size_t rows = Editor().RowCount();
    Editor().Add(channel, minimum, maximum);
    const auto table = Editor().Table();
    const bool listed = table[0].size() == rows + 1 && table[1].size() == rows + 1 && table[2].size() == rows + 1 &&
                        table[0].back() == channel && table[1].back() == minimum && table[2].back() == maximum;
    Expect(listed, L"rule " + channel + L" " + minimum + L".." + maximum + L" listed in the rule editor");
}

void Scenario::ClickUntil(LRESULT wanted) {
    // An auto three-state box: a person clicks until it shows what they want.
    const bool reached = Editor().ClickCheckUntil(
        wanted, [this](LRESULT state) { Note(L"> click \"Plugin aktiviert\" -> " + CheckText(state)); });
    Expect(reached, L"\"Plugin aktiviert\" " + CheckText(wanted));
}

void Scenario::FirstTicks() {
    std::vector<unsigned> before;
    for (const ScenarioRule& rule : kScenarioRules) before.push_back(log_.writes_to(rule.channel).count);
    const auto all_written = [&] {
        for (std::size_t i = 0; i < std::size(kScenarioRules); ++i) {
            if (log_.writes_to(kScenarioRules[i].channel).count == before[i]) return false;
        }
        return true;
    };
    const bool written = PumpUntil([&] {
        log_.Drain();
        return all_written();
    }, kFirstWritesTimeoutMs);
    Expect(written, L"SetChannel for every ruled channel within 5 s");
    for (const ScenarioRule& rule : kScenarioRules) {
        const int wanted = Clamped(rule, rule.fader);
        Expect(log_.writes_to(rule.channel).last_value == wanted,
               L"SetChannel " + std::to_wstring(rule.channel) + L", " + std::to_wstring(wanted));
    }
    // The next tick finds every channel in its band and writes nothing.
    const unsigned writes = log_.writes();
    Expect(WaitForTicks(1, kTickTimeoutMs), L"a tick more");
    Expect(log_.writes() == writes, L"no SetChannel once every channel is in its band");
}

void Scenario::ChangeInterval() {
    // The ticks so far came 1000 ms apart; the gap they left is the measure for the new one.
    const double gap_before = log_.last_tick_gap();
    // Configure comes from the host's window, the active one: the box is its, and the
    // window is disabled while the box is up, wherever the rule editor is.
    const HWND frame = host_.handle();
    bool answered = false;
    {
        test::BoxWatcher boxes;
        boxes.OnBox([&](const test::SeenBox& box) {
            const bool ours = !answered && box.title == kIntervalBoxCaption;
            if (ours) {
                answered = true;
                Expect(box.owner == frame, L"input box owned by " + OwnerText(frame));
                Expect(box.owner != nullptr && !IsWindowEnabled(box.owner), L"its owner disabled while it is up");
                if (screenshots() && !docked()) {
                    // Typed, then captured as a person sees it, then OK.
                    boxes.Then(test::WhenShown([this](HWND shown) {
                        test::SetText(FindWindowExW(shown, nullptr, L"Edit", nullptr), kTypedInterval);
                        Shot(shown, L"input_box.png");
                        PostMessageW(GetDlgItem(shown, IDOK), BM_CLICK, 0, 0);
                    }));
                } else {
                    boxes.Then(test::TypeAndClick(kTypedInterval, IDOK));
                }
            }
            Note(L"> box \"" + box.title + L"\": \"" + box.text + L"\"" +
                 (ours ? L", owner " + OwnerText(box.owner) + L", typed " + kTypedInterval + L", OK"
                       : std::wstring(L", closed")));
        });
        bool result = false;
        Expect(host_.Configure(&result), L"Configure succeeds");
        Expect(result, L"Configure -> true");
    }
    Expect(answered, std::wstring(L"input box \"") + kIntervalBoxCaption + L"\" answered");
    // From the first tick at the new interval, four gaps, timed as the ticks were taken.
    // The ticks that only read get no lines of their own, so the gaps are printed.
    constexpr unsigned kGaps = 4;
    Expect(WaitForTicks(1, kTickTimeoutMs), L"a tick after Configure");
    const double first = log_.last_tick_at();
    Expect(WaitForTicks(kGaps, kGaps * kTickTimeoutMs), L"four more ticks after Configure");
    const double gap = (log_.last_tick_at() - first) / kGaps;
    Note(Format(L"> ticks now %.3f s apart", gap) + Format(L", %.3f s before Configure", gap_before));
    // 250 ms after 1000 ms: four ticks where there was one, whatever the machine's load.
    Expect(gap > 0 && gap_before / gap > 2.5 && gap_before / gap < 6.5,
           Format(L"ticks about four times as often after Configure (%.1f)", gap > 0 ? gap_before / gap : 0.0));
}

void Scenario::ClampingOffAndOn() {
    const ScenarioRule* rule = nullptr;
    for (const ScenarioRule& candidate : kScenarioRules) {
        if (candidate.channel == kUnheldChannel) rule = &candidate;
    }
    if (rule == nullptr) return;

    ClickUntil(BST_UNCHECKED);
    log_.Drain();
    const unsigned writes = log_.writes();
    const unsigned ticks = log_.ticks();
    SetFader(kUnheldChannel, kUnheldValue);
    test::Pump(kOffPeriodMs);
    log_.Drain();
    const int left = host_.host().universe.Value(kUnheldChannel);
    Note(L"> clamping off for " + Format(L"%.1f s", kOffPeriodMs / 1000.0) + L": " +
         std::to_wstring(log_.ticks() - ticks) + L" ticks, channel " + std::to_wstring(kUnheldChannel) + L" = " +
         std::to_wstring(left));
    Expect(left == kUnheldValue, L"channel " + std::to_wstring(kUnheldChannel) + L" left alone while off");
    Expect(log_.writes() == writes, L"no SetChannel while off");

    ClickUntil(BST_CHECKED);
    const unsigned before = log_.writes_to(kUnheldChannel).count;
    const bool corrected = PumpUntil([&] {
        log_.Drain();
        return log_.writes_to(kUnheldChannel).count > before;
    }, kTickTimeoutMs);
    const int wanted = Clamped(*rule, kUnheldValue);
    Expect(corrected && log_.writes_to(kUnheldChannel).last_value == wanted,
           L"SetChannel " + std::to_wstring(kUnheldChannel) + L", " + std::to_wstring(wanted) + L" once on again");
}

void Scenario::ProjectCommands() {
    bool answer = true;
    Expect(host_.ProjectCommand(kAskToSaveCommand, &answer), L"AskToSaveProjectData succeeds");
    Expect(host_.ProjectCommand(kSaveProjectCommand), L"SaveProjectData succeeds");
    Expect(host_.ProjectCommand(kViewMode1Command), L"ViewMode succeeds");
    Expect(host_.Enable(), L"Enable succeeds");
}

void Scenario::AboutWindow() {
    Click(Editor().help_button);
    HWND about = nullptr;
    PumpUntil([&] {
        const std::vector<HWND> windows = test::ThreadWindows(kAboutCaption);
        about = windows.empty() ? nullptr : windows.front();
        return about != nullptr && IsWindowVisible(about);
    }, kTickTimeoutMs);
    Expect(about != nullptr, std::wstring(L"\"Hilfe\" opens \"") + kAboutCaption + L"\"");
    if (about == nullptr) return;
    const bool own = GetAncestor(about, GA_ROOT) == about && GetWindow(about, GW_OWNER) == nullptr;
    Expect(own, L"the about window is a window of its own");
    Note(std::wstring(L"> click \"Hilfe\" -> \"") + kAboutCaption + L"\"" + (own ? L", a window of its own" : L""));
    if (!docked()) Shot(about, L"about.png");
    const HWND ok = test::ChildWithCaption(about, L"Button", L"OK");
    Expect(ok != nullptr, L"the about window's OK button");
    if (ok == nullptr) return;
    Click(ok);
    Expect(PumpUntil([&] { return !IsWindow(about) || !IsWindowVisible(about); }, kTickTimeoutMs),
           L"the about window closed with OK");
}

void Scenario::OutOfThePaneAndBack() {
    const HWND window = host_.tool_window();
    const std::size_t rows = Editor().RowCount();
    MenuCommand(kFloatToolCommand, L"Werkzeugfenster schwebend");
    Expect(host_.tool_window() == window && host_.pane() == nullptr, L"the same rule editor out of the pane, the pane gone");
    ExpectPlace(window, ToolPlace::Floating);
    Expect(Editor().RowCount() == rows, L"the rules kept out of the pane");
    Expect(HostSize().cx == host_size_.cx && HostSize().cy == host_size_.cy, L"the host window its own size again");

    MenuCommand(kDockToolCommand, L"Werkzeugfenster angedockt");
    ExpectPlace(window, ToolPlace::Docked);
    Expect(Editor().RowCount() == rows, L"the rules kept in the pane again");

    // The host closes its pane: the rule editor goes with it, and the next Show brings a
    // new one, floating and as it starts.
    Note(L"> click the pane's close button");
    Click(host_.pane_close_button());
    const bool closed = PumpUntil([&] { return host_.pane() == nullptr; }, kTickTimeoutMs);
    Expect(closed && !IsWindow(window), L"the pane closed, the rule editor with it");
    Expect(!host_.dock_wanted(), L"the menu says floating once the pane is gone");
    Expect(HostSize().cx == host_size_.cx && HostSize().cy == host_size_.cy,
           L"the host window its own size again once the pane is gone");

    Note(L"> click \"Werkzeugfenster\"");
    Click(host_.control(kShowToolButton));
    const HWND renewed = host_.tool_window();
    Expect(renewed != nullptr && renewed != window, L"a new rule editor");
    if (renewed == nullptr || !FindEditor(renewed)) return;
    ExpectPlace(renewed, ToolPlace::Floating);
    const bool initial = Editor().RowCount() == 0 && CheckState(Editor().enabled_check) == BST_CHECKED;
    Expect(initial, L"the new rule editor as it starts: no rules, \"Plugin aktiviert\" checked");
    if (initial) Note(L"> rule editor " + HandleText(renewed) + L": no rules, \"Plugin aktiviert\" checked");
}

void Scenario::Shot(HWND window, const wchar_t* name) {
    if (!screenshots()) return;
    const std::wstring path = folder_ + L"\\" + name;
    try {
        test::SavePng(test::CaptureWindow(window), path);
        screenshots_.push_back(path);
    } catch (const win::ComError& error) {
        Expect(false, L"screenshot " + path + L": " + error.description());
    }
}

void Scenario::Screenshots() {
    if (!screenshots()) return;
    host_.Refresh();
    UpdateWindow(host_.handle());
    if (docked()) {
        Shot(host_.handle(), L"standin_host_docked.png");
    } else {
        Shot(host_.handle(), L"standin_host.png");
        Shot(host_.tool_window(), L"rule_editor.png");
    }
}

void Scenario::Summary(double started) {
    const standin::Universe& universe = host_.host().universe;
    output_.Line(docked() ? L"== summary (docked)" : L"== summary");
    output_.Line(L"ticks seen: " + std::to_wstring(log_.ticks()));
    output_.Line(L"ChannelGetValue reads: " + std::to_wstring(log_.reads()));
    // The reads of the ticks folded into a line, which the trace cannot show.
    output_.Line(L"ChannelGetValue reads in ticks without a write: " + std::to_wstring(log_.folded_reads()));
    output_.Line(L"SetChannel writes: " + std::to_wstring(log_.writes()));
    output_.Line(L"failed host calls: " + std::to_wstring(log_.failed_calls()));
    for (const ScenarioRule& rule : kScenarioRules) {
        const int value = universe.Value(rule.channel);
        const bool held = value >= rule.minimum && value <= rule.maximum;
        output_.Line(std::wstring(held ? L"held" : L"NOT held") + L": channel " + std::to_wstring(rule.channel) +
                     L" in " + std::to_wstring(rule.minimum) + L".." + std::to_wstring(rule.maximum) +
                     L", final " + std::to_wstring(value));
        Expect(held, L"channel " + std::to_wstring(rule.channel) + L" held");
    }
    for (const std::wstring& path : screenshots_) output_.Line(L"screenshot: " + path);
    for (const std::wstring& failure : failures_) output_.Line(L"FAILED: " + failure);
    const wchar_t* verdict = docked() ? (failures_.empty() ? L"scenario (docked): passed in %.1f s"
                                                           : L"scenario (docked): failed after %.1f s")
                                      : (failures_.empty() ? L"scenario: passed in %.1f s"
                                                           : L"scenario: failed after %.1f s");
    output_.Line(Format(verdict, ElapsedSeconds() - started));
}

int Scenario::Run() {
    const double started = ElapsedSeconds();
    output_.Line(docked() ? L"== second run: the rule editor docked in the host's pane"
                          : L"== Zorvane in the stand-in host: headless scenario");
    log_.StartOver();
    host_size_ = HostSize();
    host_.AlsoSendLinesTo([this](const std::wstring& line) { output_.Line(line); });
    if (!host_.LoadPlugin()) {
        EndTrace();
        output_.Line(L"FAILED: the plug-in did not load");
        return 2;
    }
    if (docked()) MenuCommand(kDockToolCommand, L"Werkzeugfenster angedockt");
    test::Pump(200);
    if (!FindEditor(host_.tool_window())) {
        EndTrace();
        output_.Line(L"FAILED: " + failures_.back());
        return 2;
    }
    Note(L"> rule editor found: hWnd " + HandleText(host_.tool_window()) + L", \"Plugin aktiviert\" " +
         CheckText(CheckState(Editor().enabled_check)));
    ExpectPlace(host_.tool_window(), place_);

    // Faders first, then the rules without a message in between: the first tick that sees
    // the rules sees the fader values.
    for (const ScenarioRule& rule : kScenarioRules) SetFader(rule.channel, rule.fader);
    for (const ScenarioRule& rule : kScenarioRules) AddRule(rule);
    FirstTicks();
    ChangeInterval();
    ClampingOffAndOn();
    Screenshots();
    AboutWindow();
    WaitForTicks(1, kTickTimeoutMs);
    if (docked()) OutOfThePaneAndBack();
    ProjectCommands();

    bool terminated = false;
    Expect(host_.Term(&terminated) && terminated, L"Term -> true");
    // Its window closed, nothing of the component is in use: it is unloaded, and the next
    // load starts afresh.
    Expect(GetModuleHandleW(L"Zorvane.dll") == nullptr, L"Zorvane.dll unloaded after Term");
    EndTrace();
    Summary(started);
    return failures_.empty() ? 0 : 1;
}

}  // namespace

int RunScenario(HostWindow& host, ProgramOutput& output, const std::wstring& screenshot_dir) {
    const int floating = Scenario(host, output, ToolPlace::Floating, screenshot_dir).Run();
    const int docked = Scenario(host, output, ToolPlace::Docked, screenshot_dir).Run();
    return std::max(floating, docked);
}

}  // namespace zorvane::host_app
