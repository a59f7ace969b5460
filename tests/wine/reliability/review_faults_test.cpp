// Faults a review found, each through the real DLL reached as a host reaches it, with a
// scripted helper (tests/support/scripted_helper.h) in place of the stand-in's: answers by
// reference that point nowhere, the window going while a tick runs, what keeps the module
// loaded, a helper writing through our references, a list refusing a row, and separators
// changed between an add and the next tick.
#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "plugin/plugin_identity.h"
#include "tests/support/box_watcher.h"
#include "tests/support/debug_output.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/references.h"
#include "tests/support/rule_editor.h"
#include "tests/support/scripted_helper.h"
#include "tests/support/ticks.h"
#include "tests/support/windows.h"
#include "tests/wine/reliability/printable_text.h"
#include "tests/wine/reliability/three_rules.h"
#include "win/handles.h"

namespace zorvane::reliability {
namespace {

using namespace test;

constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A01A8);

// Rules 5: 10..200, 7: 0..100, 9: 0..255 against channel values 3, 150 and 42.
const std::vector<std::wstring> kFullTick = {
    L"ChannelGetValue 5", L"MyStream", L"UserInteraction", L"MyStream", L"SetChannel 5, 10, true",
    L"ChannelGetValue 7", L"MyStream", L"UserInteraction", L"MyStream", L"SetChannel 7, 100, true",
    L"ChannelGetValue 9",
};

std::vector<std::wstring> FirstCalls(std::size_t count) {
    return std::vector<std::wstring>(kFullTick.begin(), kFullTick.begin() + static_cast<std::ptrdiff_t>(count));
}


template <class Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return TestNameOf(info.param.name);
}

// A row shows in a failure by its name.
template <class Case>
    requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

std::vector<std::wstring> Joined(std::vector<std::wstring> first, const std::vector<std::wstring>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

// The plug-in opened with a scripted helper and the three rules, its timer at 1 ms.
class ScriptedTickTest : public testing::Test {
protected:
    void SetUp() override {
        // A new stream on every read: any reference the DLL keeps shows as a live stream.
        helper_->script().new_stream_each_read = true;
        helper_->script().during_call = [this](const std::wstring&) {
            if (during_ && !helper_->calls().empty() && helper_->calls().back() == during_at_) {
                // Once: what runs inside may make more calls.
                const std::function<void()> action = std::exchange(during_, nullptr);
                action();
            }
        };
        ResetValues();
        ASSERT_NO_FATAL_FAILURE(OpenTickingWithThreeRules(helper_->as_helper(), opened_, editor_, boxes_));
        output_.Clear();
    }

    void TearDown() override {
        during_ = nullptr;
        editor_.reset();
        opened_.Close();
        Pump(20);
        if (const HMODULE module = LoadedModule()) {
            EXPECT_EQ(CanUnloadNow(module), S_OK) << "something of the DLL is still held";
        }
        EXPECT_REF(helper_->object(), 1u) << "the DLL still holds the helper";
        EXPECT_EQ(helper_->live_streams(), 0) << "a stream is still referenced";
    }

    void ResetValues() { helper_->values() = {{5, 3}, {7, 150}, {9, 42}, {11, 100}, {13, 50}}; }

    // One tick of the editor's own timer, from fresh channel values; the calls it made.
    std::vector<std::wstring> Tick() {
        ResetValues();
        helper_->ClearCalls();
        EXPECT_TRUE(RunOneTick(opened_.window)) << "the timer has stopped";
        return helper_->calls();
    }

    // Runs action inside the helper's call recorded as `at`, the next time it is made.
    void During(std::wstring at, std::function<void()> action) {
        during_at_ = std::move(at);
        during_ = std::move(action);
    }

    std::unique_ptr<ScriptedHelper> helper_ = std::make_unique<ScriptedHelper>();
    OpenedPlugIn opened_;
    std::unique_ptr<RuleEditor> editor_;
    BoxWatcher boxes_;
    DebugOutput output_;
    std::wstring during_at_;
    std::function<void()> during_;
};

// --- By-reference answers that point nowhere -------------------------------------------

struct BadAnswerCase {
    const char* name;
    bool from_my_stream;  // else ChannelGetValue 5
    void (*answer)(VARIANT& result);
    HRESULT code;
};

VARIANT g_holding_nothing;     // what a reference to a variant points at
IDispatch* g_no_object = nullptr;

// A reference to a variant that holds a null reference of the given type.
void ToVariantHoldingNullReference(VARIANT& r, VARTYPE type) {
    V_VT(&g_holding_nothing) = static_cast<VARTYPE>(VT_BYREF | type);
    V_BYREF(&g_holding_nothing) = nullptr;
    V_VT(&r) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&r) = &g_holding_nothing;
}

