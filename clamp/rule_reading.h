#pragma once
// Whether three texts read as a rule within range under given separators: the same
// decision for a rule the user adds and for a stored rule at every tick, since the
// separators may have changed between the two; and whether a stored rule still reads as
// the rule it was added as.
#include <cstdint>
#include <string_view>

#include "common/number_text.h"

namespace zorvane {

inline constexpr double kLowestChannel = 1;
inline constexpr double kHighestChannel = 512;
inline constexpr double kLowestValue = 0;
inline constexpr double kHighestValue = 255;

struct RuleValues {
    std::int32_t channel;
    std::int32_t minimum;
    std::int32_t maximum;

    friend bool operator==(const RuleValues&, const RuleValues&) = default;
};

// The first test a rule fails, in the order the fields are tested.
enum class RuleFault : std::uint8_t {
    None,
    ChannelNotNumeric,
    ChannelOutOfRange,
    MinimumNotNumeric,
    MinimumOutOfRange,
    MaximumNotNumeric,
    MaximumOutOfRange,
    MaximumBelowMinimum,
    // A stored rule that reads, under other separators, as another rule within range
    // (ReadAsAdded): the first field whose value differs from the one it was added with.
    ChannelChanged,
    MinimumChanged,
    MaximumChanged,
};

struct RuleReading {
    RuleFault fault;
    RuleValues values;  // rounded to whole numbers; all zero unless fault is None

    friend bool operator==(const RuleReading&, const RuleReading&) = default;
};

// Ranges and order are tested on the numbers as read; rounding to the nearest whole
// number (halves to even) cannot leave the range or swap the order after that.
RuleReading ReadRule(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum,
                     const NumberFormat& format);

// A stored rule's reading under the separators in force (`now`) against its reading when
// it was added: the same rule, or no rule. "1,5" added under a decimal comma is channel 2;
// under a decimal point it reads as channel 15, which the user never typed. A reading
// that is no rule keeps its own fault; a row added as no rule is read as it reads now.
RuleReading ReadAsAdded(const RuleReading& added, const RuleReading& now);

}  // namespace zorvane
