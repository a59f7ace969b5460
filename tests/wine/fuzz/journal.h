#pragma once
// What a fuzz run did, one line a call, and what ends it when something breaks: a fault
// in Zorvane.dll or in this program, an abort (an exception that left a noexcept function
// of the DLL ends in std::terminate), an exception nobody handles, a run that makes no
// progress, or a broken rule. The seed, the step, the last lines and the command that
// reruns the seed alone are printed, and the process ends with a failure code.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvane::fuzz {

// Exit codes of a child run.
inline constexpr int kExitBroken = 3;  // a rule was broken, or it crashed
inline constexpr int kExitHang = 4;    // no progress

class Journal {
public:
    // Installs the guards for this process: a vectored handler that ends the run on a
    // fault whose address lies in Zorvane.dll or this program, an unhandled-exception
    // filter for any other, a handler for abort, and a watchdog thread that ends the run
    // when no call was made for hang_seconds.
    static void Start(std::uint64_t seed, unsigned hang_seconds);
    // The loaded DLL, for telling its faults from others'; null once it is gone.
    static void SetModule(HMODULE dll) noexcept;

    static void Step(std::uint64_t step) noexcept;
    static std::uint64_t step() noexcept;
    static std::uint64_t calls() noexcept;

    // A call about to be made, depth levels inside others; the ticket names its line.
    static std::uint64_t Call(int depth, std::string_view line);
    // What the call gave, appended to its line.
    static void Result(std::uint64_t ticket, std::string_view text);
    // Something else that happened: a user action, a box, a tick. Counts as progress.
    static void Note(int depth, std::string_view line);
    // Keeps the watchdog quiet during a wait of our own.
    static void Alive() noexcept;

    // Prints the failure with the last lines and ends the process.
    [[noreturn]] static void Fail(std::string_view why);
    // Of every line so far: a seed that runs the same way gives the same digest.
    static std::uint64_t digest() noexcept;
};

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// A wide text for a journal line: printable ASCII kept, the rest as \uXXXX, long texts cut.
std::string Printable(std::wstring_view text, std::size_t limit = 40);

}  // namespace zorvane::fuzz
