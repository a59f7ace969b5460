#include "tests/wine/fuzz/journal.h"

#include <atomic>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

namespace zorvane::fuzz {
namespace {

// The last lines, in fixed buffers: a crash handler or the watchdog reads them without
// allocating, and the watchdog reads them only once the main thread is stuck.
constexpr std::size_t kLines = 48;
constexpr std::size_t kLineLength = 480;

struct Line {
    std::uint64_t number = 0;  // 0: unused
    char text[kLineLength] = {};
};

Line g_lines[kLines];
std::uint64_t g_next_line = 1;
std::uint64_t g_seed = 0;
std::atomic<std::uint64_t> g_step{0};
std::atomic<std::uint64_t> g_calls{0};
std::atomic<std::uint64_t> g_progress{0};
std::atomic<bool> g_failing{false};
unsigned g_hang_seconds = 60;

struct Range {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    bool Holds(const void* at) const noexcept {
        const auto address = reinterpret_cast<std::uintptr_t>(at);
        return address >= begin && address < end;
    }
};
Range g_dll;
Range g_program;

Range RangeOf(HMODULE module) noexcept {
    if (module == nullptr) return {};
    const auto base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return {reinterpret_cast<std::uintptr_t>(base), reinterpret_cast<std::uintptr_t>(base) + nt->OptionalHeader.SizeOfImage};
}

void PrintLines() noexcept {
    // Oldest first.
    const std::uint64_t last = g_next_line - 1;
    const std::uint64_t first = last >= kLines ? last - kLines + 1 : 1;
    for (std::uint64_t n = first; n <= last; ++n) {
        const Line& line = g_lines[n % kLines];
        if (line.number != n) continue;
        std::printf("  %s\n", line.text);
    }
}

[[noreturn]] void Report(const char* kind, const char* why, int code) noexcept {
    // One report: a second failure while printing (a crash in the report) ends at once.
    if (g_failing.exchange(true)) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    std::fflush(stdout);
    std::printf("\nFUZZ FAILURE (%s), seed %llu, step %llu, call %llu: %s\n", kind,
                static_cast<unsigned long long>(g_seed), static_cast<unsigned long long>(g_step.load()),
                static_cast<unsigned long long>(g_calls.load()), why);
    std::printf("the last calls, oldest first (depth shown by indentation):\n");
    PrintLines();
    std::printf("rerun alone: zorvane_automation_fuzz.exe --seed %llu --steps %llu\n",
                static_cast<unsigned long long>(g_seed), static_cast<unsigned long long>(g_step.load() + 1));
    std::fflush(stdout);
    std::fflush(stderr);
    // Not ExitProcess: the DLL's detach could run in whatever state the failure left.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    for (;;) Sleep(INFINITE);
}

bool IsFault(DWORD code) noexcept {
    switch (code) {
        case EXCEPTION_ACCESS_VIOLATION:
        case EXCEPTION_ILLEGAL_INSTRUCTION:
        case EXCEPTION_PRIV_INSTRUCTION:
        case EXCEPTION_INT_DIVIDE_BY_ZERO:
        case EXCEPTION_INT_OVERFLOW:
        case EXCEPTION_STACK_OVERFLOW:
        case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        case EXCEPTION_DATATYPE_MISALIGNMENT:
        case EXCEPTION_IN_PAGE_ERROR:
        case 0xC0000374:  // heap corruption
        case 0xC0000409:  // stack buffer overrun
            return true;
        default:
            return false;
    }
}

void DescribeFault(const EXCEPTION_RECORD& record, char* out, std::size_t size) noexcept {
    const void* at = record.ExceptionAddress;
    char module[MAX_PATH] = "an unknown module";
    HMODULE holder = nullptr;
    std::uintptr_t base = 0;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<const char*>(at), &holder) &&
        holder != nullptr) {
        GetModuleFileNameA(holder, module, MAX_PATH);
        base = reinterpret_cast<std::uintptr_t>(holder);
    }
    const char* where = g_dll.Holds(at) ? "Zorvane.dll" : g_program.Holds(at) ? "the fuzzer" : module;
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2) {
        std::snprintf(out, size, "access violation (%s address %p) at %p in %s (+0x%lx)",
                      record.ExceptionInformation[0] == 0 ? "reading" : "writing",
                      reinterpret_cast<void*>(record.ExceptionInformation[1]), at, where,
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(at) - base));
    } else {
        std::snprintf(out, size, "exception 0x%08lX at %p in %s (+0x%lx)", static_cast<unsigned long>(record.ExceptionCode),
                      at, where, static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(at) - base));
    }
}

