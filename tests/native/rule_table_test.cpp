#include "clamp/rule_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/host_error.h"
#include "tests/native/rule_printing.h"

namespace zorvane {

void PrintTo(const RowFault& f, std::ostream* out) {
    *out << "{row " << f.row << ", fault " << static_cast<int>(f.fault) << "}";
}

namespace {

constexpr RuleValues kNone{0, 0, 0};

RuleReading Good(RuleValues values) { return {RuleFault::None, values}; }
RuleReading Bad(RuleFault fault) { return {fault, kNone}; }

TEST(RuleTable, ReadsEachRowOnAppend) {
    struct Case {
        NumberFormat format;
        std::wstring channel, minimum, maximum;
        RuleReading expected;
    };
    const Case cases[] = {
        {kEnglishFormat, L"5", L"10", L"200", Good({5, 10, 200})},
        {kEnglishFormat, L" 12\t", L"+0", L"2.55e2", Good({12, 0, 255})},
        {kGermanFormat, L"7,5", L"6,5", L"2,55e2", Good({8, 6, 255})},
        {kEnglishFormat, L"3.5e2", L"1,5", L"2,5", Good({350, 15, 25})},
        {kEnglishFormat, L"x", L"10", L"20", Bad(RuleFault::ChannelNotNumeric)},
        {kGermanFormat, L"1.000", L"0", L"1", Bad(RuleFault::ChannelOutOfRange)},
        {kEnglishFormat, L"5", L"", L"z", Bad(RuleFault::MinimumNotNumeric)},
        {kEnglishFormat, L"5", L"-2147483649", L"x", Bad(RuleFault::MinimumOutOfRange)},
        {kEnglishFormat, L"5", L"10", L"z", Bad(RuleFault::MaximumNotNumeric)},
        {kEnglishFormat, L"5", L"10", L"3000000000", Bad(RuleFault::MaximumOutOfRange)},
        {kEnglishFormat, L"5", L"100", L"60", Bad(RuleFault::MaximumBelowMinimum)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel + L" " + c.minimum + L" " + c.maximum);
        RuleTable table(c.format);
        table.Append(L"1", L"2", L"3");
        table.Append(c.channel, c.minimum, c.maximum);
        table.Append(L"4", L"5", L"6");

        ASSERT_EQ(3, table.RowCount());
        EXPECT_EQ(c.expected, table.Row(1));
        EXPECT_EQ(Good({1, 2, 3}), table.Row(0));  // the other rows are unaffected
        EXPECT_EQ(Good({4, 5, 6}), table.Row(2));
    }
}

TEST(RuleTable, RemoveKeepsTheOthersInOrder) {
    struct Case {
        std::int16_t row;
        std::vector<std::int32_t> remaining_channels;
    };
    const Case cases[] = {
        {0, {2, 3, 4}}, {1, {1, 3, 4}}, {3, {1, 2, 3}},
        {-1, {1, 2, 3, 4}}, {4, {1, 2, 3, 4}}, {32767, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        RuleTable table;
        for (const wchar_t* channel : {L"1", L"2", L"3", L"4"}) table.Append(channel, L"0", L"255");

        table.Remove(c.row);

        ASSERT_EQ(static_cast<std::int16_t>(c.remaining_channels.size()), table.RowCount());
        for (std::size_t i = 0; i < c.remaining_channels.size(); ++i) {
            EXPECT_EQ(Good({c.remaining_channels[i], 0, 255}), table.Row(static_cast<std::int16_t>(i)));
        }
    }
}

// Each row typed once, read again whenever the separators change: as the rule it was
// added as, or as no rule ("2.5" was channel 25 with a decimal comma, 2 with a point).
TEST(RuleTable, SetFormatReadsEveryRowAgain) {
    RuleTable table(kGermanFormat);
    table.Append(L"51,24", L"0", L"255");
    table.Append(L"11", L"100,4", L"200");
    table.Append(L"13", L"5,5", L"10");
    table.Append(L"2.5", L"0", L"9");

    struct Step {
        NumberFormat format;
        RuleReading rows[4];
    };
    const Step steps[] = {
        {kEnglishFormat,
         {Bad(RuleFault::ChannelOutOfRange), Bad(RuleFault::MinimumOutOfRange),
          Bad(RuleFault::MaximumBelowMinimum), Bad(RuleFault::ChannelChanged)}},
        {kGermanFormat, {Good({51, 0, 255}), Good({11, 100, 200}), Good({13, 6, 10}), Good({25, 0, 9})}},
        {kGermanFormat, {Good({51, 0, 255}), Good({11, 100, 200}), Good({13, 6, 10}), Good({25, 0, 9})}},
        {kEnglishFormat,
         {Bad(RuleFault::ChannelOutOfRange), Bad(RuleFault::MinimumOutOfRange),
          Bad(RuleFault::MaximumBelowMinimum), Bad(RuleFault::ChannelChanged)}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::wstring(1, step.format.decimal));
        table.SetFormat(step.format);
        EXPECT_EQ(step.format.decimal, table.format().decimal);
        for (std::int16_t row = 0; row < 4; ++row) EXPECT_EQ(step.rows[row], table.Row(row)) << "row " << row;
    }
}

// A row is named when it comes to read as no rule, or as no rule for another reason; not
// again while it stays so; again after it has read as a rule in between.
TEST(RuleTable, NewFaultsAreTakenOnceWhileTheyLast) {
    RuleTable table(kGermanFormat);
    EXPECT_TRUE(table.TakeNewFaults().empty());
    table.Append(L"5", L"10", L"200");
    table.Append(L"51,24", L"0", L"255");     // 5124 with a decimal point
    table.Append(L"13", L"5,5", L"10");       // minimum 55 with a decimal point
    table.Append(L"1.000", L"0", L"255");     // 1000 with a decimal comma, 1 with a point
    table.Append(L"1,5", L"0", L"255");       // channel 2 with a decimal comma, 15 with a point

    using Faults = std::vector<RowFault>;
    struct Step {
        const char* name;
        NumberFormat format;
        Faults taken;
    };
    const Step steps[] = {
        {"typed under German separators", kGermanFormat, {{3, RuleFault::ChannelOutOfRange}}},
        {"no change", kGermanFormat, {}},
        {"a decimal point", kEnglishFormat,
         {{1, RuleFault::ChannelOutOfRange}, {2, RuleFault::MaximumBelowMinimum}, {4, RuleFault::ChannelChanged}}},
        {"a decimal point still", kEnglishFormat, {}},
        {"German again: row 3 is out of range again", kGermanFormat, {{3, RuleFault::ChannelOutOfRange}}},
        {"a decimal point again", kEnglishFormat,
         {{1, RuleFault::ChannelOutOfRange}, {2, RuleFault::MaximumBelowMinimum}, {4, RuleFault::ChannelChanged}}},
        // The same texts, another reason: a blank decimal and group read "5,5" as 5,5 no more.
        {"a blank for both", NumberFormat{L' ', L' '},
         {{1, RuleFault::ChannelNotNumeric}, {2, RuleFault::MinimumNotNumeric}, {3, RuleFault::ChannelNotNumeric},
          {4, RuleFault::ChannelNotNumeric}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        table.SetFormat(step.format);
        EXPECT_EQ(step.taken, table.TakeNewFaults());
        EXPECT_TRUE(table.TakeNewFaults().empty()) << "taken twice";
    }

    // Rows removed and appended: the rows left keep what was taken of them.
    table.Remove(0);
    EXPECT_TRUE(table.TakeNewFaults().empty());
    table.Append(L"x", L"0", L"1");
    table.Append(L"7", L"0", L"1");
    EXPECT_EQ(Faults({{4, RuleFault::ChannelNotNumeric}}), table.TakeNewFaults());
    table.Clear();
    table.Append(L"7", L"0", L"1");
    EXPECT_TRUE(table.TakeNewFaults().empty());
}

TEST(RuleTable, RowsOutsideTheTableAreErrors) {
    RuleTable table;
    table.Append(L"1", L"2", L"3");
    for (std::int16_t row : {std::int16_t{-1}, std::int16_t{1}, std::int16_t{32767}}) {
        SCOPED_TRACE(row);
        try {
            table.Row(row);
            ADD_FAILURE() << "no error";
        } catch (const HostError& error) {
            EXPECT_EQ(static_cast<std::int32_t>(0x8002000B), error.code());  // DISP_E_BADINDEX
        }
    }
    table.Clear();
    EXPECT_EQ(0, table.RowCount());
    EXPECT_THROW(table.Row(0), HostError);
}

TEST(RuleTable, HoldsAtMost32767Rows) {
    RuleTable table;
    for (int i = 0; i < 32767; ++i) table.Append(L"1", L"0", L"255");
    EXPECT_EQ(32767, table.RowCount());
    EXPECT_THROW(table.Append(L"2", L"0", L"255"), HostError);
    EXPECT_EQ(32767, table.RowCount());
    table.Remove(32766);
    table.Append(L"2", L"0", L"255");
    EXPECT_EQ(2, table.Row(32766).values.channel);
}

// Random appends and removes against a plain list of what should be there.
TEST(RuleTable, MatchesASimpleModel) {
    struct Field {
        std::wstring text;
        std::optional<double> value;  // as typed, under English separators
    };
    const std::vector<Field> pool = {
        {L"5", 5},      {L" 12 ", 12},  {L"7.5", 7.5},   {L"6.5", 6.5}, {L"1,000", 1000},
        {L"-3", -3},    {L"255", 255},  {L"0", 0},       {L"x", std::nullopt},
        {L"", std::nullopt}, {L"3e9", 3e9},
    };
    // The rule as a person checks it: each field in its range in turn, then the order.
    const auto expected = [&](const Field& channel, const Field& minimum, const Field& maximum) -> RuleReading {
        if (!channel.value) return Bad(RuleFault::ChannelNotNumeric);
        if (*channel.value < 1 || *channel.value > 512) return Bad(RuleFault::ChannelOutOfRange);
        if (!minimum.value) return Bad(RuleFault::MinimumNotNumeric);
        if (*minimum.value < 0 || *minimum.value > 255) return Bad(RuleFault::MinimumOutOfRange);
        if (!maximum.value) return Bad(RuleFault::MaximumNotNumeric);
        if (*maximum.value < 0 || *maximum.value > 255) return Bad(RuleFault::MaximumOutOfRange);
        if (*maximum.value < *minimum.value) return Bad(RuleFault::MaximumBelowMinimum);
        // Halves in the pool: 7.5 to 8, 6.5 to 6.
        const auto whole = [](double v) { return v == 7.5 ? 8 : v == 6.5 ? 6 : static_cast<std::int32_t>(v); };
        return Good({whole(*channel.value), whole(*minimum.value), whole(*maximum.value)});
    };
    struct ModelRow {
        std::size_t channel, minimum, maximum;  // indexes into the pool
    };
    std::vector<ModelRow> model;
    RuleTable table;
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);

    for (int step = 0; step < 2000; ++step) {
        if (random() % 2 == 0) {
            const ModelRow row{pick(random), pick(random), pick(random)};
            table.Append(pool[row.channel].text, pool[row.minimum].text, pool[row.maximum].text);
            model.push_back(row);
        } else {
            const int span = static_cast<int>(model.size()) + 4;
            const auto row = static_cast<std::int16_t>(static_cast<int>(random() % span) - 2);
            table.Remove(row);
            if (row >= 0 && static_cast<std::size_t>(row) < model.size()) model.erase(model.begin() + row);
        }

        SCOPED_TRACE(step);
        ASSERT_EQ(static_cast<std::int16_t>(model.size()), table.RowCount());
        for (std::size_t i = 0; i < model.size(); ++i) {
            const ModelRow& row = model[i];
            ASSERT_EQ(expected(pool[row.channel], pool[row.minimum], pool[row.maximum]),
                      table.Row(static_cast<std::int16_t>(i)))
                << "row " << i;
        }
    }
}

}  // namespace
}  // namespace zorvane
