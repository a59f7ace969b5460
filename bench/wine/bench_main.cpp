// Timer1's tick of the real rule editor in the real Zorvane.dll, loaded through COM
// under Wine, against the floor of the host calls that tick has to make; what the tick
// asks of the system besides; and whether 100 000 ticks leave anything behind.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/wine/host_floor.h"
#include "bench/wine/import_hooks.h"
#include "common/host_error.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/resource_usage.h"
#include "tests/support/rule_editor.h"
#include "tests/support/ticks.h"

namespace {

// The host side's own allocations (the stand-in lives in this program); the plug-in's
// are counted through its import table instead.
bool g_counting_host_allocations = false;
unsigned long long g_host_allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
    if (g_counting_host_allocations) ++g_host_allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace zorvane::bench {
namespace {

using namespace test;

constexpr int kSmallRuleCount = 512;
constexpr int kLargeRuleCount = 32767;
// Every channel starts a tick at one level: inside every band of the in-band rules and
// outside every band of the out-of-band rules.
constexpr int kInBandLevel = 100;
constexpr int kOutOfBandLevel = 250;

// Targets.
constexpr double kInBandRatioLimit = 2.0;   // 512 in-band rules: tick / floor
constexpr double kLargeTickLimitUs = 1000;  // 32767 in-band rules: one tick
constexpr double kTextLengthLimit = 1.25;   // long texts / short texts, tick over floor
// Memory in use may grow by 16 pages over 100 000 ticks without a leak: Wine reports
// resident pages (PagefileUsage is the resident anonymous memory, WorkingSetSize all
// resident memory), private bytes are committed pages, and the message pumping between
// ticks may touch or commit a page of the stack or of Wine's own buffers for the first
// time. A leak of 1 byte per tick would be 100 KB.
// The plug-in's own allocations are counted exactly besides.
constexpr long long kMemorySlackBytes = 64 * 1024;

class Clock {
public:
    Clock() { QueryPerformanceFrequency(&frequency_); }
    long long Now() const noexcept {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return now.QuadPart;
    }
    double Microseconds(long long ticks) const noexcept {
        return static_cast<double>(ticks) * 1e6 / static_cast<double>(frequency_.QuadPart);
    }

private:
    LARGE_INTEGER frequency_{};
};

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

bool g_missed = false;

void Report(const char* what, double value, const char* unit, const char* relation, double limit) {
    const bool pass = relation[0] == '<' ? (relation[1] == '=' ? value <= limit : value < limit)
                                         : (relation[1] == '=' ? value >= limit : value > limit);
    if (!pass) g_missed = true;
    std::printf("%s  %-62s %12.3f %-2s %s %g\n", pass ? "PASS" : "FAIL", what, value, unit, relation, limit);
}

void Info(const char* what, double value, const char* unit) {
    std::printf("info  %-62s %12.3f %s\n", what, value, unit);
}

struct Rules {
    std::vector<FloorRule> floor;
    int count() const noexcept { return static_cast<int>(floor.size()); }
};

// Channel 1..512 in turn, band 10..200.
Rules InBandRules(int count) {
    Rules rules;
    rules.floor.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) rules.floor.push_back({row % 512 + 1, 10, 200});
    return rules;
}

// Channel 1..512 in turn; each further round of the channels alternates between the
// bands 10..100 and 150..200, so that every rule finds its channel where the rule before
// it on that channel put it, outside its own band: every rule writes.
Rules OutOfBandRules(int count) {
    Rules rules;
    rules.floor.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
        const bool even_round = (row / 512) % 2 == 0;
        rules.floor.push_back({row % 512 + 1, even_round ? 10 : 150, even_round ? 100 : 200});
    }
    return rules;
}

// The stand-in host with its call record off: recording costs time no real host spends.
std::shared_ptr<standin::StandinHost> QuietHost() {
    auto host = std::make_shared<standin::StandinHost>();
    host->trace.enabled = false;
    host->fresh_stream_per_read = true;
    return host;
}

class Bench {
public:
    Bench()
        : host_(QuietHost()),
          helper_(standin::MakePluginHelper(host_)),
          plugin_(OpenedPlugIn::Open(helper_.Get())),
          editor_(plugin_.window) {
        // Only the ticks the benchmark sends run.
        if (!editor_.ClickCheckUntil(BST_UNCHECKED)) throw std::runtime_error("\"Plugin aktiviert\" stays ticked");
        SetLevel(kInBandLevel);
    }
    ~Bench() { plugin_.Close(); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void Run();

private:
    void SetLevel(int level) {
        for (int channel = 1; channel <= 512; ++channel) host_->universe.SetFromFader(channel, level);
        host_->universe.ClearPluginWrites();
    }
    int Rows() const { return static_cast<int>(editor_.RowCount()); }

    // Adds the rules through the window; returns microseconds per add.
    double AddRules(const Rules& rules, Typing typing, bool long_texts);
    void DeleteAllRules();

    // Median tick and floor times over interleaved rounds, after a warm-up; checks that
    // every tick made all of its host calls.
    struct Timing {
        double tick_us;
        double floor_us;
        double ratio() const { return tick_us / floor_us; }
    };
    Timing Measure(const Rules& rules, int level, int rounds, int warm_up);

    [[noreturn]] void ExplainMissedCalls(unsigned calls, int level);
    void MeasureCheapness(const Rules& rules);
    void MeasureMemory(const Rules& rules);

    std::shared_ptr<standin::StandinHost> host_;
    ComPtr<IVELTPluginHelper> helper_;
    OpenedPlugIn plugin_;
    RuleEditor editor_;
    Clock clock_;
};

std::wstring RuleText(int value, bool long_text) {
    if (!long_text) return std::to_wstring(value);
    // Blanks, a sign, leading zeros, a long fraction and an exponent: the same number.
    return L"   +00000000000000000" + std::to_wstring(value) + L".0000000000000000000000000e+0000   ";
}

double Bench::AddRules(const Rules& rules, Typing typing, bool long_texts) {
    const int first = Rows();
    const long long start = clock_.Now();
    for (const FloorRule& rule : rules.floor) {
        editor_.Add(RuleText(rule.channel, long_texts), RuleText(rule.minimum, long_texts),
                    RuleText(rule.maximum, long_texts), typing);
        if (Rows() % 256 == 0) DispatchPending();
    }
    const double elapsed = clock_.Microseconds(clock_.Now() - start);
    DispatchPending();
    if (Rows() != first + rules.count()) {
        throw std::runtime_error("the rule editor refused a rule (" + std::to_string(Rows()) + " rows)");
    }
    return elapsed / rules.count();
}

void Bench::DeleteAllRules() {
    // The form selects the first row after every delete; with no rows nothing is selected.
    SelectByNotification(editor_.channel_list, 0);
    for (int rows = Rows(); rows > 0; --rows) Click(editor_.delete_button);
    DispatchPending();
    if (Rows() != 0) throw std::runtime_error("rules left after deleting them all");
}

Bench::Timing Bench::Measure(const Rules& rules, int level, int rounds, int warm_up) {
    std::vector<double> ticks;
    std::vector<double> floors;
    ticks.reserve(static_cast<std::size_t>(rounds));
    floors.reserve(static_cast<std::size_t>(rounds));
    const bool writes = level == kOutOfBandLevel;
    // A read per rule, and per write four calls more.
    const unsigned calls_per_tick = static_cast<unsigned>(rules.count()) * (writes ? 5u : 1u);
    IDispatch* helper = helper_.Get();

    const auto tick = [&] {
        SetLevel(level);
        const unsigned calls = host_->calls_made();
        const long long start = clock_.Now();
        SendTick(plugin_.window);
        const long long stop = clock_.Now();
        if (host_->calls_made() - calls != calls_per_tick) ExplainMissedCalls(host_->calls_made() - calls, level);
        return clock_.Microseconds(stop - start);
    };
    const unsigned writes_per_tick = writes ? static_cast<unsigned>(rules.count()) : 0u;
    const auto floor = [&] {
        SetLevel(level);
        const long long start = clock_.Now();
        const unsigned written = FloorTick(helper, rules.floor);
        const long long stop = clock_.Now();
        if (written != writes_per_tick) throw std::runtime_error("the floor did not write what the tick writes");
        return clock_.Microseconds(stop - start);
    };

    for (int round = 0; round < warm_up + rounds; ++round) {
        // Alternating which goes first spreads any order effect over both.
        double tick_us = 0;
        double floor_us = 0;
        if (round % 2 == 0) {
            tick_us = tick();
            floor_us = floor();
        } else {
            floor_us = floor();
            tick_us = tick();
        }
        if (round >= warm_up) {
            ticks.push_back(tick_us);
            floors.push_back(floor_us);
        }
        if (round % 64 == 0) DispatchPending();
    }
    return {Median(ticks), Median(floors)};
}

void Bench::ExplainMissedCalls(unsigned calls, int level) {
    std::fprintf(stderr, "a tick over %d rows made %u host calls; the same tick again, recorded:\n", Rows(), calls);
    host_->trace.enabled = true;
    host_->trace.Clear();
    SetLevel(level);
    SendTick(plugin_.window);
    host_->trace.enabled = false;
    const std::vector<std::wstring> texts = host_->trace.Texts();
    for (std::size_t i = 0; i < texts.size() && i < 12; ++i) std::fprintf(stderr, "  %ls\n", texts[i].c_str());
    throw std::runtime_error("a tick did not make exactly the host calls of its rules");
}

struct KindLabel {
    ImportKind kind;
    const char* what;
};
constexpr KindLabel kJudgedKinds[] = {{ImportKind::Allocation, "allocations"},
                                      {ImportKind::Window, "window calls"},
                                      {ImportKind::Object, "objects made"}};

void Bench::MeasureCheapness(const Rules& rules) {
    ImportHooks hooks(GetModuleHandleW(L"Zorvane.dll"));
    constexpr int kTicks = 1000;
    std::printf("\ncounted in the plug-in's import table:\n");
    for (const KindLabel& kind : kJudgedKinds) {
        std::printf("  %s:", kind.what);
        for (std::size_t i = 0; i < static_cast<std::size_t>(Import::kCount); ++i) {
            const auto import = static_cast<Import>(i);
            if (KindOf(import) == kind.kind && hooks.Hooked(import)) std::printf(" %s", ImportName(import));
        }
        std::printf("\n");
    }
    for (const int level : {kInBandLevel, kOutOfBandLevel}) {
        const bool writes = level == kOutOfBandLevel;
        SetLevel(level);
        SendTick(plugin_.window);  // anything a first tick looks up once is looked up
        const ImportCounts before = ImportHooks::Counts();
        g_host_allocations = 0;
        for (int i = 0; i < kTicks; ++i) {
            SetLevel(level);
            g_counting_host_allocations = true;
            SendTick(plugin_.window);
            g_counting_host_allocations = false;
        }
        const ImportCounts used = ImportHooks::Counts() - before;
        const char* band = writes ? "out of band" : "in band";
        std::printf("\nthe plug-in's calls into the system per tick over %d rules %s (%d ticks; 0 not shown):\n",
                    rules.count(), band, kTicks);
        for (std::size_t i = 0; i < used.calls.size(); ++i) {
            const auto import = static_cast<Import>(i);
            if (!hooks.Hooked(import) || used.calls[i] == 0) continue;
            std::printf("  %-22s %10.3f\n", ImportName(import), static_cast<double>(used.calls[i]) / kTicks);
        }
        std::printf("  the stand-in host's own allocations: %.3f per tick, %.3f per write\n",
                    static_cast<double>(g_host_allocations) / kTicks,
                    writes ? static_cast<double>(g_host_allocations) / kTicks / rules.count() : 0.0);
        for (const KindLabel& kind : kJudgedKinds) {
            char what[96];
            std::snprintf(what, sizeof what, "plug-in %s per tick, %d rules %s", kind.what, rules.count(), band);
            Report(what, static_cast<double>(used.Of(kind.kind)) / kTicks, "", "<=", 0);
        }
    }
    SetLevel(kInBandLevel);
}

// A figure's growth against the slack. A figure that is 0 before and after is one
// neither the system nor the sampler counts here; it is shown, not judged.
void ReportGrowth(const char* what, long long before, long long after, const char* unit, long long slack) {
    std::printf("  %-16s %14lld -> %14lld %s\n", what, before, after, unit);
    if (before <= 0 && after <= 0) {
        std::printf("  %-16s not reported by this system\n", "");
        return;
    }
    char line[96];
    std::snprintf(line, sizeof line, "%s growth over 100 000 ticks", what);
    Report(line, static_cast<double>(after - before), unit, "<=", static_cast<double>(slack));
}

void Bench::MeasureMemory(const Rules& rules) {
    constexpr int kWarmUp = 10000;
    constexpr int kTicks = 100000;
    ImportHooks hooks(GetModuleHandleW(L"Zorvane.dll"));
    SetLevel(kInBandLevel);
    const auto run = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            SendTick(plugin_.window);
            if (i % 1000 == 0) DispatchPending();  // as the host's message loop would
        }
        DispatchPending();
    };
    run(kWarmUp);
    const ResourceUsage before = SampleResources();
    const ImportCounts counted = ImportHooks::Counts();
    const unsigned calls = host_->calls_made();
    run(kTicks);
    const ResourceUsage after = SampleResources();
    const ImportCounts used = ImportHooks::Counts() - counted;
    if (host_->calls_made() - calls != static_cast<unsigned>(kTicks) * static_cast<unsigned>(rules.count())) {
        throw std::runtime_error("not every tick of the memory run made all of its host calls");
    }

