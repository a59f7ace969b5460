#pragma once
// What keeps this module in memory: live objects handed out and class-object locks.
#include <atomic>

namespace zorvane::win {

class ModuleCount {
public:
    static void Increment() noexcept { count_.fetch_add(1, std::memory_order_relaxed); }
    static void Decrement() noexcept { count_.fetch_sub(1, std::memory_order_relaxed); }
    static long Value() noexcept { return count_.load(std::memory_order_relaxed); }

private:
    static inline std::atomic<long> count_{0};
};

}  // namespace zorvane::win
