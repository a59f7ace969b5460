#pragma once
// One seeded run against the real Zorvane.dll: a host that does everything wrong, one
// generated step after another, with what every call must show checked after it.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace zorvane::fuzz {

struct RunOptions {
    std::uint64_t seed = 1;
    std::uint64_t steps = 0;  // 0: as many as the time allows
    double seconds = 0;       // 0: no time limit
    bool verbose = false;
};

struct Figures {
    std::uint64_t steps = 0;
    std::uint64_t calls = 0;
    std::set<long> codes;  // every HRESULT a call of ours answered
    std::map<std::string, std::uint64_t> counts;  // what was done, by kind
};

// Runs the seed in this process and returns its figures; a broken rule, a crash or a
// hang ends the process (see Journal).
Figures RunSeed(const RunOptions& options);

}  // namespace zorvane::fuzz
