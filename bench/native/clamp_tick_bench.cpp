// What a tick costs beyond its port calls: RunClampTick over a converted rule table,
// against a "floor" loop making the very same port calls from a plain array of rules.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/native/array_port.h"
#include "clamp/clamp_cycle.h"
#include "clamp/rule_table.h"

namespace zorvane::bench {
namespace {

constexpr int kRuleCounts[] = {1, 512, 32767};

struct Scenario {
    const char* name;
    double level;  // every channel reads this; every rule's band is 10..200
};
constexpr Scenario kScenarios[] = {{"in_band", 100.0}, {"out_of_band", 250.0}};

struct Fixture {
    RuleTable table;
    std::vector<RuleValues> rules;
    ArrayPort port;

    Fixture(int count, double level) {
        for (int i = 0; i < count; ++i) {
            const int channel = i % 512 + 1;
            table.Append(std::to_wstring(channel), L"10", L"200");
            rules.push_back({channel, 10, 200});
        }
        port.levels.fill(level);
    }
};

// The same calls as a tick, without the rule source in between.
[[gnu::noinline]] void FloorTick(const std::vector<RuleValues>& rules, ChannelPort& channels) {
    for (const RuleValues& rule : rules) {
        std::int32_t channel = rule.channel;
        const double value = channels.ReadChannelValue(channel);
        if (value < rule.minimum) {
            std::int32_t target = rule.minimum;
            channels.SetChannelValue(channel, target);
        }
        if (value > rule.maximum) {
            std::int32_t target = rule.maximum;
            channels.SetChannelValue(channel, target);
        }
    }
}

// Times one way of running the rules' calls against the fixture's port, whose type stays
// unknown to the loop.
template <class Run>
void Measure(benchmark::State& state, int count, double level, Run run) {
    Fixture fixture(count, level);
    ChannelPort* port = &fixture.port;
    benchmark::DoNotOptimize(port);
    for (auto _ : state) {
        run(fixture, *port);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["writes_per_tick"] =
        static_cast<double>(fixture.port.writes) / static_cast<double>(state.iterations());
}

void Tick(benchmark::State& state, int count, double level) {
    Measure(state, count, level, [](const Fixture& fixture, ChannelPort& port) { RunClampTick(fixture.table, port); });
}

void Floor(benchmark::State& state, int count, double level) {
    Measure(state, count, level, [](const Fixture& fixture, ChannelPort& port) { FloorTick(fixture.rules, port); });
}

std::string Name(const char* kind, const Scenario& scenario, int count) {
    return std::string(kind) + "/" + scenario.name + "/" + std::to_string(count);
}

// Prints as usual and remembers each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}  // plain text: it usually goes to a log

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }

    void PrintRatios() const {
        std::printf("\ntick / floor (CPU time per tick)\n");
        for (const Scenario& scenario : kScenarios) {
            for (int count : kRuleCounts) {
                const auto tick = times_.find(Name("tick", scenario, count));
                const auto floor = times_.find(Name("floor", scenario, count));
                if (tick == times_.end() || floor == times_.end() || floor->second <= 0) continue;
                std::printf("  %-12s %6d rules: %.3f\n", scenario.name, count, tick->second / floor->second);
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace
}  // namespace zorvane::bench

int main(int argc, char** argv) {
    using namespace zorvane::bench;
    for (const Scenario& scenario : kScenarios) {
        for (int count : kRuleCounts) {
            const double level = scenario.level;
            benchmark::RegisterBenchmark(Name("floor", scenario, count).c_str(),
                                         [=](benchmark::State& state) { Floor(state, count, level); });
            benchmark::RegisterBenchmark(Name("tick", scenario, count).c_str(),
                                         [=](benchmark::State& state) { Tick(state, count, level); });
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
