// The rule editor's converted rules always match its list texts, whatever adds and
// deletes came before: a seeded random run through the real window of the real DLL.
// The table is private to the window, so it is observed through what a tick does: with
// every channel below every band, one tick writes each row's minimum to its channel, row
// by row; with every channel above, each row's maximum. Each text is made from the whole
// number it is to stand for, so that number is what the tick must write.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/box_watcher.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/rule_editor.h"
#include "tests/support/ticks.h"

namespace zorvane::standin {
void PrintTo(const ChannelWrite& write, std::ostream* out) {
    *out << "{" << write.channel << ", " << write.value << (write.immediate ? ", true}" : ", false}");
}
}  // namespace zorvane::standin

namespace zorvane::reliability {
namespace {

using namespace test;

// The user's separators as the system reports them; no group separator when there is none.
struct Separators {
    wchar_t decimal = L'.';
    wchar_t group = L'\0';
};

Separators UserSeparators() {
    Separators separators;
    wchar_t buffer[8];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1) separators.decimal = buffer[0];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8) > 1) separators.group = buffer[0];
    return separators;
}

struct RuleTexts {
    std::wstring channel, minimum, maximum;
};

// A rule as typed, and the whole numbers its texts stand for.
struct Rule {
    RuleTexts texts;
    int channel = 0, minimum = 0, maximum = 0;
};

// Rule texts in the many ways a person may type a number, under the user's separators.
class TextMaker {
public:
    TextMaker(std::uint32_t seed, const Separators& separators) : random_(seed), separators_(separators) {}

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    // A text that stands for value: a number in [low, high] that rounds to value. A form
    // that would leave the range or round elsewhere gives way to the plain digits.
    std::wstring Render(int value, int low, int high) {
        const std::wstring digits = std::to_wstring(value);
        const std::wstring below = std::to_wstring(value - 1);
        const std::wstring d(1, separators_.decimal);
        const bool even = value % 2 == 0;
        switch (Between(0, 11)) {
            case 0: return digits;
            case 1: return L"  " + digits + L"   ";
            case 2: return L"\t" + digits;
            case 3: return L"+" + digits;
            case 4: return digits + d + L"0";
            case 5:  // rounds down
                if (value + 0.25 <= high) return digits + d + L"25";
                break;
            case 6:  // rounds up
                if (value - 0.25 >= low) return below + d + L"75";
                break;
            case 7:  // a half, down to the even neighbour
                if (even && value + 0.5 <= high) return digits + d + L"5";
                break;
            case 8:  // a half, up to the even neighbour
                if (even && value - 0.5 >= low) return below + d + L"5";
                break;
            case 9: return L"0" + d + digits + L"e" + std::to_wstring(digits.size());
            case 10: return digits + L"0E-1";
            case 11:  // a group separator between two digits of the integer part
                if (digits.size() > 1 && separators_.group != L'\0') {
                    return digits.substr(0, 1) + separators_.group + digits.substr(1);
                }
                break;
        }
        return digits;
    }

    // A rule the editor accepts, on a channel no row uses yet, with 1 <= minimum and
    // maximum <= 254 so that channels at 0 and at 255 are outside every band.
    Rule Accepted(const std::set<int>& channels_in_use) {
        int channel = Between(1, 512);
        while (channels_in_use.count(channel) != 0) channel = Between(1, 512);
        const int minimum = Between(1, 200);
        const int maximum = Between(minimum, 254);
        return {{Render(channel, 1, 512), Render(minimum, 0, 255), Render(maximum, 0, 255)}, channel, minimum, maximum};
    }

    // A rule the editor refuses with a message.
    RuleTexts Refused() {
        const std::wstring d(1, separators_.decimal);
        const RuleTexts refused[] = {
            {L"", L"10", L"20"},          {L"   ", L"10", L"20"},        {L"abc", L"10", L"20"},
            {L"0", L"10", L"20"},         {L"513", L"10", L"20"},        {L"5", L"-1", L"20"},
            {L"5", L"10", L"256"},        {L"5", L"30", L"20"},          {L"5", L"1" + d + d + L"5", L"20"},
            {L"5", L"10", L"2 0"},        {L"1e", L"10", L"20"},         {L"5", L"", L"20"},
            {L"5", L"10", L""},           {L"0" + d + L"4", L"10", L"20"},
        };
        return refused[Between(0, static_cast<int>(std::size(refused)) - 1)];
    }

private:
    std::mt19937 random_;
    Separators separators_;
};

class RuleTableSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_->trace.enabled = false;
        opened_ = OpenedPlugIn::Open(helper_.Get());
        editor_.emplace(opened_.window);
        // Only the test's ticks run.
        ASSERT_TRUE(editor_->ClickCheckUntil(BST_UNCHECKED)) << "\"Plugin aktiviert\" stays ticked";
    }
    void TearDown() override {
        editor_.reset();
        opened_.Close();
    }

    std::vector<RuleTexts> ListRows() const {
        const auto table = editor_->Table();
        EXPECT_EQ(table[1].size(), table[0].size());
        EXPECT_EQ(table[2].size(), table[0].size());
        std::vector<RuleTexts> rows;
        for (std::size_t i = 0; i < table[0].size() && i < table[1].size() && i < table[2].size(); ++i) {
            rows.push_back({table[0][i], table[1][i], table[2][i]});
        }
        return rows;
    }

    // What one tick writes with every channel at level.
    std::vector<standin::ChannelWrite> TickAt(int level) {
        for (int channel = 1; channel <= standin::Universe::kChannels; ++channel) {
            host_->universe.SetFromFader(channel, level);
        }
        host_->universe.ClearPluginWrites();
        SendTick(opened_.window);
        return host_->universe.PluginWrites();
    }

    // The rule table, seen through two ticks, against the numbers the rows stand for.
    void ExpectTableHolds(const std::vector<Rule>& rows) {
        std::vector<standin::ChannelWrite> minimums;
        std::vector<standin::ChannelWrite> maximums;
        for (const Rule& row : rows) {
            minimums.push_back({row.channel, row.minimum, true});
            maximums.push_back({row.channel, row.maximum, true});
        }
        EXPECT_EQ(TickAt(0), minimums);
        EXPECT_EQ(TickAt(255), maximums);
    }

    // Selects the row as a person would (a press on it in one of the lists) or as the
    // list's own notification has it.
    void Select(int row, bool by_mouse, int list_index) {
        const HWND lists[] = {editor_->channel_list, editor_->minimum_list, editor_->maximum_list};
        if (by_mouse) {
            PressOnRow(lists[list_index], row);
        } else {
            SelectByNotification(lists[list_index], row);
        }
        DispatchPending();
    }

    std::shared_ptr<standin::StandinHost> host_ = std::make_shared<standin::StandinHost>();
    ComPtr<IVELTPluginHelper> helper_ = standin::MakePluginHelper(host_);
    OpenedPlugIn opened_;
    std::optional<RuleEditor> editor_;
    BoxWatcher boxes_;  // closes every message box with OK, and counts them
};

std::set<int> ChannelsInUse(const std::vector<Rule>& rows) {
    std::set<int> channels;
    for (const Rule& row : rows) channels.insert(row.channel);
    return channels;
}

TEST_F(RuleTableSyncTest, ConvertedRulesMatchTheListTextsAfterEveryAddAndDelete) {
    constexpr std::uint32_t kSeeds[] = {1, 7, 20261210};
    constexpr int kSteps = 90;
    const Separators separators = UserSeparators();
    std::printf("user separators: decimal '%lc', group '%lc'\n", separators.decimal, separators.group);
    for (const std::uint32_t seed : kSeeds) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        // Each seed starts from an empty editor: the rows left by the one before go.
        if (editor_->RowCount() != 0) Select(0, false, 0);
        while (editor_->RowCount() != 0) Click(editor_->delete_button);

        TextMaker maker(seed, separators);
        std::vector<Rule> expected;  // the rows as typed, in list order
        for (int step = 0; step < kSteps; ++step) {
            const int action = maker.Between(0, 99);
            const std::size_t boxes_before = boxes_.boxes().size();
            std::string done;
            if (action < 55 || expected.empty()) {
                const Rule rule = maker.Accepted(ChannelsInUse(expected));
                const RuleTexts& texts = rule.texts;
                // A tab typed into an edit moves nothing into it; set as text it stays.
                const bool plain = (texts.channel + texts.minimum + texts.maximum).find(L'\t') == std::wstring::npos;
                editor_->Add(texts.channel, texts.minimum, texts.maximum,
                             plain && maker.Between(0, 1) == 0 ? Typing::Keys : Typing::SetText);
                expected.push_back(rule);
                done = "add";
                EXPECT_EQ(boxes_.boxes().size(), boxes_before) << "an acceptable rule was refused";
            } else if (action < 67) {
                const RuleTexts rule = maker.Refused();
                editor_->Add(rule.channel, rule.minimum, rule.maximum, Typing::SetText);
                done = "refused add";
                EXPECT_EQ(boxes_.boxes().size(), boxes_before + 1) << "no message for a rule to refuse";
            } else if (action < 92) {
                const int row = maker.Between(0, static_cast<int>(expected.size()) - 1);
                const bool by_mouse = maker.Between(0, 1) == 0;
                Select(row, by_mouse, maker.Between(0, 2));
                Click(editor_->delete_button);
                expected.erase(expected.begin() + row);
                done = std::string(by_mouse ? "press on row " : "select row ") + std::to_string(row) + ", delete";
            } else {
                // The delete button as it stands: the form keeps the first row selected.
                const int selected = Selection(editor_->channel_list);
                Click(editor_->delete_button);
                if (selected >= 0) expected.erase(expected.begin() + selected);
                done = "delete the selected row";
            }
            DispatchPending();
            SCOPED_TRACE(testing::Message() << "step " << step << ": " << done << ", " << expected.size() << " rows");

            const std::vector<RuleTexts> rows = ListRows();
            ASSERT_EQ(rows.size(), expected.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(rows[i].channel, expected[i].texts.channel) << "row " << i;
                ASSERT_EQ(rows[i].minimum, expected[i].texts.minimum) << "row " << i;
                ASSERT_EQ(rows[i].maximum, expected[i].texts.maximum) << "row " << i;
            }
            ASSERT_NO_FATAL_FAILURE(ExpectTableHolds(expected));
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace zorvane::reliability