const BadAnswerCase kBadAnswers[] = {
    {"ChannelGetValue VT_BYREF|VT_VARIANT null", false,
     [](VARIANT& r) { V_VT(&r) = VT_BYREF | VT_VARIANT; V_VARIANTREF(&r) = nullptr; }, DISP_E_TYPEMISMATCH},
    {"ChannelGetValue VT_BYREF|VT_I4 null", false,
     [](VARIANT& r) { V_VT(&r) = VT_BYREF | VT_I4; V_I4REF(&r) = nullptr; }, DISP_E_TYPEMISMATCH},
    {"ChannelGetValue VT_BYREF|VT_DISPATCH null", false,
     [](VARIANT& r) { V_VT(&r) = VT_BYREF | VT_DISPATCH; V_DISPATCHREF(&r) = nullptr; }, DISP_E_TYPEMISMATCH},
    {"ChannelGetValue VT_BYREF|VT_VARIANT to VT_BYREF|VT_I4 null", false,
     [](VARIANT& r) { ToVariantHoldingNullReference(r, VT_I4); }, DISP_E_TYPEMISMATCH},
    {"MyStream VT_DISPATCH null", true, [](VARIANT& r) { V_VT(&r) = VT_DISPATCH; V_DISPATCH(&r) = nullptr; },
     kObjectRequired},
    {"MyStream VT_BYREF|VT_DISPATCH null", true,
     [](VARIANT& r) { V_VT(&r) = VT_BYREF | VT_DISPATCH; V_DISPATCHREF(&r) = nullptr; }, kObjectRequired},
    {"MyStream VT_BYREF|VT_DISPATCH to null", true,
     [](VARIANT& r) { V_VT(&r) = VT_BYREF | VT_DISPATCH; V_DISPATCHREF(&r) = &g_no_object; }, kObjectRequired},
    {"MyStream VT_BYREF|VT_VARIANT null", true,
     [](VARIANT& r) { V_VT(&r) = VT_BYREF | VT_VARIANT; V_VARIANTREF(&r) = nullptr; }, kObjectRequired},
    {"MyStream VT_BYREF|VT_VARIANT to VT_BYREF|VT_DISPATCH null", true,
     [](VARIANT& r) { ToVariantHoldingNullReference(r, VT_DISPATCH); }, kObjectRequired},
};

class BadReferenceTest : public ScriptedTickTest, public testing::WithParamInterface<BadAnswerCase> {};

// The tick ends at the bad answer as a failure reported quietly, never an access
// violation; the next tick with good answers runs through.
TEST_P(BadReferenceTest, EndsTheTickQuietlyAndTheNextTickWorks) {
    const BadAnswerCase& c = GetParam();
    if (c.from_my_stream) {
        helper_->script().my_stream = [&c](IDispatch*, VARIANT& result) {
            c.answer(result);
            return S_OK;
        };
    } else {
        helper_->script().channel_get_value = [&c](LONG, VARIANT& result) {
            c.answer(result);
            return S_OK;
        };
    }
    EXPECT_EQ(Tick(), FirstCalls(c.from_my_stream ? 2 : 1)) << "calls after the bad answer";
    const std::vector<std::string> lines = output_.Lines();
    ASSERT_EQ(lines.size(), 1u) << "one line in the debugger output";
    EXPECT_EQ(lines[0].rfind(TickFailureHead(c.code), 0), 0u) << lines[0];
    EXPECT_TRUE(boxes_.boxes().empty()) << "a box for a failed tick";
    EXPECT_EQ(helper_->live_streams(), 0);

    helper_->script().my_stream = nullptr;
    helper_->script().channel_get_value = nullptr;
    EXPECT_EQ(Tick(), kFullTick);
    EXPECT_EQ(output_.Lines().size(), 1u) << "a good tick reports nothing";
}