LONG CALLBACK OnFirstChance(EXCEPTION_POINTERS* info) noexcept {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (!IsFault(record.ExceptionCode)) return EXCEPTION_CONTINUE_SEARCH;
    // A fault in a system library is ours too: only the DLL hands it what the host gave.
    // Reported when it happens, since a message loop may swallow it.
    char why[256];
    DescribeFault(record, why, sizeof why);
    Report("crash", why, kExitBroken);
}

LONG WINAPI OnUnhandled(EXCEPTION_POINTERS* info) noexcept {
    char why[256];
    DescribeFault(*info->ExceptionRecord, why, sizeof why);
    Report("unhandled exception", why, kExitBroken);
}

void OnAbort(int) noexcept {
    Report("abort", "abort() was called: an exception left a noexcept function, or the runtime gave up",
           kExitBroken);
}

void OnTerminate() noexcept {
    const char* what = "std::terminate in the fuzzer";
    try {
        if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
    } catch (const std::exception& e) {
        static char text[256];
        std::snprintf(text, sizeof text, "std::terminate in the fuzzer: %s", e.what());
        what = text;
    } catch (...) {
    }
    Report("terminate", what, kExitBroken);
}

DWORD WINAPI Watchdog(void*) noexcept {
    std::uint64_t seen = g_progress.load();
    unsigned idle = 0;
    for (;;) {
        Sleep(1000);
        const std::uint64_t now = g_progress.load();
        if (now != seen) {
            seen = now;
            idle = 0;
            continue;
        }
        if (++idle < g_hang_seconds) continue;
        char why[128];
        std::snprintf(why, sizeof why, "no progress for %u s: the last call hangs", g_hang_seconds);
        Report("hang", why, kExitHang);
    }
}

// A digest of every line: two runs of a seed that did the same have the same digest.
std::uint64_t g_digest = 1469598103934665603ULL;

void Digest(std::string_view text) noexcept {
    for (const char c : text) {
        g_digest ^= static_cast<unsigned char>(c);
        g_digest *= 1099511628211ULL;
    }
}

void Store(int depth, std::string_view text, std::uint64_t number) noexcept {
    Digest(text);
    Line& line = g_lines[number % kLines];
    line.number = 0;
    const int indent = depth < 0 ? 0 : depth > 8 ? 16 : depth * 2;
    std::snprintf(line.text, kLineLength, "#%llu %*s%.*s", static_cast<unsigned long long>(number), indent, "",
                  static_cast<int>(text.size()), text.data());
    line.number = number;
}

}  // namespace

void Journal::Start(std::uint64_t seed, unsigned hang_seconds) {
    g_seed = seed;
    g_hang_seconds = hang_seconds;
    g_program = RangeOf(GetModuleHandleW(nullptr));
    AddVectoredExceptionHandler(1, OnFirstChance);
    SetUnhandledExceptionFilter(OnUnhandled);
    std::signal(SIGABRT, OnAbort);
    std::set_terminate(OnTerminate);
    // No box from the system for a fault: the filter reports it.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (HANDLE thread = CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr)) CloseHandle(thread);
}

void Journal::SetModule(HMODULE dll) noexcept { g_dll = RangeOf(dll); }

void Journal::Step(std::uint64_t step) noexcept {
    g_step = step;
    ++g_progress;
}

std::uint64_t Journal::step() noexcept { return g_step.load(); }
std::uint64_t Journal::calls() noexcept { return g_calls.load(); }

std::uint64_t Journal::Call(int depth, std::string_view line) {
    ++g_calls;
    ++g_progress;
    const std::uint64_t number = g_next_line++;
    Store(depth, line, number);
    return number;
}

void Journal::Result(std::uint64_t ticket, std::string_view text) {
    ++g_progress;
    Digest(text);
    Line& line = g_lines[ticket % kLines];
    if (line.number == ticket) {
        const std::size_t used = std::strlen(line.text);
        std::snprintf(line.text + used, kLineLength - used, " -> %.*s", static_cast<int>(text.size()), text.data());
        return;
    }
    // Its line is gone already (many calls were made inside it).
    Store(0, Format("  (call #%llu) -> %.*s", static_cast<unsigned long long>(ticket), static_cast<int>(text.size()),
                    text.data()),
          g_next_line++);
}

void Journal::Note(int depth, std::string_view line) {
    ++g_progress;
    Store(depth, line, g_next_line++);
}

void Journal::Alive() noexcept { ++g_progress; }

void Journal::Fail(std::string_view why) {
    const std::string text(why);
    Report("rule broken", text.c_str(), kExitBroken);
}

std::uint64_t Journal::digest() noexcept { return g_digest; }

std::string Format(const char* format, ...) {
    char buffer[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return buffer;
}

std::string Printable(std::wstring_view text, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const wchar_t c = text[i];
        if (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    if (text.size() > limit) out += Format("...(%zu chars)", text.size());
    return out;
}

}  // namespace zorvane::fuzz
