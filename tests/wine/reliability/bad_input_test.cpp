// Bad input wherever a person types: the rule editor's three text boxes and the
// poll-interval box of the real DLL, against one table of texts, under the separators of
// the user's locale (the program is built twice, for English and for German).
//
// What the rules say, as the table below holds it: a text is numeric when the number
// reader takes it (blanks are spaces and tabs, at either end only; a group separator only
// between two digits; the value finite). A numeric value outside the field's range is
// "not valid"; inside, it is kept and rounded where it is used. A tiny exponent such as
// 1e-400 is numeric and 0, which a minimum or maximum may be but a channel may not.
//
// Texts of a million characters are answered for the text boxes rather than set into
// them (SetText in tests/support/input.h): Wine's edit control needs minutes to hold them.
// Ten thousand characters are set for real.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/standin/module_info.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/box_watcher.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/rule_editor.h"
#include "tests/support/ticks.h"
#include "tests/support/windows.h"
#include "tests/wine/reliability/printable_text.h"

#ifndef ZORVANE_GERMAN_SEPARATORS
#define ZORVANE_GERMAN_SEPARATORS 0
#endif

namespace zorvane::reliability {
namespace {

using namespace test;
using standin::ChannelWrite;

enum class Field { Channel, Minimum, Maximum };

struct FieldOutcome {
    enum Kind { NotNumeric, Invalid, Accepted } kind;
    int kept = 0;  // the whole number an accepted text stands for
};
// Short names keep the table one case a line: not numeric, not valid, kept as a number.
constexpr FieldOutcome kNo{FieldOutcome::NotNumeric};
constexpr FieldOutcome kBad{FieldOutcome::Invalid};
constexpr FieldOutcome Kept(int kept) { return {FieldOutcome::Accepted, kept}; }

struct IntervalOutcome {
    enum Kind { NotNumeric, TooLarge, TooSmall, Accepted } kind;
    int milliseconds = 0;
};
constexpr IntervalOutcome kNoInterval{IntervalOutcome::NotNumeric};
constexpr IntervalOutcome kTooLarge{IntervalOutcome::TooLarge};
constexpr IntervalOutcome kTooSmall{IntervalOutcome::TooSmall};
constexpr IntervalOutcome Every(int milliseconds) { return {IntervalOutcome::Accepted, milliseconds}; }

struct InputCase {
    const char* what;
    std::wstring text;  // {d}: the user's decimal separator, {g}: the group separator
    FieldOutcome channel, minimum, maximum;
    IntervalOutcome interval;
};

const std::wstring kMillionNines(1'000'000, L'9');
const std::wstring kMillionCharactersOfSeven = std::wstring(999'999, L'0') + L"7";
// Short enough for Wine's edit control to hold for real.
const std::wstring kTenThousandNines(10'000, L'9');
const std::wstring kTenThousandCharactersOfSeven = std::wstring(9'999, L'0') + L"7";

const InputCase kCases[] = {
    {"empty", L"", kNo, kNo, kNo, kNoInterval},
    {"blanks", L"   ", kNo, kNo, kNo, kNoInterval},
    {"a tab", L"\t", kNo, kNo, kNo, kNoInterval},
    {"plus alone", L"+", kNo, kNo, kNo, kNoInterval},
    {"minus alone", L"-", kNo, kNo, kNo, kNoInterval},
    {"decimal separator alone", L"{d}", kNo, kNo, kNo, kNoInterval},
    {"group separator alone", L"{g}", kNo, kNo, kNo, kNoInterval},
    {"separators in the wrong order", L"1{d}2{g}3", kNo, kNo, kNo, kNoInterval},
    {"separators in the right order", L"1{g}2{d}3", Kept(12), Kept(12), Kept(12), Every(12)},
    {"two decimal separators", L"1{d}2{d}3", kNo, kNo, kNo, kNoInterval},
    {"group separator at the end", L"5{g}", kNo, kNo, kNo, kNoInterval},
    {"exponent too large", L"1e400", kNo, kNo, kNo, kNoInterval},
    {"negative, exponent too large", L"-1e400", kNo, kNo, kNo, kNoInterval},
    {"exponent too small: 0", L"1e-400", kBad, Kept(0), Kept(0), kTooSmall},
    {"negative, exponent too small: 0", L"-1e-400", kBad, Kept(0), Kept(0), kTooSmall},
    {"an exponent without digits", L"5e", kNo, kNo, kNo, kNoInterval},
    {"ten thousand nines", kTenThousandNines, kNo, kNo, kNo, kNoInterval},
    {"ten thousand characters that are 7", kTenThousandCharactersOfSeven, Kept(7), Kept(7), Kept(7), Every(7)},
    {"a million nines", kMillionNines, kNo, kNo, kNo, kNoInterval},
    {"a million characters that are 7", kMillionCharactersOfSeven, Kept(7), Kept(7), Kept(7), Every(7)},
    {"a tab inside", L"1\t2", kNo, kNo, kNo, kNoInterval},
    {"tabs around", L"\t5\t", Kept(5), Kept(5), Kept(5), Every(5)},
    {"a control character", L"\x01", kNo, kNo, kNo, kNoInterval},
    {"a digit and a control character", L"5\x01", kNo, kNo, kNo, kNoInterval},
    {"a line break before", L"\r\n5", kNo, kNo, kNo, kNoInterval},
    {"a line break after", L"5\r\n", kNo, kNo, kNo, kNoInterval},
    {"an Arabic-Indic five", L"\u0665", kNo, kNo, kNo, kNoInterval},
    {"a fullwidth five", L"\uFF15", kNo, kNo, kNo, kNoInterval},
    {"a fullwidth five after a digit", L"1\uFF15", kNo, kNo, kNo, kNoInterval},
    {"Cyrillic", L"\u043F\u044F\u0442\u044C", kNo, kNo, kNo, kNoInterval},
    {"a no-break space before", L"\u00A05", kNo, kNo, kNo, kNoInterval},
    {"a no-break space after", L"5\u00A0", kNo, kNo, kNo, kNoInterval},
    {"a blank inside", L"1 2", kNo, kNo, kNo, kNoInterval},
    {"hexadecimal", L"0x10", kNo, kNo, kNo, kNoInterval},
    {"hexadecimal, automation style", L"&H10", kNo, kNo, kNo, kNoInterval},
    {"parentheses", L"(5)", kNo, kNo, kNo, kNoInterval},
    {"a trailing sign", L"5-", kNo, kNo, kNo, kNoInterval},
    {"a currency sign", L"5 \u20AC", kNo, kNo, kNo, kNoInterval},
    {"not a number", L"NaN", kNo, kNo, kNo, kNoInterval},
    {"infinity", L"\u221E", kNo, kNo, kNo, kNoInterval},
    {"under 1 by a fraction", L"0{d}6", kBad, Kept(1), Kept(1), kTooSmall},
    {"over 512 by a fraction", L"512{d}4", kBad, kBad, kBad, Every(512)},
    {"over 255 by a fraction", L"255{d}4", Kept(255), kBad, kBad, Every(255)},
    {"under 0 by a fraction", L"-0{d}4", kBad, kBad, kBad, kTooSmall},
    {"over 10000 by a fraction", L"10000{d}4", kBad, kBad, kBad, kTooLarge},
    {"a thousand by exponent", L"1e3", kBad, kBad, kBad, Every(1000)},
};

const wchar_t* Message(Field field, FieldOutcome::Kind kind) {
    const bool not_numeric = kind == FieldOutcome::NotNumeric;
    switch (field) {
        case Field::Channel:
            return not_numeric ? L"Bitte einen numerischen Wert als Kanal eintragen."
                               : L"Bitte einen g\u00FCltigen Wert als Kanal eintragen.";
        case Field::Minimum:
            return not_numeric ? L"Bitte einen numerischen Wert als Minimalwert eintragen."
                               : L"Bitte einen g\u00FCltigen Wert als Minimalwert eintragen.";
        case Field::Maximum:
            return not_numeric ? L"Bitte einen numerischen Wert als Maximalwert eintragen."
                               : L"Bitte einen g\u00FCltigen Wert als Maximalwert eintragen.";
    }
    return L"";
}

const wchar_t* Message(IntervalOutcome::Kind kind) {
    switch (kind) {
        case IntervalOutcome::NotNumeric: return L"Bitte einen numerischen Wert eingeben!";
        case IntervalOutcome::TooLarge: return L"Bitte einen Wert unter 10000 eingeben!";
        case IntervalOutcome::TooSmall: return L"Bitte einen Wert \u00FCber 0 eingeben!";
        case IntervalOutcome::Accepted: break;
    }
    return L"";
}

std::wstring Separator(LCTYPE type) {
    wchar_t text[8] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 8);
    return text;
}

std::wstring WithSeparators(std::wstring text, const std::wstring& decimal, const std::wstring& group) {
    for (const auto& [mark, separator] : {std::pair{L"{d}", &decimal}, std::pair{L"{g}", &group}}) {
        for (auto at = text.find(mark); at != std::wstring::npos; at = text.find(mark, at + separator->size()))
            text.replace(at, 3, *separator);
    }
    return text;
}

// Short, printable: what a failure message shows of a text.
std::string Shown(const std::wstring& text) {
    std::string shown = Printable(text.substr(0, 24));
    if (text.size() > 24) shown += "... (" + std::to_string(text.size()) + " characters)";
    return shown;
}

constexpr int kBaselineChannel = 20;
constexpr wchar_t kInterval[] = L"30";

class BadInputTest : public testing::Test {
protected:
    void SetUp() override {
        decimal_ = Separator(LOCALE_SDECIMAL);
        group_ = Separator(LOCALE_STHOUSAND);
        if (ZORVANE_GERMAN_SEPARATORS) {
            ASSERT_EQ(decimal_, L",") << "not a German user locale: run with LC_ALL=de_DE.UTF-8, alone";
            ASSERT_EQ(group_, L".");
        } else {
            ASSERT_EQ(decimal_, L".") << "not an English user locale: run with LC_ALL=en_US.UTF-8, alone";
            ASSERT_EQ(group_, L",");
        }
        module_info_class_ = std::make_unique<standin::ModuleInfoClassOverride>();
        helper_ = standin::MakePluginHelper(host_);
        opened_ = OpenedPlugIn::Open(helper_.Get());
        editor_ = std::make_unique<RuleEditor>(opened_.window);
        editor_->Add(std::to_wstring(kBaselineChannel), L"0", L"255", Typing::SetText);
        baseline_ = editor_->Table();
        ASSERT_EQ(baseline_[0].size(), 1u);
        host_->universe.SetFromFader(kBaselineChannel, 100);
        SetInterval(kInterval);
        ASSERT_EQ(boxes_.boxes().size(), 1u) << "the interval box and no refusal";
        boxes_.Clear();
    }

    void TearDown() override {
        editor_.reset();
        opened_.Close();
        Pump(20);
        EXPECT_EQ(CanUnloadNow(LoadedModule()), S_OK);
        helper_.Reset();
        module_info_class_.reset();
    }

    void SetInterval(const std::wstring& typed) {
        boxes_.Then(TypeAndClick(typed, IDOK));
        ASSERT_TRUE(Configure(opened_.plugin.Get()));
    }

    // The channels read and the writes made by the next tick.
    std::pair<std::vector<std::wstring>, std::vector<ChannelWrite>> NextTick() {
        host_->trace.Clear();
        host_->universe.ClearPluginWrites();
        EXPECT_TRUE(RunOneTick(opened_.window));
        std::vector<std::wstring> reads;
        for (const auto& call : host_->trace.calls()) {
            if (call.text.rfind(L"ChannelGetValue ", 0) == 0) {
                reads.push_back(call.text.substr(16, call.text.find(L" ->") - 16));
            }
        }
        return {reads, host_->universe.PluginWrites()};
    }

    std::wstring decimal_, group_;
    std::shared_ptr<standin::StandinHost> host_ = std::make_shared<standin::StandinHost>();
    ComPtr<IVELTPluginHelper> helper_;
    std::unique_ptr<standin::ModuleInfoClassOverride> module_info_class_;
    OpenedPlugIn opened_;
    std::unique_ptr<RuleEditor> editor_;
    std::vector<std::vector<std::wstring>> baseline_;
    BoxWatcher boxes_;
};

// Each text in each of the three boxes, the other two holding good values.
TEST_F(BadInputTest, TheRuleEditorRefusesWhatTheRuleRefusesAndKeepsWhatItKeeps) {
    int texts_tried = 0;
    for (const InputCase& c : kCases) {
        const std::wstring text = WithSeparators(c.text, decimal_, group_);
        for (const Field field : {Field::Channel, Field::Minimum, Field::Maximum}) {
            const FieldOutcome expected = field == Field::Channel ? c.channel
                                          : field == Field::Minimum ? c.minimum
                                                                    : c.maximum;
            SCOPED_TRACE(testing::Message() << c.what << " " << Shown(text) << " as the "
                                            << (field == Field::Channel ? "channel"
                                                : field == Field::Minimum ? "minimum"
                                                                          : "maximum"));
            ++texts_tried;
            // A channel of its own for the minimum and the maximum, so that a write names its rule.
            const std::wstring channel = field == Field::Channel ? text : field == Field::Minimum ? L"21" : L"22";
            const std::wstring minimum = field == Field::Minimum ? text : field == Field::Channel ? L"10" : L"0";
            const std::wstring maximum = field == Field::Maximum ? text : field == Field::Channel ? L"200" : L"255";
            const HWND edit = field == Field::Channel   ? editor_->channel_text
                              : field == Field::Minimum ? editor_->minimum_text
                                                        : editor_->maximum_text;
            boxes_.Clear();
            editor_->Type(channel, minimum, maximum, Typing::SetText);
            ASSERT_EQ(TextOf(edit), text) << "the text box changed the text";
            Click(editor_->add_button);

            if (expected.kind != FieldOutcome::Accepted) {
                ASSERT_EQ(boxes_.boxes().size(), 1u);
                const SeenBox& box = boxes_.boxes()[0];
                EXPECT_EQ(box.title, L"Fehler!");
                EXPECT_EQ(box.text, Message(field, expected.kind));
                EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
                EXPECT_EQ(box.focus, edit) << "the focus is not on the refused text box";
                // The activation comes back through the display server in its own time, or
                // not at all where Wine's X11 driver hands it to the desktop (ActiveAgain).
                EXPECT_TRUE(ActiveAgain(GetAncestor(editor_->window, GA_ROOT), 2000)) << "after the message";
                PumpUntil([&] { return GetFocus() == edit; }, 2000);
                EXPECT_EQ(GetFocus(), edit) << "after the message";
                // Nothing stored: the lists, and the rules the tick walks.
                EXPECT_EQ(editor_->Table(), baseline_);
                EXPECT_EQ(TextOf(edit), text) << "the refused text is left for correcting";
                const auto [reads, writes] = NextTick();
                EXPECT_EQ(reads, std::vector<std::wstring>{std::to_wstring(kBaselineChannel)});
                continue;
            }

            EXPECT_TRUE(boxes_.boxes().empty());
            auto table = baseline_;
            table[0].push_back(channel);
            table[1].push_back(minimum);
            table[2].push_back(maximum);
            ASSERT_EQ(editor_->Table(), table) << "the row is kept as typed";
            // What the tick does with the row shows the number kept.
            std::vector<ChannelWrite> writes;
            std::wstring read;
            if (field == Field::Channel) {
                host_->universe.SetFromFader(expected.kept, 0);
                writes = {{expected.kept, 10, true}};
                read = std::to_wstring(expected.kept);
            } else if (field == Field::Minimum) {
                host_->universe.SetFromFader(21, 0);
                if (expected.kept > 0) writes = {{21, expected.kept, true}};
                read = L"21";
            } else {
                host_->universe.SetFromFader(22, 255);
                if (expected.kept < 255) writes = {{22, expected.kept, true}};
                read = L"22";
            }
            const auto [reads, written] = NextTick();
            EXPECT_EQ(reads, (std::vector<std::wstring>{std::to_wstring(kBaselineChannel), read}));
            EXPECT_EQ(written, writes);
            editor_->DeleteRow(static_cast<int>(editor_->RowCount()) - 1);
            ASSERT_EQ(editor_->Table(), baseline_);
        }
    }
    std::printf("rule editor: %d texts tried with separators '%ls' and '%ls'\n", texts_tried, decimal_.c_str(),
                group_.c_str());
}

// Each text in the poll-interval box; the interval (30 ms) shows in the ticks that follow.
TEST_F(BadInputTest, TheIntervalBoxRefusesWhatTheRuleRefusesAndLeavesTheInterval) {
    int texts_tried = 0;
    for (const InputCase& c : kCases) {
        const std::wstring text = WithSeparators(c.text, decimal_, group_);
        SCOPED_TRACE(testing::Message() << c.what << " " << Shown(text));
        ++texts_tried;
        SetFocus(editor_->channel_text);
        boxes_.Clear();
        SetInterval(text);

        if (c.interval.kind == IntervalOutcome::Accepted) {
            EXPECT_EQ(boxes_.boxes().size(), 1u) << "a refusal";
            // Back to the test's interval.
            boxes_.Clear();
            SetInterval(kInterval);
            ASSERT_EQ(boxes_.boxes().size(), 1u);
            continue;
        }
        ASSERT_EQ(boxes_.boxes().size(), 2u);
        const SeenBox& refusal = boxes_.boxes()[1];
        EXPECT_EQ(refusal.title, L"Fehler");
        EXPECT_EQ(refusal.text, Message(c.interval.kind));
        EXPECT_EQ(refusal.buttons, std::vector<std::wstring>{L"OK"});
        EXPECT_EQ(refusal.owner, opened_.window) << "the active window owns the message";
        EXPECT_TRUE(ActiveAgain(GetAncestor(opened_.window, GA_ROOT), 2000)) << "after the message";
        Pump(5);
        EXPECT_EQ(GetFocus(), editor_->channel_text) << "the focus is back where it was";
        // Still 30 ms: as many ticks as a 30 ms timer of ours gives (1 ms would give about
        // three times as many under Wine, 1000 ms none).
        const int ticks = EditorTicksOver(opened_.window, 30, 10);
        EXPECT_TRUE(AboutAsMany(ticks, 10)) << ticks << " ticks while a 30 ms timer ticked 10 times";
        EXPECT_EQ(editor_->Table(), baseline_);
    }
    std::printf("interval box: %d texts tried with separators '%ls' and '%ls'\n", texts_tried, decimal_.c_str(),
                group_.c_str());
}

}  // namespace
}  // namespace zorvane::reliability