INSTANTIATE_TEST_SUITE_P(Answers, BadReferenceTest, testing::ValuesIn(kBadAnswers),
                         CaseName<BadAnswerCase>);

// --- The window going while a tick runs ------------------------------------------------

enum class InsideACall {
    Close,                   // the user closes the window
    CloseAndReopen,          // ... and the host shows it again, a new rule typed in
    CloseReleaseAndUnload,   // ... the host lets go of everything and unloads unused libraries
    SendTick,                // a WM_TIMER of the editor sent straight to it
    PumpUntilTick,           // messages pumped until the editor's Timer1 is dispatched
};

struct DuringTickCase {
    const char* name;
    const wchar_t* at;  // the call inside which it happens
    InsideACall what;
    std::vector<std::wstring> calls;  // the tick's calls, all of them
};

const DuringTickCase kDuringTick[] = {
    {"closed during the first read", L"ChannelGetValue 5", InsideACall::Close, FirstCalls(1)},
    // A write begun is finished: the guard looks between the tick's steps.
    {"closed during a write's UserInteraction", L"UserInteraction", InsideACall::Close, FirstCalls(5)},
    {"closed during the first write", L"SetChannel 5, 10, true", InsideACall::Close, FirstCalls(5)},
    {"closed and shown again during the first read", L"ChannelGetValue 5", InsideACall::CloseAndReopen,
     FirstCalls(1)},
    {"closed, released and unloaded during the second read", L"ChannelGetValue 7",
     InsideACall::CloseReleaseAndUnload, FirstCalls(6)},
    {"a tick sent during the first read", L"ChannelGetValue 5", InsideACall::SendTick, kFullTick},
    {"a tick pumped during the first write", L"SetChannel 5, 10, true", InsideACall::PumpUntilTick, kFullTick},
};

class DuringTickTest : public ScriptedTickTest, public testing::WithParamInterface<DuringTickCase> {};

