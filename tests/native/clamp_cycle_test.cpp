#include "clamp/clamp_cycle.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/host_error.h"

namespace zorvane {
namespace {

// One call the tick made, on the rule source or the channel port.
struct Call {
    enum Kind { Count, Row, Read, Set } kind;
    std::int32_t a = 0;  // row or channel
    std::int32_t b = 0;  // value written

    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Call& call) {
    switch (call.kind) {
        case Call::Count: return out << "Count";
        case Call::Row: return out << "Row(" << call.a << ")";
        case Call::Read: return out << "Read(" << call.a << ")";
        case Call::Set: return out << "Set(" << call.a << "=" << call.b << ")";
    }
    return out;
}

Call CountCall() { return {Call::Count}; }
Call RowCall(std::int32_t row) { return {Call::Row, row}; }
Call ReadCall(std::int32_t channel) { return {Call::Read, channel}; }
Call SetCall(std::int32_t channel, std::int32_t value) { return {Call::Set, channel, value}; }

using CallLog = std::vector<Call>;

// Where a fake fails: on the n-th call (from 0) of one kind.
struct Failure {
    Call::Kind kind;
    int at;
};
constexpr std::int32_t kFakeFailureCode = static_cast<std::int32_t>(0x80040201);

class FakeRules final : public RuleSource {
public:
    FakeRules(std::vector<RuleReading> rows, CallLog& log, std::optional<Failure> failure = {})
        : rows_(std::move(rows)), log_(log), failure_(failure) {}
    FakeRules(const std::vector<RuleValues>& rules, CallLog& log, std::optional<Failure> failure = {})
        : FakeRules(Readings(rules), log, failure) {}

    std::int16_t RowCount() const override {
        log_.push_back(CountCall());
        return static_cast<std::int16_t>(rows_.size());
    }
    RuleReading Row(std::int16_t row) const override {
        log_.push_back(RowCall(row));
        if (failure_ && failure_->kind == Call::Row && failure_->at == row) {
            throw HostError(kTypeMismatch, L"Das Fenster ist geschlossen.");
        }
        return rows_.at(static_cast<std::size_t>(row));
    }

private:
    static std::vector<RuleReading> Readings(const std::vector<RuleValues>& rules) {
        std::vector<RuleReading> readings;
        for (const RuleValues& rule : rules) readings.push_back({RuleFault::None, rule});
        return readings;
    }

    std::vector<RuleReading> rows_;
    CallLog& log_;
    std::optional<Failure> failure_;
};

// A universe of 512 channels that remembers what was written.
class FakeChannels final : public ChannelPort {
public:
    FakeChannels(CallLog& log, std::optional<Failure> failure = {}) : log_(log), failure_(failure) {}

    double ReadChannelValue(std::int32_t& channel) override {
        log_.push_back(ReadCall(channel));
        FailIfDue(Call::Read, reads_++);
        return values.at(static_cast<std::size_t>(channel));
    }
    void SetChannelValue(std::int32_t& channel, std::int32_t& value) override {
        log_.push_back(SetCall(channel, value));
        FailIfDue(Call::Set, sets_++);
        values.at(static_cast<std::size_t>(channel)) = value;
    }

    std::array<double, 513> values{};

private:
    void FailIfDue(Call::Kind kind, int n) {
        if (failure_ && failure_->kind == kind && failure_->at == n) {
            throw HostError(kFakeFailureCode, L"Kanal nicht erreichbar", L"Host");
        }
    }

