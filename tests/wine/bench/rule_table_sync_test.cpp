// The rule editor's converted rules always match its list texts, whatever adds and
// deletes came before: a seeded random run through the real window of the real DLL.
// The table is private to the window, so it is observed through what a tick does: with
// every channel below every band, one tick writes each row's minimum to its channel, row
// by row; with every channel above, each row's maximum. Those writes must equal the
// list texts converted with the number reader under the user's separators.
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

#include "bench/wine/plugin_driver.h"
#include "common/number_text.h"
#include "win/handles.h"

namespace zorvane::standin {
void PrintTo(const ChannelWrite& write, std::ostream* out) {
    *out << "{" << write.channel << ", " << write.value << (write.immediate ? ", true}" : ", false}");
}
}  // namespace zorvane::standin

namespace zorvane::bench {
namespace {

NumberFormat UserFormat() {
    NumberFormat format = kEnglishFormat;
    wchar_t buffer[8];
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8) > 1) format.decimal = buffer[0];
    format.group = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8) > 1 ? buffer[0] : L'\0';
    return format;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Closes every message box of this thread with OK as it becomes active, and counts them.
class BoxCloser {
public:
    BoxCloser() {
        instance_ = this;
        hook_.reset(SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId()));
    }
    ~BoxCloser() {
        hook_.reset();
        instance_ = nullptr;
    }
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;

    bool installed() const noexcept { return static_cast<bool>(hook_); }
    int boxes() const noexcept { return boxes_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
        const auto box = reinterpret_cast<HWND>(wparam);
        if (code == HCBT_ACTIVATE && instance_ != nullptr && ClassOf(box) == L"#32770" &&
            instance_->seen_.insert(box).second) {
            ++instance_->boxes_;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }

    static inline BoxCloser* instance_ = nullptr;
    win::UniqueHook hook_;
    std::set<HWND> seen_;
    int boxes_ = 0;
};

struct RuleTexts {
    std::wstring channel, minimum, maximum;
};

// Rule texts in the many ways a person may type a number, under the user's separators.
class TextMaker {
public:
    TextMaker(std::uint32_t seed, const NumberFormat& format) : random_(seed), format_(format) {}

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    // A text the number reader reads as a number in [low, high] that rounds to value.
    std::wstring Render(int value, int low, int high) {
        const std::wstring digits = std::to_wstring(value);
        const std::wstring d(1, format_.decimal);
        std::wstring text;
        switch (Between(0, 10)) {
            case 0: text = digits; break;
            case 1: text = L"  " + digits + L"   "; break;
            case 2: text = L"\t" + digits; break;
            case 3: text = L"+" + digits; break;
            case 4: text = digits + d + L"0"; break;
            case 5: text = digits + d + L"25"; break;                          // rounds down
            case 6: text = std::to_wstring(value - 1) + d + L"75"; break;      // rounds up
            case 7: text = digits + d + L"5"; break;                           // to the even neighbour
            case 8: text = L"0" + d + digits + L"e" + std::to_wstring(digits.size()); break;
            case 9: text = digits + L"0E-1"; break;
            case 10:  // a group separator between two digits of the integer part
                text = digits.size() > 1 && format_.group != L'\0'
                           ? digits.substr(0, 1) + format_.group + digits.substr(1)
                           : digits;
                break;
        }
        // Whatever does not come out as intended (a half to an odd neighbour, a fraction
        // below the lowest value allowed) is typed plainly.
        const std::optional<double> read = ReadNumber(text, format_);
        const std::optional<std::int32_t> rounded = ReadInt32(text, format_);
        if (!read || *read < low || *read > high || rounded != value) text = digits;
        return text;
    }

    // A rule the editor accepts, on a channel no row uses yet, with 1 <= minimum and
    // maximum <= 254 so that channels at 0 and at 255 are outside every band.
    RuleTexts Accepted(const std::set<int>& channels_in_use) {
        int channel = Between(1, 512);
        while (channels_in_use.count(channel) != 0) channel = Between(1, 512);
        const int minimum = Between(1, 200);
        const int maximum = Between(minimum, 254);
        return {Render(channel, 1, 512), Render(minimum, 0, 255), Render(maximum, 0, 255)};
    }

