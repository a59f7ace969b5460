// The user at the rule editor and the about window: typing, clicking, whole rules, closing;
// and Timer1's ticks, sent one at a time.
#include <algorithm>
#include <optional>
#include <string>

#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/rule_editor.h"
#include "tests/support/ticks.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"
#include "ui/win32/control_ids.h"

namespace zorvane::fuzz {
namespace {

// What a user may type into the rule editor's text boxes ({d}: the decimal separator).
const wchar_t* const kRuleTexts[] = {L"5",  L"1",   L"512", L"0",  L"255", L"7",   L"10",  L"200", L"100", L"50",
                                     L"1{d}5", L"",  L"abc", L"513", L"-1", L"256", L"1e3", L" 9 ", L"007"};

}  // namespace

void Session::UserAction() {
    HWND editor = EditorWindow();
    HWND about = AboutWindow();
    const bool usable = editor != nullptr && IsWindowVisible(editor) && IsWindowEnabled(editor);
    enum { kType, kAdd, kDelete, kPress, kCheck, kHelp, kClose, kRule, kAboutClose, kSpot, kKinds };
    unsigned weights[kKinds] = {};
    if (usable) {
        const unsigned editor_weights[] = {20, 10, 8, 10, 8, 3, 4, 25};
        for (int i = 0; i < 8; ++i) weights[i] = editor_weights[i];
    }
    if (about != nullptr && IsWindowVisible(about)) {
        weights[kAboutClose] = 4;
        weights[kSpot] = 3;
    }
    unsigned total = 0;
    for (unsigned w : weights) total += w;
    if (total == 0) return Tick();
    tally_.Count("user actions");
    const auto action = random_.Weighted(weights);
    std::optional<test::RuleEditor> controls;
    if (usable) {
        try {
            controls.emplace(editor);
        } catch (...) {
            Journal::Fail("the rule editor lacks one of its controls");
        }
    }
    // The buttons a user clicks: what the journal calls them and what the click may bring.
    struct Button {
        unsigned action;
        const char* caption;
        HWND test::RuleEditor::*control;
        UserKind user;
    };
    static constexpr Button kButtons[] = {
        {kAdd, "Werte hinzuf\\u00FCgen", &test::RuleEditor::add_button, kAddClick},
        {kDelete, "Markierten Eintrag l\\u00F6schen", &test::RuleEditor::delete_button, kOtherUser},
        {kCheck, "Plugin aktiviert", &test::RuleEditor::enabled_check, kCheckClick},
        {kHelp, "Hilfe", &test::RuleEditor::help_button, kOtherUser},
    };
    switch (action) {
        case kType: {
            HWND fields[] = {controls->channel_text, controls->minimum_text, controls->maximum_text};
            const int field = static_cast<int>(random_.Below(3));
            const std::wstring text = WithSeparator(random_.Pick(kRuleTexts), decimal_);
            const bool keys = random_.Chance(20);
            Scope scope(*this, FrameKind::User, Format("user types \"%s\" into Text%d%s", Printable(text).c_str(), field + 1,
                                                       keys ? " key by key" : ""), 0, kOtherUser);
            if (keys) {
                test::TypeInto(fields[field], text);
            } else {
                test::SetText(fields[field], text);
            }
            break;
        }
        case kAdd:
        case kDelete:
        case kCheck:
        case kHelp: {
            const Button& button = *std::ranges::find(kButtons, action, &Button::action);
            Scope scope(*this, FrameKind::User, std::string("user clicks \"") + button.caption + "\"", 0, button.user);
            test::Click((*controls).*button.control);
            break;
        }
        case kPress: {
            const std::size_t rows = controls->RowCount();
            if (rows == 0) break;
            HWND lists[] = {controls->channel_list, controls->minimum_list, controls->maximum_list};
            const int list = static_cast<int>(random_.Below(3));
            const int row = static_cast<int>(random_.Below(rows));
            const bool right = random_.Chance(20);
            Scope scope(*this, FrameKind::User, Format("user presses on row %d of List%d%s", row, list + 1, right ? " (right)" : ""),
                        0, kOtherUser);
            test::PressOnRow(lists[list], row, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN);
            break;
        }
        case kClose: {
            Scope scope(*this, FrameKind::User, "user closes the rule editor", 0, kOtherUser);
            SendMessageW(editor, WM_CLOSE, 0, 0);
            break;
        }
        case kRule: {
            // A whole rule, mostly a good one: channel, minimum, maximum, then the button.
            static const wchar_t* const kChannels[] = {L"1", L"5", L"7", L"512", L"9", L"300"};
            static const wchar_t* const kBounds[] = {L"0", L"10", L"100", L"200", L"255", L"50"};
            std::wstring texts[] = {random_.Pick(kChannels), random_.Pick(kBounds), random_.Pick(kBounds)};
            if (std::stoi(texts[2]) < std::stoi(texts[1])) std::swap(texts[1], texts[2]);
            if (random_.Chance(15)) texts[random_.Below(3)] = WithSeparator(random_.Pick(kRuleTexts), decimal_);
            Scope scope(*this, FrameKind::User,
                        Format("user adds the rule \"%s\" \"%s\" \"%s\"", Printable(texts[0]).c_str(),
                               Printable(texts[1]).c_str(), Printable(texts[2]).c_str()),
                        0, kAddClick);
            controls->Type(texts[0], texts[1], texts[2], test::Typing::SetText);
            test::Click(controls->add_button);
            break;
        }
        case kAboutClose: {
            const bool ok = random_.Chance(50);
            Scope scope(*this, FrameKind::User, ok ? "user clicks OK in the about window" : "user closes the about window", 0,
                        kOtherUser);
            if (ok) {
                test::Click(GetDlgItem(about, IDOK));
            } else {
                SendMessageW(about, WM_CLOSE, 0, 0);
            }
            break;
        }
        default: {
            Scope scope(*this, FrameKind::User, "user clicks the about window's spot", 0, kSpotClick);
            HWND spot = GetDlgItem(about, ui::kAboutLabel1);
            SendMessageW(spot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageW(spot, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            break;
        }
    }
}

void Session::Tick() {
    HWND editor = EditorWindow();
    if (editor == nullptr || !ImportWatch::TimerOf(editor).running) return Idle();
    tally_.Count("ticks");
    Scope scope(*this, FrameKind::Tick, "Timer1 ticks");
    test::SendTick(editor);
}

void Session::Idle() {
    Scope scope(*this, FrameKind::Host, "the host's loop runs");
    test::DispatchPending();
}
}  // namespace zorvane::fuzz
