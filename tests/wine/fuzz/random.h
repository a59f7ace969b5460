#pragma once
// The one source of every decision of a fuzz run: a seed gives the same run again.
#include <cstddef>
#include <cstdint>
#include <random>
#include <span>

namespace zorvane::fuzz {

class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}

    // 0 .. n-1; 0 when n is 0.
    std::uint32_t Below(std::size_t n) {
        if (n == 0) return 0;
        return std::uniform_int_distribution<std::uint32_t>(0, static_cast<std::uint32_t>(n - 1))(engine_);
    }
    bool Chance(unsigned percent) { return Below(100) < percent; }
    std::uint32_t Bits() { return static_cast<std::uint32_t>(engine_()); }
    std::uint64_t Bits64() { return engine_(); }

    template <class T>
    const T& Pick(std::span<const T> items) {
        return items[Below(items.size())];
    }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

    // An index into weights, chosen in proportion to them.
    std::size_t Weighted(std::span<const unsigned> weights) {
        unsigned total = 0;
        for (unsigned w : weights) total += w;
        unsigned at = Below(total);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            if (at < weights[i]) return i;
            at -= weights[i];
        }
        return 0;
    }

private:
    std::mt19937_64 engine_;
};

}  // namespace zorvane::fuzz