// The tick never touches a destroyed window or table, never runs inside itself, and
// the module stays loaded while it runs.
TEST_P(DuringTickTest, TheTickEndsCleanlyOrRunsOnceThrough) {
    const DuringTickCase& c = GetParam();
    const HWND first_window = opened_.window;
    std::optional<HRESULT> can_unload_inside;
    bool loaded_after_freeing = false;
    bool ticked_inside = false;
    During(c.at, [&] {
        switch (c.what) {
            case InsideACall::Close:
                SendMessageW(first_window, WM_CLOSE, 0, 0);
                break;
            case InsideACall::CloseAndReopen:
                SendMessageW(first_window, WM_CLOSE, 0, 0);
                opened_.Show();
                opened_.window = WindowOf(opened_.tool.Get());
                editor_ = std::make_unique<RuleEditor>(opened_.window);
                editor_->Add(L"11", L"0", L"50");
                break;
            case InsideACall::CloseReleaseAndUnload:
                SendMessageW(first_window, WM_CLOSE, 0, 0);
                editor_.reset();
                opened_.Close();
                can_unload_inside = CanUnloadNow(LoadedModule());
                if (*can_unload_inside == S_FALSE) {  // else failed already, and unloading would crash
                    CoFreeUnusedLibrariesEx(0, 0);
                    loaded_after_freeing = LoadedModule() != nullptr;
                }
                break;
            case InsideACall::SendTick:
                SendTick(first_window);
                break;
            case InsideACall::PumpUntilTick:
                ticked_inside = RunOneTick(first_window);
                break;
        }
    });
    EXPECT_EQ(Tick(), c.calls);
    EXPECT_EQ(helper_->deepest(), 1) << "a call made inside another: a tick ran inside the tick";
    EXPECT_TRUE(output_.Lines().empty()) << output_.Lines().front();
    EXPECT_EQ(helper_->live_streams(), 0);

    switch (c.what) {
        case InsideACall::Close:
            EXPECT_FALSE(IsWindow(first_window));
            break;
        case InsideACall::CloseAndReopen:
            // The window shown again ticks with its own rule, at its initial 1000 ms.
            ASSERT_NE(opened_.window, nullptr);
            EXPECT_EQ(ListRows(editor_->channel_list), std::vector<std::wstring>{L"11"});
            helper_->ClearCalls();
            EXPECT_TRUE(RunOneTick(opened_.window, 10000));
            EXPECT_EQ(helper_->calls(), (std::vector<std::wstring>{L"ChannelGetValue 11", L"MyStream",
                                                                   L"UserInteraction", L"MyStream",
                                                                   L"SetChannel 11, 50, true"}));
            break;
        case InsideACall::CloseReleaseAndUnload:
            ASSERT_TRUE(can_unload_inside.has_value()) << "the action did not run";
            EXPECT_EQ(*can_unload_inside, S_FALSE) << "DllCanUnloadNow inside the tick";
            EXPECT_TRUE(loaded_after_freeing) << "CoFreeUnusedLibraries unloaded the module inside its tick";
            EXPECT_EQ(CanUnloadNow(LoadedModule()), S_OK) << "after the tick";
            EXPECT_REF(helper_->object(), 1u) << "unloadable, yet the helper is still held";
            CoFreeUnusedLibrariesEx(0, 0);
            EXPECT_EQ(LoadedModule(), nullptr) << "the module is still loaded after the tick";
            break;
        case InsideACall::SendTick:
            break;
        case InsideACall::PumpUntilTick:
            EXPECT_TRUE(ticked_inside) << "no Timer1 came while the helper pumped";
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Inside, DuringTickTest, testing::ValuesIn(kDuringTick),
                         CaseName<DuringTickCase>);

// --- A helper writing through our references -------------------------------------------

// It writes other numbers into the channel of ChannelGetValue and the channel and value
// of SetChannel once it has read them: no rule changes, nor any later call of the tick.
TEST_F(ScriptedTickTest, AHelperWritingThroughOurReferencesChangesNothingOfOurs) {
    helper_->script().writes_through_references = true;
    for (int tick = 0; tick < 3; ++tick) {
        SCOPED_TRACE(testing::Message() << "tick " << tick);
        EXPECT_EQ(Tick(), kFullTick);
    }
    EXPECT_EQ(editor_->Table(), (std::vector<std::vector<std::wstring>>{
                                    {L"5", L"7", L"9"}, {L"10", L"0", L"0"}, {L"200", L"100", L"255"}}));
    EXPECT_TRUE(output_.Lines().empty());
}

// --- A list refusing a row -------------------------------------------------------------

constexpr UINT_PTR kRefusal = 0x5A0;

LRESULT CALLBACK RefuseAdding(HWND list, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                              DWORD_PTR) noexcept {
    if (message == LB_ADDSTRING || message == LB_INSERTSTRING) return LB_ERRSPACE;
    return DefSubclassProc(list, message, wparam, lparam);
}

// Whichever of the three lists refuses the new row, the lists and the rules the ticks
// read stay in step; once it takes rows again, the same add succeeds.
TEST_F(ScriptedTickTest, AListRefusingARowLeavesTheListsAndTheRulesInStep) {
    const auto before = editor_->Table();
    const std::vector<std::wstring> eleven = {L"ChannelGetValue 11", L"MyStream", L"UserInteraction",
                                              L"MyStream", L"SetChannel 11, 50, true"};
    const HWND lists[] = {editor_->channel_list, editor_->minimum_list, editor_->maximum_list};
    for (int refusing = 0; refusing < 3; ++refusing) {
        SCOPED_TRACE(testing::Message() << "list " << refusing << " refuses");
        ASSERT_TRUE(SetWindowSubclass(lists[refusing], RefuseAdding, kRefusal, 0));
        output_.Clear();
        editor_->Add(L"11", L"0", L"50");
        EXPECT_EQ(editor_->Table(), before) << "the lists are out of step";
        EXPECT_EQ(output_.Lines().size(), 1u) << "the refusal is reported quietly";
        EXPECT_TRUE(boxes_.boxes().empty());
        EXPECT_EQ(Tick(), kFullTick) << "the rules are out of step with the lists";

        ASSERT_TRUE(RemoveWindowSubclass(lists[refusing], RefuseAdding, kRefusal));
        Click(editor_->add_button);  // the texts are still there
        ASSERT_EQ(editor_->RowCount(), 4u);
        EXPECT_EQ(Tick(), Joined(kFullTick, eleven));
        editor_->DeleteRow(3);
        ASSERT_EQ(editor_->Table(), before);
    }
}

// --- Separators changed between an add and the next tick -------------------------------

// The user's separators, set for this process's user locale and put back as they were.
class UserSeparators {
public:
    UserSeparators() : decimal_(Read(LOCALE_SDECIMAL)), group_(Read(LOCALE_STHOUSAND)) {}
    ~UserSeparators() {
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal_.c_str());
        SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group_.c_str());
    }
    UserSeparators(const UserSeparators&) = delete;
    UserSeparators& operator=(const UserSeparators&) = delete;

    static bool Set(const wchar_t* decimal, const wchar_t* group) {
        return SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal) &&
               SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group) && Read(LOCALE_SDECIMAL) == decimal &&
               Read(LOCALE_STHOUSAND) == group;
    }

