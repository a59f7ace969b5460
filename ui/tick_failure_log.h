#pragma once
// Timer1's failures go to the debugger's output, once for each run of the same failure:
// a host that refuses every tick in the same way is reported once, not every second.
#include <cstdint>
#include <string>
#include <string_view>

#include "clamp/rule_reading.h"

namespace zorvane::ui {

class TickFailureLog {
public:
    // True when the failure is to be reported: the previous tick did not fail in the
    // same way (same code, same description).
    bool Failed(std::int32_t code, std::wstring_view description);
    void Succeeded() noexcept { failing_ = false; }

private:
    bool failing_ = false;
    std::int32_t code_ = 0;
    std::wstring description_;
};

// The line written for a reported failure.
std::wstring TickFailureLine(std::int32_t code, std::wstring_view description);

// The line written when the ticks start to pass over a row that reads as no rule (the
// rule table says when: RuleTable::TakeNewFaults), with the rule editor's own words for
// it. Rows are named from 1, as a person counts the lines of the lists.
std::wstring SkippedRowLine(std::int16_t row, RuleFault fault);

}  // namespace zorvane::ui
