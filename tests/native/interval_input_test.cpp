#include "ui/interval_input.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace zorvane {
namespace {

const std::wstring kNotNumeric = L"Bitte einen numerischen Wert eingeben!";
const std::wstring kTooLarge = L"Bitte einen Wert unter 10000 eingeben!";
const std::wstring kTooSmall = L"Bitte einen Wert \u00FCber 0 eingeben!";

TEST(CheckInterval, AcceptsOneToTenThousandRounded) {
    struct Case {
        std::wstring text;
        NumberFormat format;
        std::optional<std::int32_t> interval;
        std::wstring message;  // when refused
    };
    const NumberFormat de = kGermanFormat;
    const Case cases[] = {
        {L"10000", de, 10000, L""},
        {L"1", de, 1, L""},
        {L"1,4", de, 1, L""},
        {L"9999,5", de, 10000, L""},
        {L"250,5", de, 250, L""},
        {L"251,5", de, 252, L""},
        {L"10.000", de, 10000, L""},
        {L" 100 ", de, 100, L""},
        {L"2.5", kEnglishFormat, 2, L""},
        {L"1e4", de, 10000, L""},
        {L"", de, std::nullopt, kNotNumeric},  // cancel
        {L"abc", de, std::nullopt, kNotNumeric},
        {L"2.5", de, 25, L""},  // a group separator in German
        {L"2,5,", de, std::nullopt, kNotNumeric},
        {L"1e400", de, std::nullopt, kNotNumeric},
        {L"10001", de, std::nullopt, kTooLarge},
        {L"10000,01", de, std::nullopt, kTooLarge},
        {L"1e10", de, std::nullopt, kTooLarge},
        {L"0", de, std::nullopt, kTooSmall},
        {L"0,5", de, std::nullopt, kTooSmall},
        {L"0,999", de, std::nullopt, kTooSmall},
        {L"-5", de, std::nullopt, kTooSmall},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const IntervalCheck check = CheckInterval(c.text, c.format);
        EXPECT_EQ(c.interval, check.interval_ms);
        EXPECT_EQ(c.message, check.message);
    }
}

}  // namespace
}  // namespace zorvane