private:
    static std::wstring Read(LCTYPE type) {
        wchar_t text[8] = {};
        GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 8);
        return text;
    }
    std::wstring decimal_, group_;
};

// A wide line as a debugger output handler sees it: in the ANSI code page.
std::string AsDebugOutput(const std::wstring& line) {
    const int size = WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, line.c_str(), -1, text.data(), size, nullptr, nullptr);
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

struct SeparatorPair {
    const wchar_t* decimal;
    const wchar_t* group;
};

constexpr SeparatorPair kDecimalPoint{L".", L","};
constexpr SeparatorPair kDecimalComma{L",", L"."};

struct ChangedMeaningCase {
    const char* name;
    SeparatorPair typed, other;
    std::vector<std::vector<std::wstring>> rules;  // added after the three rules
    std::vector<std::wstring> as_typed;            // their calls in a tick, after the three rules'
    std::vector<std::wstring> skipped;             // the debugger's lines under the other separators
};

// Channel values 0 (channels 2, 8 and 15 are not set), 100 (11) and 50 (13).
const ChangedMeaningCase kChangedMeanings[] = {
    // Channel 2 read as 15, minimum 12 as 125, maximum 2 as 25.
    {"decimal comma then point", kDecimalComma, kDecimalPoint,
     {{L"1,5", L"0", L"255"}, {L"8", L"12,5", L"255"}, {L"11", L"0", L"2,5"}},
     {L"ChannelGetValue 2", L"ChannelGetValue 8", L"MyStream", L"UserInteraction", L"MyStream",
      L"SetChannel 8, 12, true", L"ChannelGetValue 11", L"MyStream", L"UserInteraction", L"MyStream",
      L"SetChannel 11, 2, true"},
     {L"Zorvane: Timer1 skipped row 4: Der Kanal ergibt mit den jetzigen Trennzeichen einen anderen Wert "
      L"als beim Hinzuf\u00FCgen.",
      L"Zorvane: Timer1 skipped row 5: Der Minimalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert "
      L"als beim Hinzuf\u00FCgen.",
      L"Zorvane: Timer1 skipped row 6: Der Maximalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert "
      L"als beim Hinzuf\u00FCgen."}},
    // Minimum 104 read as 10, which channel 13's 50 would satisfy.
    {"decimal point then comma", kDecimalPoint, kDecimalComma, {{L"13", L"10,4", L"200"}},
     {L"ChannelGetValue 13", L"MyStream", L"UserInteraction", L"MyStream", L"SetChannel 13, 104, true"},
     {L"Zorvane: Timer1 skipped row 4: Der Minimalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert "
      L"als beim Hinzuf\u00FCgen."}},
};

class SeparatorsChangeTest : public ScriptedTickTest, public testing::WithParamInterface<ChangedMeaningCase> {};

