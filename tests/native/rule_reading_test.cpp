#include "clamp/rule_reading.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/native/rule_printing.h"

namespace zorvane {
namespace {

constexpr RuleValues kNone{0, 0, 0};

TEST(ReadRule, TheFirstFailingTestDecidesAndGoodRulesAreRounded) {
    struct Case {
        std::wstring channel, minimum, maximum;
        NumberFormat format;
        RuleReading expected;
    };
    const NumberFormat en = kEnglishFormat;
    const NumberFormat de = kGermanFormat;
    const Case cases[] = {
        // Rules, bounds included; halves go to the even neighbour.
        {L"1", L"0", L"255", en, {RuleFault::None, {1, 0, 255}}},
        {L"512", L"7", L"7", en, {RuleFault::None, {512, 7, 7}}},
        {L"7,5", L"6,5", L"254,5", de, {RuleFault::None, {8, 6, 254}}},
        {L"51,24", L"100,4", L"200", de, {RuleFault::None, {51, 100, 200}}},
        {L"13", L"5,5", L"10", de, {RuleFault::None, {13, 6, 10}}},
        {L" 1.5e2 ", L"+0", L"2.55E2", en, {RuleFault::None, {150, 0, 255}}},
        {L"9,9", L"9.4", L"9.6", en, {RuleFault::None, {99, 9, 10}}},  // group comma: 99
        {L"1", L"9.5", L"9.6", en, {RuleFault::None, {1, 10, 10}}},    // both round to 10
        // The same texts under the other separators: out of range, or out of order.
        {L"51,24", L"0", L"255", en, {RuleFault::ChannelOutOfRange, kNone}},
        {L"11", L"100,4", L"200", en, {RuleFault::MinimumOutOfRange, kNone}},
        {L"13", L"5,5", L"10", en, {RuleFault::MaximumBelowMinimum, kNone}},
        {L"9", L"0", L"2.550", de, {RuleFault::MaximumOutOfRange, kNone}},
        // Each field: no number, and just outside its range.
        {L"", L"0", L"255", en, {RuleFault::ChannelNotNumeric, kNone}},
        {L"1,5,", L"x", L"y", de, {RuleFault::ChannelNotNumeric, kNone}},
        {L"0,99", L"0", L"255", de, {RuleFault::ChannelOutOfRange, kNone}},
        {L"512.01", L"x", L"y", en, {RuleFault::ChannelOutOfRange, kNone}},
        {L"3e9", L"0", L"255", en, {RuleFault::ChannelOutOfRange, kNone}},
        {L"5", L"zehn", L"y", en, {RuleFault::MinimumNotNumeric, kNone}},
        {L"5", L"-0,01", L"y", de, {RuleFault::MinimumOutOfRange, kNone}},
        {L"5", L"255.5", L"255", en, {RuleFault::MinimumOutOfRange, kNone}},
        {L"5", L"0", L"1e400", en, {RuleFault::MaximumNotNumeric, kNone}},
        {L"5", L"0", L"-1", en, {RuleFault::MaximumOutOfRange, kNone}},
        {L"5", L"7,5", L"7,4", de, {RuleFault::MaximumBelowMinimum, kNone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel + L" | " + c.minimum + L" | " + c.maximum + L" | decimal " + c.format.decimal);
        EXPECT_EQ(c.expected, ReadRule(c.channel, c.minimum, c.maximum, c.format));
    }
}

// A stored rule read under the separators of now is the rule it was added as, or none:
// the first field whose whole number differs is named; a reading that is no rule keeps
// its own fault, and a row added as no rule reads as it reads now.
TEST(ReadAsAdded, AStoredRuleReadsAsAddedOrAsNoRule) {
    struct Case {
        std::wstring channel, minimum, maximum;
        NumberFormat added, now;
        RuleReading expected;
    };
    const NumberFormat en = kEnglishFormat;
    const NumberFormat de = kGermanFormat;
    const NumberFormat blanks{L' ', L' '};
    const Case cases[] = {
        // Another rule within range: channel 2 as 15, minimum 12 as 125, maximum 2 as 25,
        // minimum 104 as 10; the channel is named first when all three differ.
        {L"1,5", L"0", L"255", de, en, {RuleFault::ChannelChanged, kNone}},
        {L"8", L"12,5", L"255", de, en, {RuleFault::MinimumChanged, kNone}},
        {L"11", L"0", L"2,5", de, en, {RuleFault::MaximumChanged, kNone}},
        {L"13", L"10,4", L"200", en, de, {RuleFault::MinimumChanged, kNone}},
        {L"1,5", L"12,5", L"20,5", de, en, {RuleFault::ChannelChanged, kNone}},
        {L"1.5", L"0", L"255", en, de, {RuleFault::ChannelChanged, kNone}},
        // The same rule: unchanged separators, texts without either, another group only.
        {L"7,5", L"6,5", L"254,5", de, de, {RuleFault::None, {8, 6, 254}}},
        {L"5", L"10", L"2e2", de, en, {RuleFault::None, {5, 10, 200}}},
        {L"7,5", L"6,5", L"254,5", de, NumberFormat{L',', L' '}, {RuleFault::None, {8, 6, 254}}},
        // No rule now: its own fault, as for a row that left the range.
        {L"51,24", L"0", L"255", de, en, {RuleFault::ChannelOutOfRange, kNone}},
        {L"13", L"5,5", L"10", de, en, {RuleFault::MaximumBelowMinimum, kNone}},
        {L"1,5", L"0", L"255", de, blanks, {RuleFault::ChannelNotNumeric, kNone}},
        // Added as no rule: there is no rule to keep.
        {L"1.000", L"0", L"255", de, en, {RuleFault::None, {1, 0, 255}}},
        {L"x", L"0", L"255", de, en, {RuleFault::ChannelNotNumeric, kNone}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel + L" | " + c.minimum + L" | " + c.maximum + L" | decimal " + c.added.decimal +
                     L" then " + c.now.decimal);
        const RuleReading added = ReadRule(c.channel, c.minimum, c.maximum, c.added);
        EXPECT_EQ(c.expected, ReadAsAdded(added, ReadRule(c.channel, c.minimum, c.maximum, c.now)));
    }
}

// Whatever the texts and separators, what reads as a rule is one the host may be given:
// a channel in 1..512, values in 0..255, the minimum not above the maximum.
TEST(ReadRule, WhatReadsAsARuleIsAlwaysWithinRange) {
    const std::vector<std::wstring> pool = {
        L"0",    L"0.5",   L"0,5",   L"1",      L"1.5",    L"2,5",   L"9.5",   L"10,5",  L"100,4",
        L"254.5", L"254,5", L"255",   L"255.49", L"255,49", L"255.5", L"256",   L"511.5", L"512,4",
        L"512",  L"512.5", L"1,000", L"1.000",  L"-0",     L"-0.4",  L"5e2",   L"2,55e2", L"x"};
    std::mt19937 random(5122024);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    int rules = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::wstring& channel = pool[pick(random)];
        const std::wstring& minimum = pool[pick(random)];
        const std::wstring& maximum = pool[pick(random)];
        const NumberFormat format = random() % 2 == 0 ? kEnglishFormat : kGermanFormat;
        const RuleReading reading = ReadRule(channel, minimum, maximum, format);
        if (reading.fault != RuleFault::None) {
            ASSERT_EQ(kNone, reading.values);
            continue;
        }
        ++rules;
        SCOPED_TRACE(channel + L" | " + minimum + L" | " + maximum + L" | decimal " + format.decimal);
        ASSERT_GE(reading.values.channel, 1);
        ASSERT_LE(reading.values.channel, 512);
        ASSERT_GE(reading.values.minimum, 0);
        ASSERT_LE(reading.values.maximum, 255);
        ASSERT_LE(reading.values.minimum, reading.values.maximum);
    }
    EXPECT_GT(rules, 1000) << "too few of the drawn texts read as rules to tell anything";
}

}  // namespace
}  // namespace zorvane
