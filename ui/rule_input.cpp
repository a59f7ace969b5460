#include "ui/rule_input.h"

namespace zorvane {
namespace {

constexpr std::wstring_view kTableFull =
    L"Es k\u00F6nnen nicht mehr als 32767 Eintr\u00E4ge angelegt werden.";

RuleField FieldOf(RuleFault fault) noexcept {
    switch (fault) {
    case RuleFault::ChannelNotNumeric:
    case RuleFault::ChannelOutOfRange:
    case RuleFault::ChannelChanged: return RuleField::Channel;
    case RuleFault::MinimumNotNumeric:
    case RuleFault::MinimumOutOfRange:
    case RuleFault::MinimumChanged: return RuleField::Minimum;
    case RuleFault::MaximumNotNumeric:
    case RuleFault::MaximumOutOfRange:
    case RuleFault::MaximumChanged: return RuleField::Maximum;
    case RuleFault::None:
    case RuleFault::MaximumBelowMinimum: break;
    }
    return RuleField::None;
}

}  // namespace

std::wstring_view RuleFaultMessage(RuleFault fault) noexcept {
    switch (fault) {
    case RuleFault::None: break;
    case RuleFault::ChannelNotNumeric: return L"Bitte einen numerischen Wert als Kanal eintragen.";
    case RuleFault::ChannelOutOfRange: return L"Bitte einen g\u00FCltigen Wert als Kanal eintragen.";
    case RuleFault::MinimumNotNumeric: return L"Bitte einen numerischen Wert als Minimalwert eintragen.";
    case RuleFault::MinimumOutOfRange: return L"Bitte einen g\u00FCltigen Wert als Minimalwert eintragen.";
    case RuleFault::MaximumNotNumeric: return L"Bitte einen numerischen Wert als Maximalwert eintragen.";
    case RuleFault::MaximumOutOfRange: return L"Bitte einen g\u00FCltigen Wert als Maximalwert eintragen.";
    case RuleFault::MaximumBelowMinimum: return L"Der Maximalwert muss gr\u00F6\u00DFer sein als der Minimalwert";
    // Only a stored rule read again under other separators comes to these.
    case RuleFault::ChannelChanged:
        return L"Der Kanal ergibt mit den jetzigen Trennzeichen einen anderen Wert als beim Hinzuf\u00FCgen.";
    case RuleFault::MinimumChanged:
        return L"Der Minimalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert als beim Hinzuf\u00FCgen.";
    case RuleFault::MaximumChanged:
        return L"Der Maximalwert ergibt mit den jetzigen Trennzeichen einen anderen Wert als beim Hinzuf\u00FCgen.";
    }
    return {};
}

RuleCheck CheckNewRule(std::wstring_view channel, std::wstring_view minimum,
                       std::wstring_view maximum, std::int32_t row_count,
                       const NumberFormat& format) {
    const RuleFault fault = ReadRule(channel, minimum, maximum, format).fault;
    if (fault != RuleFault::None) return {false, FieldOf(fault), RuleFaultMessage(fault)};
    if (row_count >= kMaxRuleRows) return {false, RuleField::None, kTableFull};
    return {true, RuleField::None, {}};
}

}  // namespace zorvane
