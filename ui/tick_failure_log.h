#pragma once
// Timer1's failures go to the debugger's output, once for each run of the same failure:
// a host that refuses every tick in the same way is reported once, not every second.
#include <cstdint>
#include <string>
#include <string_view>

namespace zorvane::ui {

class TickFailureLog {
public:
    // True when the failure is to be reported: the previous tick did not fail in the
    // same way (same code, same description).
    bool Failed(std::int32_t code, std::wstring_view description);
    void Succeeded() noexcept { failing_ = false; }

private:
    bool failing_ = false;
    std::int32_t code_ = 0;
    std::wstring description_;
};

// The line written for a reported failure.
std::wstring TickFailureLine(std::int32_t code, std::wstring_view description);

}  // namespace zorvane::ui
