#pragma once
// What the process writes to the debugger output (OutputDebugString raises an exception
// that a vectored handler sees first).
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace zorvane::test {

// Collects the lines while it lives. One object at a time.
class DebugOutput {
public:
    DebugOutput();
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    // Lines starting with prefix, oldest first, without their line break.
    std::vector<std::string> Lines(std::string_view prefix = "Zorvane:") const;
    void Clear();

private:
    void* handler_;
};

// The head of the line a failed tick leaves: "Zorvane: Timer1 tick failed (0x80020005)".
std::string TickFailureHead(HRESULT code);

}  // namespace zorvane::test