// Rules that read, under the other separators, as other rules within range: the rule
// ticked is the rule typed or none. Such a row gets no host call while the separators
// stand so, is named once in the debugger output, and ticks as typed again once the
// separators of its add are back; the rows that read alike are clamped throughout.
TEST_P(SeparatorsChangeTest, ARuleReadingAsAnotherRestsUntilTheSeparatorsReturn) {
    const ChangedMeaningCase& c = GetParam();
    const UserSeparators restore;
    ASSERT_TRUE(UserSeparators::Set(c.typed.decimal, c.typed.group));
    for (const std::vector<std::wstring>& rule : c.rules) editor_->Add(rule[0], rule[1], rule[2]);
    ASSERT_EQ(editor_->RowCount(), 3 + c.rules.size()) << "an add was refused";
    const std::vector<std::wstring> as_typed = Joined(kFullTick, c.as_typed);
    EXPECT_EQ(Tick(), as_typed) << "the separators of the add";
    EXPECT_TRUE(output_.Lines().empty());

    ASSERT_TRUE(UserSeparators::Set(c.other.decimal, c.other.group));
    std::vector<std::string> skipped;
    for (const std::wstring& line : c.skipped) skipped.push_back(AsDebugOutput(line));
    for (int tick = 1; tick <= 3; ++tick) {
        EXPECT_EQ(Tick(), kFullTick) << "the other separators, tick " << tick;
        EXPECT_EQ(output_.Lines(), skipped) << "each row named once, tick " << tick;
    }
    EXPECT_TRUE(boxes_.boxes().empty()) << "a box for a skipped row";

    ASSERT_TRUE(UserSeparators::Set(c.typed.decimal, c.typed.group));
    EXPECT_EQ(Tick(), as_typed) << "the separators of the add again";
    EXPECT_EQ(output_.Lines(), skipped);
}

INSTANTIATE_TEST_SUITE_P(Separators, SeparatorsChangeTest, testing::ValuesIn(kChangedMeanings),
                         CaseName<ChangedMeaningCase>);

// Rules typed with a decimal comma that read, with a decimal point, as channel 5124, as
// minimum 1004, and as minimum 55 above maximum 10 (which would write channel 13 twice in
// one tick): those rows get no host call while the separators stand so, each is named
// once in the debugger output, and the rows around them are clamped as ever.
TEST_F(ScriptedTickTest, SeparatorsThatPutARuleOutOfRangeSkipThatRowOnly) {
    const UserSeparators restore;
    ASSERT_TRUE(UserSeparators::Set(L",", L"."));
    editor_->Add(L"51,24", L"0", L"255");
    editor_->Add(L"11", L"100,4", L"200");
    editor_->Add(L"13", L"5,5", L"10");
    editor_->Add(L"9", L"50", L"60");
    ASSERT_EQ(editor_->Table(), (std::vector<std::vector<std::wstring>>{
                                    {L"5", L"7", L"9", L"51,24", L"11", L"13", L"9"},
                                    {L"10", L"0", L"0", L"0", L"100,4", L"5,5", L"50"},
                                    {L"200", L"100", L"255", L"255", L"200", L"10", L"60"}}))
        << "an add was refused";
    const std::vector<std::wstring> last_row = {L"ChannelGetValue 9", L"MyStream", L"UserInteraction",
                                                L"MyStream", L"SetChannel 9, 50, true"};
    const std::vector<std::wstring> with_comma =
        Joined(Joined(kFullTick, {L"ChannelGetValue 51", L"ChannelGetValue 11", L"ChannelGetValue 13",
                                  L"MyStream", L"UserInteraction", L"MyStream", L"SetChannel 13, 10, true"}),
               last_row);
    EXPECT_EQ(Tick(), with_comma) << "decimal comma, as typed";
    EXPECT_TRUE(output_.Lines().empty());

    ASSERT_TRUE(UserSeparators::Set(L".", L","));
    EXPECT_EQ(Tick(), Joined(kFullTick, last_row)) << "decimal point: rows 4 to 6 are no rules within range";
    // In the rule editor's own words for such input, rows counted from 1 as the lists show them.
    const std::vector<std::string> skipped = {
        AsDebugOutput(L"Zorvane: Timer1 skipped row 4: Bitte einen g\u00FCltigen Wert als Kanal eintragen."),
        AsDebugOutput(L"Zorvane: Timer1 skipped row 5: Bitte einen g\u00FCltigen Wert als Minimalwert eintragen."),
        AsDebugOutput(L"Zorvane: Timer1 skipped row 6: Der Maximalwert muss gr\u00F6\u00DFer sein als der Minimalwert"),
    };
    EXPECT_EQ(output_.Lines(), skipped);
    EXPECT_TRUE(boxes_.boxes().empty()) << "a box for a skipped row";

    EXPECT_EQ(Tick(), Joined(kFullTick, last_row)) << "decimal point, the next tick";
    EXPECT_EQ(output_.Lines(), skipped) << "the same rows skipped again are not named again";

    ASSERT_TRUE(UserSeparators::Set(L",", L"."));
    EXPECT_EQ(Tick(), with_comma) << "decimal comma again";
    EXPECT_EQ(output_.Lines(), skipped);

    ASSERT_TRUE(UserSeparators::Set(L".", L","));
    EXPECT_EQ(Tick(), Joined(kFullTick, last_row)) << "decimal point once more";
    std::vector<std::string> twice = skipped;
    twice.insert(twice.end(), skipped.begin(), skipped.end());
    EXPECT_EQ(output_.Lines(), twice) << "rows skipped anew are named anew";
    EXPECT_TRUE(boxes_.boxes().empty());
}

