#pragma once
// Counts what one module asks of the system: its import table's entries for allocation,
// window messages and texts, timers, the locale, and everything that creates a handle,
// a GDI or USER object or a COM object are pointed at counting stand-ins that call on to
// the real functions. Only calls made by that module's own code are seen.
#include <windows.h>

#include <array>
#include <cstdint>

namespace zorvane::bench {

enum class Import {
    // allocation
    Malloc, Calloc, Realloc, StrDup, SysAllocString, SysAllocStringLen,
    // release
    Free, SysFreeString, VariantClear,
    // window messages, texts, timers
    SendMessage, SendDlgItemMessage, GetWindowText, GetWindowTextLength, SetWindowText, SetTimer, KillTimer,
    // handles, GDI and USER objects, COM objects
    CreateEvent, CreateSemaphore, OpenProcess, DuplicateHandle, LoadLibrary, GetDC, CreateCompatibleDC,
    CreateFontIndirect, CreatePen, CreateWindowEx, SetWindowsHookEx, CoCreateInstance, CreateErrorInfo,
    // the rest worth knowing
    GetLocaleInfo, VariantCopyInd, OutputDebugString,
    kCount
};

enum class ImportKind { Allocation, Release, Window, Object, Other };

const char* ImportName(Import import) noexcept;
ImportKind KindOf(Import import) noexcept;

struct ImportCounts {
    std::array<std::uint64_t, static_cast<std::size_t>(Import::kCount)> calls{};

    std::uint64_t operator[](Import import) const noexcept { return calls[static_cast<std::size_t>(import)]; }
    std::uint64_t Of(ImportKind kind) const noexcept;
    ImportCounts operator-(const ImportCounts& earlier) const noexcept;
};

// Patches the module's import table for as long as it lives; restores it after.
class ImportHooks {
public:
    explicit ImportHooks(HMODULE module);  // throws std::runtime_error when nothing could be hooked
    ~ImportHooks();
    ImportHooks(const ImportHooks&) = delete;
    ImportHooks& operator=(const ImportHooks&) = delete;

    // Counts since the program started.
    static ImportCounts Counts() noexcept;
    // False for what the module does not import: never called, never counted.
    bool Hooked(Import import) const noexcept { return slots_[static_cast<std::size_t>(import)] != nullptr; }

private:
    std::array<void**, static_cast<std::size_t>(Import::kCount)> slots_{};
    std::array<void*, static_cast<std::size_t>(Import::kCount)> originals_{};
};

}  // namespace zorvane::bench
