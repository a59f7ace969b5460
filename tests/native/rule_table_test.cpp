#include "clamp/rule_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/host_error.h"

namespace zorvane {

// Found by the test framework through the argument's namespace.
void PrintTo(const RuleValues& v, std::ostream* out) {
    *out << "{" << v.channel << ", " << v.minimum << ", " << v.maximum << "}";
}

namespace {

struct RowError {
    std::int32_t code;
    std::wstring description;
};

// The row's values, or the error Row threw.
std::optional<RowError> RowErrorOf(const RuleTable& table, std::int16_t row) {
    try {
        table.Row(row);
    } catch (const HostError& error) {
        return RowError{error.code(), error.description()};
    }
    return std::nullopt;
}

TEST(RuleTable, ConvertsOnAppendAndKeepsTexts) {
    struct Case {
        NumberFormat format;
        std::wstring channel, minimum, maximum;
        RuleValues expected;
    };
    const Case cases[] = {
        {kEnglishFormat, L"5", L"10", L"200", {5, 10, 200}},
        {kEnglishFormat, L" 12\t", L"+0", L"2.55e2", {12, 0, 255}},
        {kGermanFormat, L"7,5", L"6,5", L"1.000", {8, 6, 1000}},
        {kEnglishFormat, L"1,000", L"-3", L"2147483647", {1000, -3, 2147483647}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel + L" " + c.minimum + L" " + c.maximum);
        RuleTable table(c.format);
        table.Append(L"1", L"2", L"3");
        table.Append(c.channel, c.minimum, c.maximum);

        ASSERT_EQ(2, table.RowCount());
        EXPECT_EQ((RuleValues{1, 2, 3}), table.Row(0));
        EXPECT_EQ(c.expected, table.Row(1));
        EXPECT_EQ(c.channel, table.ChannelText(1));
        EXPECT_EQ(c.minimum, table.MinimumText(1));
        EXPECT_EQ(c.maximum, table.MaximumText(1));
    }
}

TEST(RuleTable, RowReportsTheFirstFailedField) {
    struct Case {
        std::wstring channel, minimum, maximum;
        std::int32_t code;
        std::wstring description;
    };
    const Case cases[] = {
        {L"x", L"10", L"20", kTypeMismatch, L"Der Text \"x\" ist keine Zahl."},
        {L"", L"y", L"z", kTypeMismatch, L"Der Text \"\" ist keine Zahl."},
        {L"5", L"y", L"z", kTypeMismatch, L"Der Text \"y\" ist keine Zahl."},
        {L"5", L"10", L"z", kTypeMismatch, L"Der Text \"z\" ist keine Zahl."},
        {L"5", L"10", L"1e400", kTypeMismatch, L"Der Text \"1e400\" ist keine Zahl."},
        {L"3000000000", L"y", L"1", kOverflow,
         L"Die Zahl \"3000000000\" ist zu gro\u00DF oder zu klein."},
        {L"5", L"-2147483649", L"x", kOverflow,
         L"Die Zahl \"-2147483649\" ist zu gro\u00DF oder zu klein."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel + L" " + c.minimum + L" " + c.maximum);
        RuleTable table;
        table.Append(c.channel, c.minimum, c.maximum);
        table.Append(L"1", L"2", L"3");

        const std::optional<RowError> error = RowErrorOf(table, 0);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(c.code, error->code);
        EXPECT_EQ(c.description, error->description);
        EXPECT_EQ((RuleValues{1, 2, 3}), table.Row(1));  // the other rows are unaffected
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
            const auto row = static_cast<std::int16_t>(i);
            EXPECT_EQ(c.remaining_channels[i], table.Row(row).channel);
            EXPECT_EQ(std::to_wstring(c.remaining_channels[i]), table.ChannelText(row));
        }
    }
}

TEST(RuleTable, SetFormatReconvertsEveryRow) {
    RuleTable table(kEnglishFormat);
    table.Append(L"1,5", L",5", L"1.000");
    table.Append(L"2.5", L"0", L"9");

    struct Step {
        NumberFormat format;
        std::optional<RuleValues> row0;  // no value: the minimum does not convert
        RuleValues row1;
    };
    const Step steps[] = {
        {kEnglishFormat, std::nullopt, {2, 0, 9}},
        {kGermanFormat, RuleValues{2, 0, 1000}, {25, 0, 9}},
        {kGermanFormat, RuleValues{2, 0, 1000}, {25, 0, 9}},
        {kEnglishFormat, std::nullopt, {2, 0, 9}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::wstring(1, step.format.decimal));
        table.SetFormat(step.format);
        EXPECT_EQ(step.format.decimal, table.format().decimal);
        if (step.row0) {
            EXPECT_EQ(*step.row0, table.Row(0));
        } else {
            const auto error = RowErrorOf(table, 0);
            ASSERT_TRUE(error.has_value());
            EXPECT_EQ(L"Der Text \",5\" ist keine Zahl.", error->description);
        }
        EXPECT_EQ(step.row1, table.Row(1));
        EXPECT_EQ(L"1,5", table.ChannelText(0));
        EXPECT_EQ(L",5", table.MinimumText(0));
        EXPECT_EQ(L"1.000", table.MaximumText(0));
    }
}

TEST(RuleTable, RowsOutsideTheTableAreErrors) {
    RuleTable table;
    table.Append(L"1", L"2", L"3");
    for (std::int16_t row : {std::int16_t{-1}, std::int16_t{1}, std::int16_t{32767}}) {
        SCOPED_TRACE(row);
        EXPECT_THROW(table.Row(row), HostError);
        EXPECT_THROW(table.ChannelText(row), HostError);
        EXPECT_THROW(table.MinimumText(row), HostError);
        EXPECT_THROW(table.MaximumText(row), HostError);
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
    EXPECT_EQ(2, table.Row(32766).channel);
}

// Random appends and removes against a plain list of what should be there.
TEST(RuleTable, MatchesASimpleModel) {
    struct Field {
        std::wstring text;
        std::optional<std::int32_t> value;
        std::int32_t error;  // when there is no value
    };
    const std::vector<Field> pool = {
        {L"5", 5, 0},        {L" 12 ", 12, 0},         {L"7.5", 8, 0},
        {L"6.5", 6, 0},      {L"1,000", 1000, 0},      {L"-3", -3, 0},
        {L"x", std::nullopt, kTypeMismatch}, {L"", std::nullopt, kTypeMismatch},
        {L"3e9", std::nullopt, kOverflow},
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
            const auto row = static_cast<std::int16_t>(i);
            const Field& channel = pool[model[i].channel];
            const Field& minimum = pool[model[i].minimum];
            const Field& maximum = pool[model[i].maximum];
            ASSERT_EQ(channel.text, table.ChannelText(row));
            ASSERT_EQ(minimum.text, table.MinimumText(row));
            ASSERT_EQ(maximum.text, table.MaximumText(row));
            const Field* first_failed = !channel.value ? &channel : !minimum.value ? &minimum
                                        : !maximum.value ? &maximum : nullptr;
            const std::optional<RowError> error = RowErrorOf(table, row);
            if (first_failed) {
                ASSERT_TRUE(error.has_value());
                ASSERT_EQ(first_failed->error, error->code);
                ASSERT_NE(std::wstring::npos, error->description.find(L"\"" + first_failed->text + L"\""));
            } else {
                ASSERT_FALSE(error.has_value());
                ASSERT_EQ((RuleValues{*channel.value, *minimum.value, *maximum.value}), table.Row(row));
            }
        }
    }
}

}  // namespace
}  // namespace zorvane