// --- What keeps the module loaded ------------------------------------------------------

// Asked at the moment only the holder is left: DllCanUnloadNow, then COM's unloading of
// unused libraries, as a host on a timer does.
struct UnloadProbe {
    std::optional<HRESULT> can_unload;
    bool stayed_loaded = false;

    void Ask() {
        can_unload = CanUnloadNow(LoadedModule());
        // S_OK has failed the test already; unloading under the running code would only
        // crash it before it can say so.
        if (*can_unload != S_FALSE) return;
        CoFreeUnusedLibrariesEx(0, 0);
        stayed_loaded = LoadedModule() != nullptr;
    }
};

ComPtr<IClassFactory> ClassObject() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(CoGetClassObject(kPlugInClassId, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory)), S_OK);
    return factory;
}

// The plug-in opened, its window closed and everything of it let go but the tool window.
ComPtr<IDispatch> ToolWindowAlone(IVELTPluginHelper* helper) {
    OpenedPlugIn opened = OpenedPlugIn::Open(helper);
    SendMessageW(opened.window, WM_CLOSE, 0, 0);
    ComPtr<IDispatch> tool = opened.tool;
    opened.Close();
    return tool;
}

struct HolderCase {
    const char* name;
    // Brings the holder about, lets go of everything else, asks the probe, then lets go
    // of the holder.
    void (*run)(UnloadProbe& probe, ScriptedHelper& helper, BoxWatcher& boxes);
};