    std::printf("\nbefore and after %d ticks over %d rules in band (after %d ticks of warm-up):\n", kTicks,
                rules.count(), kWarmUp);
    const auto bytes = [](std::size_t value) { return static_cast<long long>(value); };
    ReportGrowth("private bytes", bytes(before.private_bytes), bytes(after.private_bytes), "B", kMemorySlackBytes);
    ReportGrowth("PagefileUsage", bytes(before.pagefile_bytes), bytes(after.pagefile_bytes), "B", kMemorySlackBytes);
    ReportGrowth("WorkingSetSize", bytes(before.working_set_bytes), bytes(after.working_set_bytes), "B",
                 kMemorySlackBytes);
    ReportGrowth("handles", before.kernel_handles, after.kernel_handles, "", 0);
    ReportGrowth("GDI objects", before.gdi_objects, after.gdi_objects, "", 0);
    ReportGrowth("USER objects", before.user_objects, after.user_objects, "", 0);
    std::printf("  (%ls)\n", ResourceSources().c_str());
    Report("plug-in allocations over 100 000 ticks", static_cast<double>(used.Of(ImportKind::Allocation)), "", "<=",
           0);
    Report("plug-in objects made over 100 000 ticks", static_cast<double>(used.Of(ImportKind::Object)),
           "", "<=", 0);
}

