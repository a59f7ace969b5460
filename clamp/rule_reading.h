#pragma once
// Whether three texts read as a rule within range under given separators: the same
// decision for a rule the user adds and for a stored rule at every tick, since the
// separators may have changed between the two.
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

}  // namespace zorvane
