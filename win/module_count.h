#pragma once
// What keeps this module in memory, in one count: live objects handed out, locks on the
// class object, loaded windows, and code of ours running (a call or a tick that may pump
// messages, during which a host may ask whether the module can go). Whatever holds the
// module adds one here while it does; DllCanUnloadNow asks this count and nothing else.
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

// Holds the module for as long as it lives.
class ModuleHold {
public:
    ModuleHold() noexcept { ModuleCount::Increment(); }
    ~ModuleHold() { ModuleCount::Decrement(); }
    ModuleHold(const ModuleHold&) = delete;
    ModuleHold& operator=(const ModuleHold&) = delete;
};

}  // namespace zorvane::win