void Bench::Run() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::printf("QueryPerformanceCounter: %lld counts per second\n", frequency.QuadPart);

    // 512 rules, one per channel, typed as a person would: one rule set serves both
    // levels, since every channel is read once.
    const Rules small = InBandRules(kSmallRuleCount);
    const double typed_us = AddRules(small, Typing::Keys, false);
    const Timing in_band = Measure(small, kInBandLevel, 3000, 300);
    const Timing out_of_band = Measure(small, kOutOfBandLevel, 600, 60);
    std::printf("\n512 rules: median tick and floor, microseconds\n");
    std::printf("  in band      tick %9.1f  floor %9.1f\n", in_band.tick_us, in_band.floor_us);
    std::printf("  out of band  tick %9.1f  floor %9.1f\n", out_of_band.tick_us, out_of_band.floor_us);

    MeasureCheapness(small);
    MeasureMemory(small);

    // Texts 40 characters long instead of 2 or 3: a tick that read or parsed them would
    // slow down with them.
    DeleteAllRules();
    const double set_text_us = AddRules(small, Typing::SetText, true);
    const Timing long_texts = Measure(small, kInBandLevel, 3000, 300);

    // Every add repaints the shown lists; the host may hide its tool window, and hidden
    // the 32767 adds take seconds instead of minutes.
    plugin_.Hide();
    DeleteAllRules();
    const Rules large = InBandRules(kLargeRuleCount);
    const double hidden_us = AddRules(large, Typing::SetText, false);
    plugin_.Show();
    DispatchPending();
    const Timing large_in_band = Measure(large, kInBandLevel, 300, 30);

    plugin_.Hide();
    DeleteAllRules();
    const Rules large_writing = OutOfBandRules(kLargeRuleCount);
    AddRules(large_writing, Typing::SetText, false);
    plugin_.Show();
    DispatchPending();
    const Timing large_out_of_band = Measure(large_writing, kOutOfBandLevel, 40, 4);
    std::printf("\n32767 rules: median tick and floor, microseconds\n");
    std::printf("  in band      tick %9.1f  floor %9.1f\n", large_in_band.tick_us, large_in_band.floor_us);
    std::printf("  out of band  tick %9.1f  floor %9.1f\n", large_out_of_band.tick_us, large_out_of_band.floor_us);

    std::printf("\n");
    Info("adding a rule: typing its texts, clicking (shown, to 512)", typed_us / 1000, "ms");
    Info("adding a rule: WM_SETTEXT, clicking (shown, to 512)", set_text_us / 1000, "ms");
    Info("adding a rule: WM_SETTEXT, clicking (hidden, to 32767)", hidden_us / 1000, "ms");
    Info("tick / floor, 512 rules out of band", out_of_band.ratio(), "x");
    Info("tick / floor, 32767 rules in band", large_in_band.ratio(), "x");
    Info("tick / floor, 32767 rules out of band", large_out_of_band.ratio(), "x");
    Report("tick / floor, 512 rules in band", in_band.ratio(), "x", "<=", kInBandRatioLimit);
    Report("tick, 32767 rules in band", large_in_band.tick_us, "us", "<", kLargeTickLimitUs);
    Report("tick/floor with 40-character texts / with short texts", long_texts.ratio() / in_band.ratio(), "x", "<=",
           kTextLengthLimit);
}

}  // namespace
}  // namespace zorvane::bench

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int status = 0;
    try {
        zorvane::bench::Bench bench;
        bench.Run();
        status = zorvane::bench::g_missed ? 1 : 0;
    } catch (const zorvane::HostError& e) {
        std::fprintf(stderr, "zorvane_bench_wine: %ls (0x%08lX)\n", e.description().c_str(),
                     static_cast<unsigned long>(e.code()));
        status = 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zorvane_bench_wine: %s\n", e.what());
        status = 2;
    }
    CoUninitialize();
    std::fflush(stdout);
    return status;
}