    CallLog& log_;
    std::optional<Failure> failure_;
    int reads_ = 0;
    int sets_ = 0;
};

struct Level {
    std::int32_t channel;
    double value;
};

TEST(RunClampTick, CallSequences) {
    struct Case {
        const char* name;
        std::vector<RuleValues> rules;
        std::vector<Level> host;
        CallLog expected;
    };
    const Case cases[] = {
        {"two rules, one below and one above its band",
         {{5, 10, 200}, {7, 0, 100}},
         {{5, 3}, {7, 150}},
         {CountCall(), RowCall(0), ReadCall(5), SetCall(5, 10), RowCall(1), ReadCall(7), SetCall(7, 100)}},
        {"one rule above its band",
         {{1, 20, 30}},
         {{1, 40}},
         {CountCall(), RowCall(0), ReadCall(1), SetCall(1, 30)}},
        {"empty table", {}, {}, {CountCall()}},
        {"value equal to the minimum or the maximum stays",
         {{3, 10, 20}, {4, 10, 20}},
         {{3, 10}, {4, 20}},
         {CountCall(), RowCall(0), ReadCall(3), RowCall(1), ReadCall(4)}},
        {"one-value band, below, above and on it",
         {{1, 50, 50}, {2, 50, 50}, {3, 50, 50}},
         {{1, 49}, {2, 51}, {3, 50}},
         {CountCall(), RowCall(0), ReadCall(1), SetCall(1, 50), RowCall(1), ReadCall(2), SetCall(2, 50),
          RowCall(2), ReadCall(3)}},
        {"the full range never writes",
         {{1, 0, 255}, {2, 0, 255}, {512, 0, 255}},
         {{1, 0}, {2, 255}, {512, 128}},
         {CountCall(), RowCall(0), ReadCall(1), RowCall(1), ReadCall(2), RowCall(2), ReadCall(512)}},
        {"two rules on one channel read it twice and see the first write",
         {{9, 0, 100}, {9, 50, 60}},
         {{9, 120}},
         {CountCall(), RowCall(0), ReadCall(9), SetCall(9, 100), RowCall(1), ReadCall(9), SetCall(9, 60)}},
        {"fractions compare as read",
         {{1, 11, 20}, {2, 11, 20}, {3, 11, 20}},
         {{1, 10.999}, {2, 20.001}, {3, 11.0}},
         {CountCall(), RowCall(0), ReadCall(1), SetCall(1, 11), RowCall(1), ReadCall(2), SetCall(2, 20),
          RowCall(2), ReadCall(3)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CallLog log;
        FakeRules rules(c.rules, log);
        FakeChannels channels(log);
        for (const Level& level : c.host) channels.values[static_cast<std::size_t>(level.channel)] = level.value;

        RunClampTick(rules, channels);

        EXPECT_EQ(c.expected, log);
    }
}

// Rows that read as no rule carry values a host must never see (channel 5124, minimum
// 1004, a minimum above the maximum, which would write channel 13 twice): they get no
// port call at all, and the rows around them are clamped as ever.
TEST(RunClampTick, RowsThatReadAsNoRuleGetNoCall) {
    const std::vector<RuleReading> rows = {
        {RuleFault::None, {5, 10, 200}},
        {RuleFault::ChannelOutOfRange, {5124, 0, 255}},
        {RuleFault::MinimumOutOfRange, {11, 1004, 200}},
        {RuleFault::MaximumBelowMinimum, {13, 55, 10}},
        {RuleFault::MinimumNotNumeric, {0, 0, 0}},
        {RuleFault::None, {9, 50, 60}},
    };
    CallLog log;
    FakeRules rules(rows, log);
    FakeChannels channels(log);
    channels.values[5] = 3;
    channels.values[11] = 100;
    channels.values[13] = 50;
    channels.values[9] = 42;

    RunClampTick(rules, channels);

    EXPECT_EQ((CallLog{CountCall(), RowCall(0), ReadCall(5), SetCall(5, 10), RowCall(1), RowCall(2), RowCall(3),
                       RowCall(4), RowCall(5), ReadCall(9), SetCall(9, 50)}),
              log);
}

TEST(RunClampTick, FirstFailureEndsTheTick) {
    // Three rules, every channel out of its band; the failure hits row 1.
    const std::vector<RuleValues> rules_rows = {{1, 10, 20}, {2, 10, 20}, {3, 10, 20}};
    struct Case {
        const char* name;
        Failure failure;
        std::int32_t code;
        CallLog expected;
    };
    const Case cases[] = {
        {"row", {Call::Row, 1}, kTypeMismatch,
         {CountCall(), RowCall(0), ReadCall(1), SetCall(1, 10), RowCall(1)}},
        {"read", {Call::Read, 1}, kFakeFailureCode,
         {CountCall(), RowCall(0), ReadCall(1), SetCall(1, 10), RowCall(1), ReadCall(2)}},
        {"write", {Call::Set, 1}, kFakeFailureCode,
         {CountCall(), RowCall(0), ReadCall(1), SetCall(1, 10), RowCall(1), ReadCall(2), SetCall(2, 20)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CallLog log;
        FakeRules rules(rules_rows, log, c.failure);
        FakeChannels channels(log, c.failure);
        channels.values[1] = 5;
        channels.values[2] = 99;
        channels.values[3] = 0;

        std::optional<std::int32_t> thrown;
        try {
            RunClampTick(rules, channels);
        } catch (const HostError& error) {
            thrown = error.code();
        }

        EXPECT_EQ(c.code, thrown);
        EXPECT_EQ(c.expected, log);
        EXPECT_EQ(10, channels.values[1]);  // row 0's write stays made
        EXPECT_EQ(99, channels.values[2]);
        EXPECT_EQ(0, channels.values[3]);
    }
}

}  // namespace
}  // namespace zorvane
