#include "clamp/rule_reading.h"

#include <optional>

namespace zorvane {
namespace {

struct FieldRange {
    double lowest;
    double highest;
    RuleFault not_numeric;
    RuleFault out_of_range;
};

constexpr FieldRange kChannelRange{kLowestChannel, kHighestChannel, RuleFault::ChannelNotNumeric,
                                   RuleFault::ChannelOutOfRange};
constexpr FieldRange kMinimumRange{kLowestValue, kHighestValue, RuleFault::MinimumNotNumeric,
                                   RuleFault::MinimumOutOfRange};
constexpr FieldRange kMaximumRange{kLowestValue, kHighestValue, RuleFault::MaximumNotNumeric,
                                   RuleFault::MaximumOutOfRange};

RuleFault ReadField(std::wstring_view text, const FieldRange& range, const NumberFormat& format,
                    double& value) {
    const std::optional<double> read = ReadNumber(text, format);
    if (!read) return range.not_numeric;
    if (*read < range.lowest || *read > range.highest) return range.out_of_range;
    value = *read;
    return RuleFault::None;
}

}  // namespace

RuleReading ReadRule(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum,
                     const NumberFormat& format) {
    double read[3] = {};
    const std::wstring_view texts[3] = {channel, minimum, maximum};
    const FieldRange* const ranges[3] = {&kChannelRange, &kMinimumRange, &kMaximumRange};
    for (int i = 0; i < 3; ++i) {
        const RuleFault fault = ReadField(texts[i], *ranges[i], format, read[i]);
        if (fault != RuleFault::None) return {fault, {0, 0, 0}};
    }
    if (read[2] < read[1]) return {RuleFault::MaximumBelowMinimum, {0, 0, 0}};
    // Within 0..512 every number rounds.
    return {RuleFault::None, {*RoundToInt32(read[0]), *RoundToInt32(read[1]), *RoundToInt32(read[2])}};
}

RuleReading ReadAsAdded(const RuleReading& added, const RuleReading& now) {
    if (added.fault != RuleFault::None || now.fault != RuleFault::None) return now;
    if (now.values.channel != added.values.channel) return {RuleFault::ChannelChanged, {0, 0, 0}};
    if (now.values.minimum != added.values.minimum) return {RuleFault::MinimumChanged, {0, 0, 0}};
    if (now.values.maximum != added.values.maximum) return {RuleFault::MaximumChanged, {0, 0, 0}};
    return now;
}

}  // namespace zorvane
