#pragma once
// Runs a cleanup when the scope ends, however it ends.
#include <utility>

namespace zorvane::win {

template <class Cleanup>
class [[nodiscard]] ScopeExit {
public:
    explicit ScopeExit(Cleanup cleanup) noexcept : cleanup_(std::move(cleanup)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { cleanup_(); }

private:
    Cleanup cleanup_;
};

}  // namespace zorvane::win
