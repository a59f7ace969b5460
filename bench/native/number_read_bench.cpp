// What reading a million typed characters costs: the number reader scans its text once
// and converts at most a few hundred digits, so the time per character stays flat
// whatever the length (the tests bound its allocations; the time is measured here).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>

#include "common/number_text.h"

namespace zorvane::bench {
namespace {

struct LongText {
    const char* name;
    std::wstring (*make)(std::size_t n);
    NumberFormat format;
};

const LongText kLongTexts[] = {
    {"digits", [](std::size_t n) { return std::wstring(n, L'7'); }, kEnglishFormat},
    {"zeros_and_exponent", [](std::size_t n) { return L"1" + std::wstring(n, L'0') + L"e-" + std::to_wstring(n); },
     kEnglishFormat},
    {"fraction_zeros", [](std::size_t n) { return L"0." + std::wstring(n, L'0') + L"25e" + std::to_wstring(n + 1); },
     kEnglishFormat},
    {"blanks", [](std::size_t n) { return std::wstring(n, L' ') + L"5"; }, kEnglishFormat},
    {"letters", [](std::size_t n) { return std::wstring(n, L'x'); }, kEnglishFormat},
    {"group_points", [](std::size_t n) { return L"5" + std::wstring(n, L'.'); }, kGermanFormat},
};

void ReadLongText(benchmark::State& state, const LongText& long_text) {
    const std::wstring text = long_text.make(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        auto number = ReadNumber(text, long_text.format);
        benchmark::DoNotOptimize(number);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));  // characters
}

// Ten times the length should cost ten times the time, not a hundred.
[[maybe_unused]] const bool kRegistered = [] {
    for (const LongText& long_text : kLongTexts) {
        benchmark::RegisterBenchmark((std::string("read_number/") + long_text.name).c_str(),
                                     [&long_text](benchmark::State& state) { ReadLongText(state, long_text); })
            ->Arg(100'000)
            ->Arg(1'000'000)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
}  // namespace zorvane::bench
