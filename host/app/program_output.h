#pragma once
// Where the stand-in host prints: the standard output it was started with (under Wine a
// GUI program keeps the shell's), else the console of its parent, and a file if asked.
#include <windows.h>

#include <string_view>

#include "win/handles.h"

namespace zorvane::host_app {

class ProgramOutput {
public:
    ProgramOutput() noexcept;
    // Throws win::ComError when the file cannot be created.
    void AlsoWriteTo(const std::wstring& path);

    // One line, UTF-8, CRLF; failures to write are ignored (the scenario's verdict is
    // its exit code).
    void Line(std::wstring_view text) noexcept;

private:
    HANDLE standard_ = nullptr;
    win::UniqueKernelHandle console_;  // the parent's console, when joined
    win::UniqueKernelHandle file_;
};

}  // namespace zorvane::host_app
