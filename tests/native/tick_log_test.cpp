// What the stand-in host's log makes of the plug-in's ticks, and the lines its window keeps.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "host/log/kept_lines.h"
#include "host/log/tick_log.h"

namespace zorvane::host_log {
namespace {

using Kind = LineKind;

struct Written {
    std::wstring text;
    Kind kind;
    friend bool operator==(const Written&, const Written&) = default;
};

void PrintTo(const Written& line, std::ostream* out) {
    *out << (line.kind == Kind::Settled ? "settled " : "so far ");
    for (wchar_t c : line.text) *out << (c < 128 ? static_cast<char>(c) : '?');
}

// The steps of a script played into a TickLog.
struct Start {
    unsigned number;
    double at;
    ClockTime clock;
};
struct Called {
    const wchar_t* text;
    bool read;
    bool failed;
};
struct Handled {
    double at;
};
struct Noted {
    const wchar_t* text;
    double at;
};
struct Finished {
    double at;
};
using Step = std::variant<Start, Called, Handled, Noted, Finished>;

const Called kRead5{L"ChannelGetValue 5 -> 10", true, false};
const Called kRead7{L"ChannelGetValue 7 -> 100", true, false};
const Called kFailedRead{L"ChannelGetValue 7 -> error 0x80020009", true, true};
const Called kStream{L"MyStream", false, false};
const Called kWrite{L"SetChannel 5, 10, true", false, false};

struct Recorder {
    std::vector<Written> lines;
    TickLog log{[this](const std::wstring& text, Kind kind) { lines.push_back({text, kind}); }};