    // A rule the editor refuses with a message.
    RuleTexts Refused() {
        const std::wstring d(1, format_.decimal);
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
    NumberFormat format_;
};

class RuleTableSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_->trace.enabled = false;
        plugin_ = std::make_unique<LoadedPlugin>(host_);
        controls_ = FindControls(plugin_->window());
        StopTimer(controls_);  // only the test's ticks run
        ASSERT_TRUE(boxes_.installed());
    }
    void TearDown() override { plugin_.reset(); }

    std::vector<RuleTexts> ListRows() const {
        const std::vector<std::wstring> channels = ListTexts(controls_.channel_list);
        const std::vector<std::wstring> minimums = ListTexts(controls_.minimum_list);
        const std::vector<std::wstring> maximums = ListTexts(controls_.maximum_list);
        EXPECT_EQ(minimums.size(), channels.size());
        EXPECT_EQ(maximums.size(), channels.size());
        std::vector<RuleTexts> rows;
        for (std::size_t i = 0; i < channels.size() && i < minimums.size() && i < maximums.size(); ++i) {
            rows.push_back({channels[i], minimums[i], maximums[i]});
        }
        return rows;
    }

    // What one tick writes with every channel at level.
    std::vector<standin::ChannelWrite> TickAt(int level) {
        for (int channel = 1; channel <= standin::Universe::kChannels; ++channel) {
            host_->universe.SetFromFader(channel, level);
        }
        host_->universe.ClearPluginWrites();
        Tick(controls_.window);
        return host_->universe.PluginWrites();
    }

    // The rule table, seen through two ticks, against the list texts converted.
    void ExpectTableMatchesLists(const NumberFormat& format) {
        std::vector<standin::ChannelWrite> minimums;
        std::vector<standin::ChannelWrite> maximums;
        for (const RuleTexts& row : ListRows()) {
            const std::optional<std::int32_t> channel = ReadInt32(row.channel, format);
            const std::optional<std::int32_t> minimum = ReadInt32(row.minimum, format);
            const std::optional<std::int32_t> maximum = ReadInt32(row.maximum, format);
            ASSERT_TRUE(channel && minimum && maximum) << "a list row the number reader does not read";
            minimums.push_back({*channel, *minimum, true});
            maximums.push_back({*channel, *maximum, true});
        }
        EXPECT_EQ(TickAt(0), minimums);
        EXPECT_EQ(TickAt(255), maximums);
    }

    // Selects the row as a person would (a press on it in one of the lists) or as the
    // form's own notification has it (LB_SETCURSEL, then LBN_SELCHANGE to the form).
    void Select(int row, bool by_mouse, int list_index) {
        const HWND lists[] = {controls_.channel_list, controls_.minimum_list, controls_.maximum_list};
        const int ids[] = {ui::kList1, ui::kList2, ui::kList3};
        HWND list = lists[list_index];
        if (by_mouse) {
            SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
            RECT item{};
            SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
            SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageW(list, WM_LBUTTONUP, 0, at);
        } else {
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
            SendMessageW(controls_.window, WM_COMMAND, MAKEWPARAM(ids[list_index], LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(list));
        }
        PumpPending();
    }

    std::shared_ptr<standin::StandinHost> host_ = std::make_shared<standin::StandinHost>();
    std::unique_ptr<LoadedPlugin> plugin_;
    RuleEditorControls controls_;
    BoxCloser boxes_;
};

std::set<int> ChannelsInUse(const std::vector<RuleTexts>& rows, const NumberFormat& format) {
    std::set<int> channels;
    for (const RuleTexts& row : rows) {
        if (const auto channel = ReadInt32(row.channel, format)) channels.insert(*channel);
    }
    return channels;
}

TEST_F(RuleTableSyncTest, ConvertedRulesMatchTheListTextsAfterEveryAddAndDelete) {
    constexpr std::uint32_t kSeeds[] = {1, 7, 20261210};
    constexpr int kSteps = 90;
    const NumberFormat format = UserFormat();
    std::printf("user separators: decimal '%lc', group '%lc'\n", format.decimal, format.group);
    for (const std::uint32_t seed : kSeeds) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        // Each seed starts from an empty editor: the rows left by the one before go.
        if (!ListRows().empty()) Select(0, false, 0);
        while (!ListRows().empty()) Click(controls_.delete_button);

        TextMaker maker(seed, format);
        std::vector<RuleTexts> expected;  // the rows as typed, in list order
        for (int step = 0; step < kSteps; ++step) {
            const int action = maker.Between(0, 99);
            const int boxes_before = boxes_.boxes();
            std::string done;
            if (action < 55 || expected.empty()) {
                const RuleTexts rule = maker.Accepted(ChannelsInUse(expected, format));
                // A tab typed into an edit moves nothing into it; set as text it stays.
                const bool plain = (rule.channel + rule.minimum + rule.maximum).find(L'\t') == std::wstring::npos;
                AddRule(controls_, rule.channel, rule.minimum, rule.maximum,
                        plain && maker.Between(0, 1) == 0 ? Typing::Keys : Typing::SetText);
                expected.push_back(rule);
                done = "add";
                EXPECT_EQ(boxes_.boxes(), boxes_before) << "an acceptable rule was refused";
            } else if (action < 67) {
                const RuleTexts rule = maker.Refused();
                AddRule(controls_, rule.channel, rule.minimum, rule.maximum, Typing::SetText);
                done = "refused add";
                EXPECT_EQ(boxes_.boxes(), boxes_before + 1) << "no message for a rule to refuse";
            } else if (action < 92) {
                const int row = maker.Between(0, static_cast<int>(expected.size()) - 1);
                const bool by_mouse = maker.Between(0, 1) == 0;
                Select(row, by_mouse, maker.Between(0, 2));
                Click(controls_.delete_button);
                expected.erase(expected.begin() + row);
                done = std::string(by_mouse ? "press on row " : "select row ") + std::to_string(row) + ", delete";
            } else {
                // The delete button as it stands: the form keeps the first row selected.
                const LRESULT selected = SendMessageW(controls_.channel_list, LB_GETCURSEL, 0, 0);
                Click(controls_.delete_button);
                if (selected != LB_ERR) expected.erase(expected.begin() + selected);
                done = "delete the selected row";
            }
            PumpPending();
            SCOPED_TRACE(testing::Message() << "step " << step << ": " << done << ", " << expected.size() << " rows");

            const std::vector<RuleTexts> rows = ListRows();
            ASSERT_EQ(rows.size(), expected.size());
            for (std::size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(rows[i].channel, expected[i].channel) << "row " << i;
                ASSERT_EQ(rows[i].minimum, expected[i].minimum) << "row " << i;
                ASSERT_EQ(rows[i].maximum, expected[i].maximum) << "row " << i;
            }
            ASSERT_NO_FATAL_FAILURE(ExpectTableMatchesLists(format));
            if (HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace zorvane::bench

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