const HolderCase kHolders[] = {
    {"a plug-in object",
     [](UnloadProbe& probe, ScriptedHelper&, BoxWatcher&) {
         ComPtr<IVELTPlugin> plugin = CreatePlugInByProgId();
         probe.Ask();
     }},
    {"a class object",
     [](UnloadProbe& probe, ScriptedHelper&, BoxWatcher&) {
         ComPtr<IClassFactory> factory = ClassObject();
         probe.Ask();
     }},
    {"a lock taken after two unlocks that had none",
     [](UnloadProbe& probe, ScriptedHelper&, BoxWatcher&) {
         {
             const ComPtr<IClassFactory> factory = ClassObject();
             EXPECT_EQ(factory->LockServer(FALSE), S_OK);
             EXPECT_EQ(factory->LockServer(FALSE), S_OK);
             EXPECT_EQ(factory->LockServer(TRUE), S_OK);
         }
         probe.Ask();
         EXPECT_EQ(ClassObject()->LockServer(FALSE), S_OK);
     }},
    {"the rule editor loaded, no reference to it",
     [](UnloadProbe& probe, ScriptedHelper& helper, BoxWatcher&) {
         OpenedPlugIn opened = OpenedPlugIn::Open(helper.as_helper());
         const HWND window = opened.window;
         opened.window = nullptr;  // let go of the objects only
         opened.Close();
         probe.Ask();
         SendMessageW(window, WM_CLOSE, 0, 0);
     }},
    {"a reference to the rule editor, its window closed",
     [](UnloadProbe& probe, ScriptedHelper& helper, BoxWatcher&) {
         ComPtr<IDispatch> tool = ToolWindowAlone(helper.as_helper());
         probe.Ask();
     }},
    {"the about window open",
     [](UnloadProbe& probe, ScriptedHelper& helper, BoxWatcher&) {
         OpenedPlugIn opened = OpenedPlugIn::Open(helper.as_helper());
         Click(RuleEditor(opened.window).help_button);
         const std::vector<HWND> about = ThreadWindows(L"Info zu Zorvane");
         ASSERT_EQ(about.size(), 1u);
         opened.Close();
         probe.Ask();
         SendMessageW(about[0], WM_CLOSE, 0, 0);
     }},
    {"the rule editor's PluginConfigurationData running its box, every reference let go",
     [](UnloadProbe& probe, ScriptedHelper& helper, BoxWatcher& boxes) {
         ComPtr<IDispatch> tool = ToolWindowAlone(helper.as_helper());
         IDispatch* const calling = tool.Get();
         boxes.Then(WhenShown([&](HWND box) {
             tool.Reset();
             probe.Ask();
             TypeAndClick(L"", IDCANCEL)(box);
         }));
         win::Variant ignored;
         EXPECT_EQ(InvokeByName(calling, L"PluginConfigurationData", DISPATCH_METHOD, ignored.get()), S_OK);
     }},
    {"Configure running its box, the plug-in let go",
     [](UnloadProbe& probe, ScriptedHelper&, BoxWatcher& boxes) {
         ComPtr<IVELTPlugin> plugin = CreatePlugInByProgId();
         IVELTPlugin* const calling = plugin.Get();
         boxes.Then(WhenShown([&](HWND box) {
             plugin.Reset();
             probe.Ask();
             TypeAndClick(L"", IDCANCEL)(box);
         }));
         VARIANT_BOOL result = VARIANT_FALSE;
         EXPECT_EQ(calling->Configure(&result), S_OK);
     }},
    {"the rule editor's window procedure running a refusal's box, the window closed under it",
     [](UnloadProbe& probe, ScriptedHelper& helper, BoxWatcher& boxes) {
         OpenedPlugIn opened = OpenedPlugIn::Open(helper.as_helper());
         const RuleEditor editor(opened.window);
         editor.Type(L"", L"0", L"50");
         boxes.Then(WhenShown([&](HWND box) {
             opened.Close();  // the box goes with the window that owns it
             probe.Ask();
             if (IsWindow(box)) PostMessageW(box, WM_COMMAND, IDOK, 0);
         }));
         Click(editor.add_button);
     }},
};

class ModuleHolderTest : public testing::TestWithParam<HolderCase> {
protected:
    void SetUp() override {
        helper_.values() = {{5, 3}};
        // What earlier tests of this program left unused goes first.
        CoFreeUnusedLibrariesEx(0, 0);
    }

    ScriptedHelper helper_;
    BoxWatcher boxes_;
    DebugOutput output_;
};

// While the holder is all that is left, the module answers S_FALSE and stays loaded; once
// it goes, S_OK, the helper is let go and the module unloads.
TEST_P(ModuleHolderTest, TheModuleStaysWhileTheHolderIsLeftAndGoesAfter) {
    UnloadProbe probe;
    GetParam().run(probe, helper_, boxes_);
    Pump(20);
    ASSERT_TRUE(probe.can_unload.has_value()) << "the probe was not asked";
    EXPECT_EQ(*probe.can_unload, S_FALSE) << "DllCanUnloadNow with the holder left";
    EXPECT_TRUE(probe.stayed_loaded) << "CoFreeUnusedLibraries unloaded the module under the holder";
    const HMODULE module = LoadedModule();
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(CanUnloadNow(module), S_OK) << "the holder is gone";
    EXPECT_REF(helper_.object(), 1u) << "unloadable, yet the helper is still held";
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(LoadedModule(), nullptr);
    EXPECT_TRUE(output_.Lines().empty()) << output_.Lines().front();
}

INSTANTIATE_TEST_SUITE_P(Holders, ModuleHolderTest, testing::ValuesIn(kHolders),
                         CaseName<HolderCase>);

}  // namespace
}  // namespace zorvane::reliability
