#pragma once
// The rule editor's decision on a new rule typed into its three text boxes.
#include <cstdint>
#include <string_view>

#include "clamp/rule_reading.h"
#include "common/number_text.h"

namespace zorvane {

enum class RuleField { None, Channel, Minimum, Maximum };

struct RuleCheck {
    bool accepted;
    RuleField focus;           // where the keyboard focus goes before the message
    std::wstring_view message; // empty when accepted
};

// The lists' row counts are 16-bit: no more than this many rules.
inline constexpr std::int16_t kMaxRuleRows = 32767;

// The tests in their fixed order; the first that fails decides. A table already
// holding kMaxRuleRows rows refuses the rule after the field tests have passed.
RuleCheck CheckNewRule(std::wstring_view channel, std::wstring_view minimum,
                       std::wstring_view maximum, std::int32_t row_count,
                       const NumberFormat& format);

// What the user is told of a rule that reads so; empty for RuleFault::None.
std::wstring_view RuleFaultMessage(RuleFault fault) noexcept;

}  // namespace zorvane
