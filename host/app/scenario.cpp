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

class Scenario {
public:
    Scenario(HostWindow& host, ProgramOutput& output) : host_(host), log_(host.log()), output_(output) {}

    int Run(const std::wstring& screenshot_dir);

private:
    void Expect(bool condition, const std::wstring& what) {
        if (condition) return;
        failures_.push_back(what);
        log_.Note(L"! expected: " + what);
    }
    void Note(const std::wstring& text) { log_.Note(text); }

    bool WaitForTicks(unsigned count, DWORD timeout_ms) {
        const unsigned target = log_.ticks() + count;
        const bool reached = PumpUntil([&] { return log_.ticks() >= target; }, timeout_ms);
        log_.Drain();
        return reached;
    }

    void SetFader(int channel, int value);
    void AddRule(const ScenarioRule& rule);
    void ClickUntil(LRESULT wanted);
    const test::RuleEditor& Editor() const { return *editor_; }
    void FirstTicks();
    void ChangeInterval();
    void ClampingOffAndOn();
    void ProjectCommands();
    void Screenshots(const std::wstring& directory);
    void Summary(double started);

    HostWindow& host_;
    CallLog& log_;
    ProgramOutput& output_;
    std::optional<test::RuleEditor> editor_;
    std::vector<std::wstring> failures_;
    std::vector<std::wstring> screenshots_;
};

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
    Expect(WaitForTicks(2, 2 * kTickTimeoutMs), L"two more ticks");
    Expect(log_.writes() == writes, L"no SetChannel once every channel is in its band");
}

void Scenario::ChangeInterval() {
    // The ticks so far came 1000 ms apart; the gap they left is the measure for the new one.
    const double gap_before = log_.last_tick_gap();
    bool answered = false;
    {
        test::BoxWatcher boxes;
        boxes.OnBox([&](const test::SeenBox& box) {
            const bool ours = !answered && box.title == kIntervalBoxCaption;
            if (ours) {
                answered = true;
                boxes.Then(test::TypeAndClick(kTypedInterval, IDOK));
            }
            Note(L"> box \"" + box.title + L"\": \"" + box.text + L"\"" +
                 (ours ? std::wstring(L", typed ") + kTypedInterval + L", OK" : L", closed"));
        });
        bool result = false;
        Expect(host_.Configure(&result), L"Configure succeeds");
        Expect(result, L"Configure -> true");
    }
    Expect(answered, std::wstring(L"input box \"") + kIntervalBoxCaption + L"\" answered");
    // From the first tick at the new interval, four gaps.
    constexpr unsigned kGaps = 4;
    Expect(WaitForTicks(1, kTickTimeoutMs), L"a tick after Configure");
    const double first = ElapsedSeconds();
    Expect(WaitForTicks(kGaps, kGaps * kTickTimeoutMs), L"four more ticks after Configure");
    const double gap = (ElapsedSeconds() - first) / kGaps;
    Note(Format(L"> ticks now %.3f s apart", gap));
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

void Scenario::Screenshots(const std::wstring& directory) {
    if (directory.empty()) return;
    std::wstring folder = directory;
    std::replace(folder.begin(), folder.end(), L'/', L'\\');
    CreateDirectoryW(folder.c_str(), nullptr);
    host_.Refresh();
    UpdateWindow(host_.handle());
    const struct {
        HWND window;
        const wchar_t* name;
    } shots[] = {{host_.handle(), L"standin_host.png"}, {host_.tool_window(), L"rule_editor.png"}};
    for (const auto& shot : shots) {
        const std::wstring path = folder + L"\\" + shot.name;
        try {
            test::SavePng(test::CaptureDrawnArea(shot.window), path);
            screenshots_.push_back(path);
        } catch (const win::ComError& error) {
            Expect(false, L"screenshot " + path + L": " + error.description());
        }
    }
}

void Scenario::Summary(double started) {
    const standin::Universe& universe = host_.host().universe;
    output_.Line(L"== summary");
    output_.Line(L"ticks seen: " + std::to_wstring(log_.ticks()));
    output_.Line(L"ChannelGetValue reads: " + std::to_wstring(log_.reads()));
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
    output_.Line(Format(failures_.empty() ? L"scenario: passed in %.1f s" : L"scenario: failed after %.1f s",
                        ElapsedSeconds() - started));
}

int Scenario::Run(const std::wstring& screenshot_dir) {
    const double started = ElapsedSeconds();
    output_.Line(L"== Zorvane in the stand-in host: headless scenario");
    host_.AlsoSendLinesTo([this](const std::wstring& line) { output_.Line(line); });
    if (!host_.LoadPlugin()) {
        output_.Line(L"FAILED: the plug-in did not load");
        return 2;
    }
    test::Pump(200);
    try {
        editor_.emplace(host_.tool_window());
    } catch (const win::ComError& error) {
        output_.Line(L"FAILED: " + error.description());
        return 2;
    }
    wchar_t handle[16];
    std::swprintf(handle, 16, L"0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(host_.tool_window())));
    Note(std::wstring(L"> rule editor found: hWnd ") + handle + L", \"Plugin aktiviert\" " +
         CheckText(CheckState(Editor().enabled_check)));

    // Faders first, then the rules without a message in between: the first tick that sees
    // the rules sees the fader values.
    for (const ScenarioRule& rule : kScenarioRules) SetFader(rule.channel, rule.fader);
    for (const ScenarioRule& rule : kScenarioRules) AddRule(rule);
    FirstTicks();
    ChangeInterval();
    ClampingOffAndOn();
    Screenshots(screenshot_dir);
    WaitForTicks(1, kTickTimeoutMs);
    ProjectCommands();

    bool terminated = false;
    Expect(host_.Term(&terminated) && terminated, L"Term -> true");
    host_.AlsoSendLinesTo(nullptr);
    Summary(started);
    return failures_.empty() ? 0 : 1;
}

}  // namespace

int RunScenario(HostWindow& host, ProgramOutput& output, const std::wstring& screenshot_dir) {
    Scenario scenario(host, output);
    return scenario.Run(screenshot_dir);
}

}  // namespace zorvane::host_app
