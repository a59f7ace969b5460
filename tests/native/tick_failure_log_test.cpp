// Which of Timer1's failures reach the debugger's output.
#include <gtest/gtest.h>

#include <string>

#include "ui/tick_failure_log.h"

namespace zorvane::ui {
namespace {

TEST(TickFailureLogTest, ReportsOncePerRunOfTheSameFailure) {
    struct Step {
        bool fails;
        std::int32_t code;
        const wchar_t* description;
        bool reported;
    };
    const Step steps[] = {
        {true, 5, L"gesperrt", true},
        {true, 5, L"gesperrt", false},       // the same again: silent
        {true, 5, L"getrennt", true},        // another description
        {true, 6, L"getrennt", true},        // another code
        {true, 6, L"getrennt", false},
        {false, 0, L"", false},              // a good tick ends the run
        {true, 6, L"getrennt", true},
    };
    TickFailureLog log;
    int index = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(index++);
        if (step.fails) {
            EXPECT_EQ(log.Failed(step.code, step.description), step.reported);
        } else {
            log.Succeeded();
        }
    }
}

TEST(TickFailureLogTest, TheLineNamesCodeAndDescription) {
    EXPECT_EQ(TickFailureLine(static_cast<std::int32_t>(0x80020009), L"Das Pult ist gesperrt."),
              L"Zorvane: Timer1 tick failed (0x80020009): Das Pult ist gesperrt.\n");
}

// Rows named from 1, in the rule editor's own words for the input.
TEST(TickFailureLogTest, ASkippedRowIsNamedWithTheRuleEditorsWords) {
    struct Case {
        std::int16_t row;
        RuleFault fault;
        std::wstring line;
    };
    const Case cases[] = {
        {0, RuleFault::ChannelNotNumeric,
         L"Zorvane: Timer1 skipped row 1: Bitte einen numerischen Wert als Kanal eintragen.\n"},
        {3, RuleFault::ChannelOutOfRange,
         L"Zorvane: Timer1 skipped row 4: Bitte einen g\u00FCltigen Wert als Kanal eintragen.\n"},
        {4, RuleFault::MinimumOutOfRange,
         L"Zorvane: Timer1 skipped row 5: Bitte einen g\u00FCltigen Wert als Minimalwert eintragen.\n"},
        {99, RuleFault::MaximumNotNumeric,
         L"Zorvane: Timer1 skipped row 100: Bitte einen numerischen Wert als Maximalwert eintragen.\n"},
        {32766, RuleFault::MaximumBelowMinimum,
         L"Zorvane: Timer1 skipped row 32767: Der Maximalwert muss gr\u00F6\u00DFer sein als der Minimalwert\n"},
        {5, RuleFault::ChannelChanged,
         L"Zorvane: Timer1 skipped row 6: Der Kanal ergibt mit den jetzigen Trennzeichen einen anderen Wert als "
         L"beim Hinzuf\u00FCgen.\n"},
        {6, RuleFault::MinimumChanged,
         L"Zorvane: Timer1 skipped row 7: Der Minimalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert "
         L"als beim Hinzuf\u00FCgen.\n"},
        {7, RuleFault::MaximumChanged,
         L"Zorvane: Timer1 skipped row 8: Der Maximalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert "
         L"als beim Hinzuf\u00FCgen.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(SkippedRowLine(c.row, c.fault), c.line);
    }
}

}  // namespace
}  // namespace zorvane::ui
