// The stand-in host's log in its own window, with the real plug-in ticking behind it:
// ticks that only read fold into one line that grows in place, and the list keeps its
// newest lines below one that counts the dropped.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "host/app/host_window.h"
#include "tests/support/box_watcher.h"
#include "tests/support/pump.h"

namespace zorvane::host_app {
namespace {

// A tick with lines of its own (said slow, since no rule is set) and a folded run.
const std::wregex kTickLine(LR"(-- tick \d+ at \d+\.\d{3} s \(slow: \d+ ms\))");
const std::wregex kFoldedLine(LR"(-- (\d+) ticks? without a write, \d\d:\d\d:\d\d( to \d\d:\d\d:\d\d)?)");

class HostLogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ole_ = true;
        const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
        host_.emplace(true);
        host_->Create(SW_SHOWNOACTIVATE);
        host_->AlsoSendLinesTo([this](const std::wstring& line) { stream_.push_back(line); });
    }
    void TearDown() override {
        host_.reset();  // the plug-in let go of while the apartment is still there
        if (ole_) OleUninitialize();
    }

    // What the log's list box shows, top to bottom.
    std::vector<std::wstring> ListLines() const {
        HWND list = host_->control(kLogList);
        std::vector<std::wstring> lines;
        const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
            lines.push_back(text);
        }
        return lines;
    }

    std::optional<HostWindow> host_;
    std::vector<std::wstring> stream_;  // the settled lines, as the headless run prints them
    bool ole_ = false;
};

TEST_F(HostLogTest, TicksWithoutARuleMakeOneLineThatGrowsInPlace) {
    ASSERT_TRUE(host_->LoadPlugin());
    {
        // A short poll interval, so that many ticks come quickly; no rule is set.
        test::BoxWatcher boxes;
        boxes.Then(test::TypeAndClick(L"20", IDOK));
        bool result = false;
        ASSERT_TRUE(host_->Configure(&result));
        ASSERT_TRUE(result);
    }
    CallLog& log = host_->log();
    log.Note(L"> quiet from here");
    const std::size_t first = stream_.size();
    const unsigned start = log.ticks();
    const std::size_t shown_before = ListLines().size();
    constexpr unsigned kTicks = 60;
    std::size_t most_shown = shown_before;
    ASSERT_TRUE(test::PumpUntil(
        [&] {
            most_shown = std::max(most_shown, ListLines().size());
            return log.ticks() >= start + kTicks;
        },
        20000))
        << log.ticks() - start << " ticks";
    test::PumpUntil([] { return false; }, 50);  // the last tick handled
    const std::vector<std::wstring> shown = ListLines();
    ASSERT_FALSE(shown.empty());
    std::wsmatch match;
    EXPECT_TRUE(std::regex_match(shown.back(), match, kFoldedLine)) << "the run so far is the last line";
    // A handful of lines at most for sixty ticks: slow ticks keep theirs.
    EXPECT_LE(most_shown - shown_before, 5u);

    log.Note(L"> done");
    const unsigned ticks = log.ticks() - start;
    ASSERT_EQ(stream_.back(), L"> done");
    const std::vector<std::wstring> lines(stream_.begin() + static_cast<std::ptrdiff_t>(first), stream_.end() - 1);
    EXPECT_GE(lines.size(), 1u);
    EXPECT_LE(lines.size(), 5u);
    unsigned accounted = 0;
    for (const std::wstring& line : lines) {
        if (std::regex_match(line, match, kFoldedLine)) {
            accounted += static_cast<unsigned>(std::stoul(match[1].str()));
        } else {
            EXPECT_TRUE(std::regex_match(line, kTickLine)) << "neither folded nor slow: " << testing::PrintToString(line);
            ++accounted;
        }
    }
    EXPECT_EQ(accounted, ticks);
    // Settled, the run took the place of its line so far: the window shows what was printed.
    EXPECT_EQ(ListLines(), stream_);
}

TEST_F(HostLogTest, TheWindowKeepsTheNewestLinesAndCountsTheDropped) {
    constexpr std::size_t kept = HostWindow::kKeptLogLines;
    const std::size_t before = ListLines().size();
    const std::size_t printed_before = stream_.size();
    constexpr std::size_t kMore = 25;
    for (std::size_t i = 0; i < kept + kMore; ++i) host_->log().Note(L"> line " + std::to_wstring(i));
    for (std::size_t extra : {std::size_t{0}, std::size_t{10}}) {
        for (std::size_t i = 0; i < extra; ++i) host_->log().Note(L"> line " + std::to_wstring(kept + kMore + i));
        const std::size_t written = before + kept + kMore + extra;
        const std::size_t dropped = written - kept;
        const std::vector<std::wstring> shown = ListLines();
        ASSERT_EQ(shown.size(), kept + 1);
        EXPECT_EQ(shown.front(), L"-- " + std::to_wstring(dropped) + L" \u00E4ltere Zeilen verworfen");
        EXPECT_EQ(shown[1], L"> line " + std::to_wstring(dropped - before));
        EXPECT_EQ(shown.back(), L"> line " + std::to_wstring(kept + kMore + extra - 1));
        // The printed log keeps every line.
        EXPECT_EQ(stream_.size() - printed_before, written - before);
    }
}

}  // namespace
}  // namespace zorvane::host_app
