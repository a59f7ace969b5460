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

}  // namespace
}  // namespace zorvane::ui
