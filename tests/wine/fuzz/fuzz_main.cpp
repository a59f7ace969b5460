// zorvane_automation_fuzz: a host that does everything wrong, against the real Zorvane.dll.
//
// One seed:   --seed N [--steps K] [--seconds S] [--hang H] [--summary FILE] [--verbose]
//             runs that seed in this process; a failure prints the call that broke, the
//             calls before it and the command that reruns it, and exits non-zero.
// Many seeds: --seeds A,B,... [--time-seed] [--more-seeds] --seconds S [--seed-seconds T]
//             runs each seed in a process of its own (so that each starts from a freshly
//             loaded DLL and reruns alone exactly), one after the other, and prints the
//             figures of all: calls made, the distinct result codes, what was done.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session.h"

namespace zorvane::fuzz {
namespace {

struct Arguments {
    std::vector<std::uint64_t> seeds;
    bool child = false;
    bool time_seed = false;
    bool more_seeds = false;
    std::uint64_t steps = 0;
    double seconds = 0;
    double seed_seconds = 0;
    unsigned hang = 60;
    std::string summary;
    bool verbose = false;
};

[[noreturn]] void Usage() {
    std::printf(
        "usage: zorvane_automation_fuzz --seed N [--steps K] [--seconds S] [--hang H] [--summary FILE]\n"
        "       zorvane_automation_fuzz --seeds A,B,... [--time-seed] [--more-seeds] --seconds S [--seed-seconds T]\n");
    std::exit(2);
}

Arguments Parse(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage();
            return argv[++i];
        };
        if (flag == "--seed") {
            arguments.child = true;
            arguments.seeds.push_back(std::stoull(value()));
        } else if (flag == "--seeds") {
            std::stringstream list(value());
            for (std::string seed; std::getline(list, seed, ',');) {
                if (!seed.empty()) arguments.seeds.push_back(std::stoull(seed));
            }
        } else if (flag == "--time-seed") {
            arguments.time_seed = true;
        } else if (flag == "--more-seeds") {
            arguments.more_seeds = true;
        } else if (flag == "--steps") {
            arguments.steps = std::stoull(value());
        } else if (flag == "--seconds") {
            arguments.seconds = std::stod(value());
        } else if (flag == "--seed-seconds") {
            arguments.seed_seconds = std::stod(value());
        } else if (flag == "--hang") {
            arguments.hang = static_cast<unsigned>(std::stoul(value()));
        } else if (flag == "--summary") {
            arguments.summary = value();
        } else if (flag == "--verbose") {
            arguments.verbose = true;
        } else {
            Usage();
        }
    }
    if (arguments.child && arguments.seeds.size() != 1) Usage();
    if (!arguments.child && arguments.seeds.empty() && !arguments.time_seed) Usage();
    return arguments;
}

int RunChild(const Arguments& arguments) {
    const std::uint64_t seed = arguments.seeds[0];
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    Journal::Start(seed, arguments.hang);
    RunOptions options;
    options.seed = seed;
    options.steps = arguments.steps;
    options.seconds = arguments.seconds;
    options.verbose = arguments.verbose;
    Figures figures;
    try {
        figures = RunSeed(options);
    } catch (const std::exception& e) {
        Journal::Fail(std::string("the fuzzer could not run: ") + e.what());
    }
    std::printf("seed %llu: %llu steps, %llu calls, %zu distinct result codes, journal digest %016llx\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(figures.steps),
                static_cast<unsigned long long>(figures.calls), figures.codes.size(),
                static_cast<unsigned long long>(Journal::digest()));
    std::fflush(stdout);
    if (!arguments.summary.empty()) {
        std::ofstream out(arguments.summary);
        out << "steps " << figures.steps << "\ncalls " << figures.calls << "\ncodes";
        for (long code : figures.codes) out << ' ' << std::hex << static_cast<unsigned long>(code) << std::dec;
        out << '\n';
        for (const auto& [what, count] : figures.counts) {
            if (what != "seed") out << "count " << count << ' ' << what << '\n';
        }
    }
    CoUninitialize();
    return 0;
}

struct Totals {
    std::uint64_t steps = 0;
    std::uint64_t calls = 0;
    std::set<unsigned long> codes;
    std::map<std::string, std::uint64_t> counts;
};

void ReadSummary(const std::string& path, Totals& totals) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        std::stringstream words(line);
        std::string key;
        words >> key;
        if (key == "steps") {
            std::uint64_t n = 0;
            words >> n;
            totals.steps += n;
        } else if (key == "calls") {
            std::uint64_t n = 0;
            words >> n;
            totals.calls += n;
        } else if (key == "codes") {
            for (std::string code; words >> code;) totals.codes.insert(std::stoul(code, nullptr, 16));
        } else if (key == "count") {
            std::uint64_t n = 0;
            words >> n;
            std::string what;
            std::getline(words, what);
            if (!what.empty() && what[0] == ' ') what = what.substr(1);
            totals.counts[what] += n;
        }
    }
}

