#include "ui/rule_input.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvane {
namespace {

const std::wstring kChannelNotNumeric = L"Bitte einen numerischen Wert als Kanal eintragen.";
const std::wstring kChannelInvalid = L"Bitte einen g\u00FCltigen Wert als Kanal eintragen.";
const std::wstring kMinimumNotNumeric = L"Bitte einen numerischen Wert als Minimalwert eintragen.";
const std::wstring kMinimumInvalid = L"Bitte einen g\u00FCltigen Wert als Minimalwert eintragen.";
const std::wstring kMaximumNotNumeric = L"Bitte einen numerischen Wert als Maximalwert eintragen.";
const std::wstring kMaximumInvalid = L"Bitte einen g\u00FCltigen Wert als Maximalwert eintragen.";
const std::wstring kMaximumBelowMinimum = L"Der Maximalwert muss gr\u00F6\u00DFer sein als der Minimalwert";
const std::wstring kTableFull = L"Es k\u00F6nnen nicht mehr als 32767 Eintr\u00E4ge angelegt werden.";
const std::wstring kAccepted;

TEST(CheckNewRule, FirstFailingTestDecides) {
    struct Case {
        std::wstring channel, minimum, maximum;
        std::int32_t rows;
        NumberFormat format;
        RuleField focus;
        std::wstring message;  // empty: accepted
    };
    const NumberFormat en = kEnglishFormat;
    const NumberFormat de = kGermanFormat;
    const Case cases[] = {
        // Accepted, bounds included.
        {L"512", L"0", L"255", 0, en, RuleField::None, kAccepted},
        {L"1", L"0", L"0", 0, en, RuleField::None, kAccepted},
        {L"7", L"7", L"7", 0, en, RuleField::None, kAccepted},
        {L"50", L"50", L"100", 10, en, RuleField::None, kAccepted},
        {L"1,5", L"0,5", L"254,9", 0, de, RuleField::None, kAccepted},
        {L" 12 ", L"+1e1", L"2.55E2", 0, en, RuleField::None, kAccepted},
        // Channel.
        {L"", L"0", L"255", 0, en, RuleField::Channel, kChannelNotNumeric},
        {L"abc", L"xyz", L"255", 0, en, RuleField::Channel, kChannelNotNumeric},
        {L"1.5", L"0", L"255", 0, de, RuleField::None, kAccepted},  // 15 in German
        {L"1,5,", L"0", L"255", 0, de, RuleField::Channel, kChannelNotNumeric},
        {L"513", L"0", L"255", 0, en, RuleField::Channel, kChannelInvalid},
        {L"0", L"0", L"255", 0, en, RuleField::Channel, kChannelInvalid},
        {L"0,99", L"0", L"255", 0, de, RuleField::Channel, kChannelInvalid},
        {L"512,01", L"0", L"255", 0, de, RuleField::Channel, kChannelInvalid},
        {L"-1", L"x", L"y", 0, en, RuleField::Channel, kChannelInvalid},
        // Minimum.
        {L"5", L"", L"255", 0, en, RuleField::Minimum, kMinimumNotNumeric},
        {L"5", L"x", L"y", 0, en, RuleField::Minimum, kMinimumNotNumeric},
        {L"5", L"-1", L"255", 0, en, RuleField::Minimum, kMinimumInvalid},
        {L"5", L"256", L"255", 0, en, RuleField::Minimum, kMinimumInvalid},
        {L"5", L"-0,01", L"255", 0, de, RuleField::Minimum, kMinimumInvalid},
        // Maximum.
        {L"5", L"0", L"", 0, en, RuleField::Maximum, kMaximumNotNumeric},
        {L"5", L"0", L"1e400", 0, en, RuleField::Maximum, kMaximumNotNumeric},
        {L"5", L"0", L"-1", 0, en, RuleField::Maximum, kMaximumInvalid},
        {L"5", L"0", L"256", 0, en, RuleField::Maximum, kMaximumInvalid},
        {L"5", L"0", L"255,5", 0, de, RuleField::Maximum, kMaximumInvalid},
        // Maximum below minimum: no field gets the focus.
        {L"5", L"100", L"60", 0, en, RuleField::None, kMaximumBelowMinimum},
        {L"5", L"7,5", L"7,4", 0, de, RuleField::None, kMaximumBelowMinimum},
        {L"5", L"100", L"60", 32767, en, RuleField::None, kMaximumBelowMinimum},
        // A full table, after the field tests.
        {L"5", L"0", L"255", 32766, en, RuleField::None, kAccepted},
        {L"5", L"0", L"255", 32767, en, RuleField::None, kTableFull},
        {L"5", L"0", L"255", 40000, en, RuleField::None, kTableFull},
        {L"513", L"0", L"255", 32767, en, RuleField::Channel, kChannelInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel + L" | " + c.minimum + L" | " + c.maximum + L" | rows " + std::to_wstring(c.rows));
        const RuleCheck check = CheckNewRule(c.channel, c.minimum, c.maximum, c.rows, c.format);
        EXPECT_EQ(c.message.empty(), check.accepted);
        EXPECT_EQ(c.focus, check.focus);
        EXPECT_EQ(c.message, check.message);
    }
}

}  // namespace
}  // namespace zorvane
