#include "ui/rule_input.h"

#include <optional>

namespace zorvane {
namespace {

constexpr std::wstring_view kChannelNotNumeric =
    L"Bitte einen numerischen Wert als Kanal eintragen.";
constexpr std::wstring_view kChannelInvalid = L"Bitte einen g\u00FCltigen Wert als Kanal eintragen.";
constexpr std::wstring_view kMinimumNotNumeric =
    L"Bitte einen numerischen Wert als Minimalwert eintragen.";
constexpr std::wstring_view kMinimumInvalid =
    L"Bitte einen g\u00FCltigen Wert als Minimalwert eintragen.";
constexpr std::wstring_view kMaximumNotNumeric =
    L"Bitte einen numerischen Wert als Maximalwert eintragen.";
constexpr std::wstring_view kMaximumInvalid =
    L"Bitte einen g\u00FCltigen Wert als Maximalwert eintragen.";
constexpr std::wstring_view kMaximumBelowMinimum =
    L"Der Maximalwert muss gr\u00F6\u00DFer sein als der Minimalwert";
constexpr std::wstring_view kTableFull =
    L"Es k\u00F6nnen nicht mehr als 32767 Eintr\u00E4ge angelegt werden.";

struct FieldRule {
    RuleField field;
    double lowest;
    double highest;
    std::wstring_view not_numeric;
    std::wstring_view invalid;
};

constexpr FieldRule kChannelRule{RuleField::Channel, 1, 512, kChannelNotNumeric, kChannelInvalid};
constexpr FieldRule kMinimumRule{RuleField::Minimum, 0, 255, kMinimumNotNumeric, kMinimumInvalid};
constexpr FieldRule kMaximumRule{RuleField::Maximum, 0, 255, kMaximumNotNumeric, kMaximumInvalid};

// The field's value, or the refusal that names it.
std::optional<RuleCheck> CheckField(std::wstring_view text, const FieldRule& rule,
                                    const NumberFormat& format, double& value) {
    const std::optional<double> read = ReadNumber(text, format);
    if (!read) return RuleCheck{false, rule.field, rule.not_numeric};
    if (*read < rule.lowest || *read > rule.highest) return RuleCheck{false, rule.field, rule.invalid};
    value = *read;
    return std::nullopt;
}

}  // namespace

RuleCheck CheckNewRule(std::wstring_view channel, std::wstring_view minimum,
                       std::wstring_view maximum, std::int32_t row_count,
                       const NumberFormat& format) {
    double channel_value = 0;
    double minimum_value = 0;
    double maximum_value = 0;
    if (auto refused = CheckField(channel, kChannelRule, format, channel_value)) return *refused;
    if (auto refused = CheckField(minimum, kMinimumRule, format, minimum_value)) return *refused;
    if (auto refused = CheckField(maximum, kMaximumRule, format, maximum_value)) return *refused;
    if (maximum_value < minimum_value) return {false, RuleField::None, kMaximumBelowMinimum};
    if (row_count >= kMaxRuleRows) return {false, RuleField::None, kTableFull};
    return {true, RuleField::None, {}};
}

}  // namespace zorvane