// Runs one seed in a process of its own; its exit code.
DWORD RunSeedProcess(std::uint64_t seed, double seconds, const Arguments& arguments, const std::string& summary) {
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = "\"";
    command += program;
    command += "\" --seed " + std::to_string(seed);
    command += " --seconds " + std::to_string(seconds);
    command += " --hang " + std::to_string(arguments.hang);
    command += " --summary \"" + summary + "\"";
    if (arguments.steps != 0) command += " --steps " + std::to_string(arguments.steps);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    std::fflush(stdout);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::printf("could not start %s\n", command.c_str());
        return 2;
    }
    // The child's own watchdog ends a hang; this one ends a child that cannot end itself.
    const DWORD patience = static_cast<DWORD>((seconds + arguments.hang + 120) * 1000);
    if (WaitForSingleObject(process.hProcess, patience) == WAIT_TIMEOUT) {
        std::printf("seed %llu: the run did not end; killed\n", static_cast<unsigned long long>(seed));
        TerminateProcess(process.hProcess, kExitHang);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

int RunParent(Arguments arguments) {
    std::uint64_t time_seed = 0;
    if (arguments.time_seed) {
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        time_seed = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000 % 1000000000;
        arguments.seeds.push_back(time_seed);
    }
    const std::size_t listed = arguments.seeds.size();
    // Said before anything runs, so that a run that goes wrong can be repeated.
    std::printf("seeds:");
    for (std::size_t i = 0; i < listed; ++i) {
        const bool from_time = arguments.time_seed && i + 1 == listed;
        std::printf("%s %llu%s", i > 0 ? "," : "", static_cast<unsigned long long>(arguments.seeds[i]),
                    from_time ? " (from the time)" : " (fixed)");
    }
    std::printf("%s\n", arguments.more_seeds ? ", then the next ones while time is left" : "");
    const double per_seed = arguments.seed_seconds > 0 ? arguments.seed_seconds
                            : arguments.seconds > 0    ? arguments.seconds / static_cast<double>(listed)
                                                       : 0;
    char directory[MAX_PATH];
    GetTempPathA(MAX_PATH, directory);
    const ULONGLONG start = GetTickCount64();
    Totals totals;
    std::vector<std::uint64_t> ran;
    std::vector<std::pair<std::uint64_t, DWORD>> failed;
    std::uint64_t next_extra = (time_seed != 0 ? time_seed : arguments.seeds.back()) + 1;
    for (std::size_t i = 0;; ++i) {
        const double used = static_cast<double>(GetTickCount64() - start) / 1000.0;
        std::uint64_t seed = 0;
        if (i < listed) {
            seed = arguments.seeds[i];
        } else if (arguments.more_seeds && arguments.seconds > 0 && used + 5 < arguments.seconds) {
            seed = next_extra++;
        } else {
            break;
        }
        double budget = per_seed;
        if (arguments.seconds > 0 && i >= listed) budget = std::min(per_seed, arguments.seconds - used);
        const std::string summary = std::string(directory) + "zorvane_fuzz_" + std::to_string(GetCurrentProcessId()) + "_" +
                                    std::to_string(seed) + ".txt";
        std::printf("seed %llu for %.0f s\n", static_cast<unsigned long long>(seed), budget);
        const DWORD code = RunSeedProcess(seed, budget, arguments, summary);
        ran.push_back(seed);
        if (code != 0) {
            failed.emplace_back(seed, code);
        } else {
            ReadSummary(summary, totals);
        }
        DeleteFileA(summary.c_str());
    }
    std::printf("\nautomation fuzz: %zu seeds (", ran.size());
    for (std::size_t i = 0; i < ran.size(); ++i) std::printf("%s%llu", i > 0 ? ", " : "", static_cast<unsigned long long>(ran[i]));
    std::printf("), %llu steps, %llu calls, %zu distinct result codes:\n", static_cast<unsigned long long>(totals.steps),
                static_cast<unsigned long long>(totals.calls), totals.codes.size());
    for (unsigned long code : totals.codes) std::printf(" %08lX", code);
    std::printf("\n");
    for (const auto& [what, count] : totals.counts) std::printf("  %-36s %llu\n", what.c_str(), static_cast<unsigned long long>(count));
    for (const auto& [seed, code] : failed) {
        std::printf("FAILED: seed %llu (exit %lu); rerun alone: zorvane_automation_fuzz.exe --seed %llu\n",
                    static_cast<unsigned long long>(seed), static_cast<unsigned long>(code), static_cast<unsigned long long>(seed));
    }
    std::fflush(stdout);
    return failed.empty() ? 0 : 1;
}

}  // namespace
}  // namespace zorvane::fuzz

int main(int argc, char** argv) {
    const zorvane::fuzz::Arguments arguments = zorvane::fuzz::Parse(argc, argv);
    return arguments.child ? zorvane::fuzz::RunChild(arguments) : zorvane::fuzz::RunParent(arguments);
}