    void Play(const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            if (const auto* start = std::get_if<Start>(&step)) log.TickStarted(start->number, start->at, start->clock);
            if (const auto* call = std::get_if<Called>(&step)) log.Call(call->text, call->read, call->failed);
            if (const auto* handled = std::get_if<Handled>(&step)) log.TickHandled(handled->at);
            if (const auto* note = std::get_if<Noted>(&step)) log.Note(note->text, note->at);
            if (const auto* finish = std::get_if<Finished>(&step)) log.Finish(finish->at);
        }
    }
};

TEST(TickLogTest, QuietTicksFoldAndTheRestKeepTheirLines) {
    constexpr ClockTime t1{12, 1, 3}, t2{12, 1, 4}, t3{12, 1, 5};
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<Written> lines;
    };
    const Case cases[] = {
        {"reads only: one line that grows, settled by a note",
         {Start{1, 1.0, t1}, kRead5, kRead7, Handled{1.002}, Start{2, 2.0, t2}, kRead5, kRead7, Handled{2.001},
          Start{3, 3.0, t3}, kRead5, kRead7, Handled{3.001}, Noted{L"> Configure", 3.5}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 2 ticks without a write, 12:01:03 to 12:01:04", Kind::RunSoFar},
          {L"-- 3 ticks without a write, 12:01:03 to 12:01:05", Kind::RunSoFar},
          {L"-- 3 ticks without a write, 12:01:03 to 12:01:05", Kind::Settled},
          {L"> Configure", Kind::Settled}}},
        {"a tick that calls nothing folds too",
         {Start{4, 4.25, t1}, Handled{4.26}, Finished{5.0}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 1 tick without a write, 12:01:03", Kind::Settled}}},
        {"a writing tick ends the run and keeps every call",
         {Start{1, 1.0, t1}, kRead5, Handled{1.01}, Start{2, 2.0, t2}, kRead5, kStream, kWrite, Handled{2.01}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 1 tick without a write, 12:01:03", Kind::Settled},
          {L"-- tick 2 at 2.000 s", Kind::Settled},
          {L"ChannelGetValue 5 -> 10", Kind::Settled},
          {L"MyStream", Kind::Settled},
          {L"SetChannel 5, 10, true", Kind::Settled}}},
        {"a failed read is kept, and the run after it starts afresh",
         {Start{8, 8.0, t1}, kRead5, kFailedRead, Handled{8.01}, Start{9, 9.0, t2}, kRead5, Handled{9.01}},
         {{L"-- tick 8 at 8.000 s", Kind::Settled},
          {L"ChannelGetValue 5 -> 10", Kind::Settled},
          {L"ChannelGetValue 7 -> error 0x80020009", Kind::Settled},
          {L"-- 1 tick without a write, 12:01:04", Kind::RunSoFar}}},
        {"a call that is not a read keeps the tick though nothing was written",
         {Start{3, 3.5, t1}, kStream, Handled{3.51}},
         {{L"-- tick 3 at 3.500 s", Kind::Settled}, {L"MyStream", Kind::Settled}}},
        {"slow from a tenth of a second: just below folds, at it keeps the tick",
         {Start{1, 1.0, t1}, kRead5, Handled{1.099}, Start{2, 2.0, t2}, kRead5, Handled{2.1},
          Start{3, 3.0, t3}, Handled{3.25}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 1 tick without a write, 12:01:03", Kind::Settled},
          {L"-- tick 2 at 2.000 s (slow: 100 ms)", Kind::Settled},
          {L"ChannelGetValue 5 -> 10", Kind::Settled},
          {L"-- tick 3 at 3.000 s (slow: 250 ms)", Kind::Settled}}},
        {"a tick never seen to end is not judged slow when the next begins",
         {Start{1, 1.0, t1}, kRead5, Start{2, 2.0, t2}, kRead5, Handled{2.01}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 2 ticks without a write, 12:01:03 to 12:01:04", Kind::RunSoFar}}},
        {"a note ends the open tick, measured up to the note",
         {Start{5, 5.0, t1}, kRead5, Noted{L"> Fader 7 = 180", 5.3}},
         {{L"-- tick 5 at 5.000 s (slow: 300 ms)", Kind::Settled},
          {L"ChannelGetValue 5 -> 10", Kind::Settled},
          {L"> Fader 7 = 180", Kind::Settled}}},
        {"a call outside any tick is a line of its own after the run",
         {Start{1, 1.0, t1}, Handled{1.01}, Handled{1.5}, kWrite, Noted{L"> Term -> true", 2.0}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 1 tick without a write, 12:01:03", Kind::Settled},
          {L"SetChannel 5, 10, true", Kind::Settled},
          {L"> Term -> true", Kind::Settled}}},
        {"finish writes the open tick into the run, then the run; nothing more after",
         {Start{1, 1.0, t1}, kRead5, Handled{1.01}, Start{2, 2.0, t3}, kRead7, Finished{2.05}, Finished{3.0}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 2 ticks without a write, 12:01:03 to 12:01:05", Kind::RunSoFar},
          {L"-- 2 ticks without a write, 12:01:03 to 12:01:05", Kind::Settled}}},
        {"notes alone pass through",
         {Noted{L"> PluginName -> \"Zorvane\"", 0.1}, Finished{0.2}},
         {{L"> PluginName -> \"Zorvane\"", Kind::Settled}}},
        {"four ticks within one second name their time once",
         {Start{1, 1.0, t1}, Handled{1.0}, Start{2, 1.25, t1}, Handled{1.25}, Start{3, 1.5, t1}, Handled{1.5},
          Finished{1.6}},
         {{L"-- 1 tick without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 2 ticks without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 3 ticks without a write, 12:01:03", Kind::RunSoFar},
          {L"-- 3 ticks without a write, 12:01:03", Kind::Settled}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        recorder.Play(c.steps);
        EXPECT_EQ(recorder.lines, c.lines);
    }
}

TEST(TickLogTest, FoldedTicksAndTheirReadsAreCounted) {
    Recorder recorder;
    recorder.Play({Start{1, 1.0, {9, 0, 0}}, kRead5, kRead7, Handled{1.01},   // folded, 2 reads
                   Start{2, 2.0, {9, 0, 1}}, kRead5, kWrite, Handled{2.01},   // kept
                   Start{3, 3.0, {9, 0, 2}}, Handled{3.01},                   // folded, no read
                   Start{4, 4.0, {9, 0, 3}}, kRead7, Finished{4.01}});        // folded, 1 read
    EXPECT_EQ(recorder.log.folded_ticks(), 3u);
    EXPECT_EQ(recorder.log.folded_reads(), 3u);
    recorder.log.ResetCounts();
    EXPECT_EQ(recorder.log.folded_ticks(), 0u);
    EXPECT_EQ(recorder.log.folded_reads(), 0u);
}

// The local clock `seconds` after 12:01:03, counted here without the code under test.
ClockTime ClockAfter(int seconds) {
    const int total = 12 * 3600 + 1 * 60 + 3 + seconds;
    return {total / 3600, total / 60 % 60, total % 60};
}

std::wstring ClockText(ClockTime time) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

// The window's list: what a person sees.
class ListView final : public KeptLines::View {
public:
    void Append(const std::wstring& text) override {
        lines.push_back(text);
        ++edits;
    }
    void Replace(std::size_t index, const std::wstring& text) override {
        ASSERT_LT(index, lines.size());
        lines[index] = text;
        ++edits;
    }
    void Remove(std::size_t index) override {
        ASSERT_LT(index, lines.size());
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(index));
        ++edits;
    }
    std::vector<std::wstring> lines;
    int edits = 0;
};

TEST(TickLogTest, AMinuteOfQuietTicksIsOneLineInTheStreamAndInTheWindow) {
    ListView window;
    KeptLines kept(3000, window);
    std::vector<std::wstring> stream;
    TickLog log([&](const std::wstring& text, Kind kind) {
        if (kind == Kind::Settled) stream.push_back(text);
        kept.Add(text, kind);
    });
    log.Note(L"> ToolWindow.Show 0, <Pult>", 0.5);
    for (int i = 0; i < 60; ++i) {
        const double at = 1.0 + i;
        log.TickStarted(static_cast<unsigned>(i + 1), at, ClockAfter(i));
        log.Call(L"ChannelGetValue 5 -> 10", true, false);
        log.TickHandled(at + 0.002);
        // The window shows the run as it grows, in one line below the note.
        ASSERT_EQ(window.lines.size(), 2u) << "after tick " << i + 1;
        const std::wstring so_far = i == 0 ? L"-- 1 tick without a write, 12:01:03"
                                           : L"-- " + std::to_wstring(i + 1) + L" ticks without a write, 12:01:03 to " +
                                                 ClockText(ClockAfter(i));
        EXPECT_EQ(window.lines.back(), so_far);
    }
    // Nothing of the run in the stream until it ends.
    EXPECT_EQ(stream, std::vector<std::wstring>{L"> ToolWindow.Show 0, <Pult>"});
    log.Finish(61.0);
    const std::wstring run = L"-- 60 ticks without a write, 12:01:03 to 12:02:02";
    EXPECT_EQ(stream, (std::vector<std::wstring>{L"> ToolWindow.Show 0, <Pult>", run}));
    EXPECT_EQ(window.lines, (std::vector<std::wstring>{L"> ToolWindow.Show 0, <Pult>", run}));
    EXPECT_EQ(log.folded_ticks(), 60u);
    EXPECT_EQ(log.folded_reads(), 60u);
}

// The notice as the window's German says it, written here apart from the code under test.
std::wstring Notice(std::size_t dropped) {
    return L"-- " + std::to_wstring(dropped) + L" \u00E4ltere Zeile" + (dropped == 1 ? L"" : L"n") + L" verworfen";
}

TEST(KeptLinesTest, TheNewestLinesStayAndTheFirstLineCountsTheDropped) {
    struct Case {
        const char* name;
        std::size_t capacity;
        std::vector<Written> added;
        std::vector<std::wstring> shown;
    };
    const Case cases[] = {
        {"room for all", 3, {{L"a", Kind::Settled}, {L"b", Kind::Settled}}, {L"a", L"b"}},
        {"one dropped",
         3,
         {{L"a", Kind::Settled}, {L"b", Kind::Settled}, {L"c", Kind::Settled}, {L"d", Kind::Settled}},
         {L"-- 1 \u00E4ltere Zeile verworfen", L"b", L"c", L"d"}},
        {"two dropped",
         2,
         {{L"a", Kind::Settled}, {L"b", Kind::Settled}, {L"c", Kind::Settled}, {L"d", Kind::Settled}},
         {L"-- 2 \u00E4ltere Zeilen verworfen", L"c", L"d"}},
        {"a run so far is replaced, never stacked",
         2,
         {{L"a", Kind::Settled}, {L"r1", Kind::RunSoFar}, {L"r2", Kind::RunSoFar}, {L"r2", Kind::Settled}},
         {L"a", L"r2"}},
        {"a run so far at the capacity's edge",
         2,
         {{L"a", Kind::Settled}, {L"b", Kind::Settled}, {L"r1", Kind::RunSoFar}, {L"r2", Kind::RunSoFar},
          {L"r2", Kind::Settled}, {L"c", Kind::Settled}},
         {L"-- 2 \u00E4ltere Zeilen verworfen", L"r2", L"c"}},
        {"a single line kept",
         1,
         {{L"a", Kind::Settled}, {L"b", Kind::Settled}, {L"r", Kind::RunSoFar}, {L"s", Kind::RunSoFar}},
         {L"-- 2 \u00E4ltere Zeilen verworfen", L"s"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ListView window;
        KeptLines kept(c.capacity, window);
        // The model: every line as written, a run so far overwritten by what follows it.
        std::vector<std::wstring> all;
        bool replaceable = false;
        for (const Written& line : c.added) {
            kept.Add(line.text, line.kind);
            if (replaceable) {
                all.back() = line.text;
            } else {
                all.push_back(line.text);
            }
            replaceable = line.kind == Kind::RunSoFar;
            std::vector<std::wstring> expected;
            const std::size_t dropped = all.size() > c.capacity ? all.size() - c.capacity : 0;
            if (dropped > 0) expected.push_back(Notice(dropped));
            expected.insert(expected.end(), all.begin() + static_cast<std::ptrdiff_t>(dropped), all.end());
            ASSERT_EQ(kept.Shown(), expected) << "after " << all.size() << " lines";
            ASSERT_EQ(window.lines, expected) << "the window after " << all.size() << " lines";
            EXPECT_EQ(kept.dropped(), dropped);
        }
        EXPECT_EQ(window.lines, c.shown);
    }
}

TEST(KeptLinesTest, ALongLogCostsAFewEditsPerLine) {
    ListView window;
    KeptLines kept(3000, window);
    for (int i = 0; i < 10000; ++i) {
        const int before = window.edits;
        kept.Add(L"line " + std::to_wstring(i), Kind::Settled);
        ASSERT_LE(window.edits - before, 3) << "line " << i;
    }
    ASSERT_EQ(window.lines.size(), 3001u);
    EXPECT_EQ(window.lines.front(), L"-- 7000 \u00E4ltere Zeilen verworfen");
    EXPECT_EQ(window.lines[1], L"line 7000");
    EXPECT_EQ(window.lines.back(), L"line 9999");
}

}  // namespace
}  // namespace zorvane::host_log
