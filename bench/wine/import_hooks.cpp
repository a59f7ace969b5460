#include "bench/wine/import_hooks.h"

#include <oleauto.h>

#include <cstdlib>
#include <stdexcept>

#include "tests/support/import_slots.h"

namespace zorvane::bench {
namespace {

constexpr std::size_t Index(Import import) { return static_cast<std::size_t>(import); }

// The module's code runs on one thread; plain counters are enough.
ImportCounts g_counts;
std::array<void*, static_cast<std::size_t>(Import::kCount)> g_originals{};

// Counts a call of the import and passes it on to the original, called as Function.
template <Import Which, class Function, class... Arguments>
auto CountAndForward(Arguments... arguments) {
    ++g_counts.calls[Index(Which)];
    return reinterpret_cast<Function>(g_originals[Index(Which)])(arguments...);
}

// One counting stand-in per import, with the import's own calling convention and
// parameters, deduced from its declaration.
template <Import Which, class Result, class... Arguments>
struct Stdcall {
    static Result WINAPI Call(Arguments... arguments) {
        return CountAndForward<Which, Result(WINAPI*)(Arguments...)>(arguments...);
    }
};

template <Import Which, class Result, class... Arguments>
struct Cdecl {
    static Result __cdecl Call(Arguments... arguments) {
        return CountAndForward<Which, Result(__cdecl*)(Arguments...)>(arguments...);
    }
};

template <Import Which, class Result, class... Arguments>
void* CountingStdcall(Result(WINAPI*)(Arguments...)) {
    return reinterpret_cast<void*>(&Stdcall<Which, Result, Arguments...>::Call);
}

template <Import Which, class Result, class... Arguments>
void* CountingCdecl(Result(__cdecl*)(Arguments...)) {
    return reinterpret_cast<void*>(&Cdecl<Which, Result, Arguments...>::Call);
}

struct Entry {
    Import which;
    ImportKind kind;
    const char* dll;
    const char* function;
    void* replacement;
};

#define ZORVANE_STDCALL(which, kind, dll, function) \
    {Import::which, ImportKind::kind, dll, #function, CountingStdcall<Import::which>(&::function)}
#define ZORVANE_CDECL(which, kind, dll, function) \
    {Import::which, ImportKind::kind, dll, #function, CountingCdecl<Import::which>(&::function)}

const Entry kEntries[] = {
    ZORVANE_CDECL(Malloc, Allocation, "msvcrt.dll", malloc),
    ZORVANE_CDECL(Calloc, Allocation, "msvcrt.dll", calloc),
    ZORVANE_CDECL(Realloc, Allocation, "msvcrt.dll", realloc),
    ZORVANE_CDECL(StrDup, Allocation, "msvcrt.dll", _strdup),
    ZORVANE_STDCALL(SysAllocString, Allocation, "oleaut32.dll", SysAllocString),
    ZORVANE_STDCALL(SysAllocStringLen, Allocation, "oleaut32.dll", SysAllocStringLen),
    ZORVANE_CDECL(Free, Release, "msvcrt.dll", free),
    ZORVANE_STDCALL(SysFreeString, Release, "oleaut32.dll", SysFreeString),
    ZORVANE_STDCALL(VariantClear, Release, "oleaut32.dll", VariantClear),
    ZORVANE_STDCALL(SendMessage, Window, "user32.dll", SendMessageW),
    ZORVANE_STDCALL(SendDlgItemMessage, Window, "user32.dll", SendDlgItemMessageW),
    ZORVANE_STDCALL(GetWindowText, Window, "user32.dll", GetWindowTextW),
    ZORVANE_STDCALL(GetWindowTextLength, Window, "user32.dll", GetWindowTextLengthW),
    ZORVANE_STDCALL(SetWindowText, Window, "user32.dll", SetWindowTextW),
    ZORVANE_STDCALL(SetTimer, Window, "user32.dll", SetTimer),
    ZORVANE_STDCALL(KillTimer, Window, "user32.dll", KillTimer),
    ZORVANE_STDCALL(CreateEvent, Object, "kernel32.dll", CreateEventA),
    ZORVANE_STDCALL(CreateSemaphore, Object, "kernel32.dll", CreateSemaphoreA),
    ZORVANE_STDCALL(OpenProcess, Object, "kernel32.dll", OpenProcess),
    ZORVANE_STDCALL(DuplicateHandle, Object, "kernel32.dll", DuplicateHandle),
    ZORVANE_STDCALL(LoadLibrary, Object, "kernel32.dll", LoadLibraryW),
    ZORVANE_STDCALL(GetDC, Object, "user32.dll", GetDC),
    ZORVANE_STDCALL(CreateCompatibleDC, Object, "gdi32.dll", CreateCompatibleDC),
    ZORVANE_STDCALL(CreateFontIndirect, Object, "gdi32.dll", CreateFontIndirectW),
    ZORVANE_STDCALL(CreatePen, Object, "gdi32.dll", CreatePen),
    ZORVANE_STDCALL(CreateWindowEx, Object, "user32.dll", CreateWindowExW),
    ZORVANE_STDCALL(SetWindowsHookEx, Object, "user32.dll", SetWindowsHookExW),
    ZORVANE_STDCALL(CoCreateInstance, Object, "ole32.dll", CoCreateInstance),
    ZORVANE_STDCALL(CreateErrorInfo, Object, "ole32.dll", CreateErrorInfo),
    ZORVANE_STDCALL(GetLocaleInfo, Other, "kernel32.dll", GetLocaleInfoW),
    ZORVANE_STDCALL(VariantCopyInd, Other, "oleaut32.dll", VariantCopyInd),
    ZORVANE_STDCALL(OutputDebugString, Other, "kernel32.dll", OutputDebugStringW),
};

#undef ZORVANE_STDCALL
#undef ZORVANE_CDECL


}  // namespace

const char* ImportName(Import import) noexcept {
    for (const Entry& entry : kEntries) {
        if (entry.which == import) return entry.function;
    }
    return "?";
}

ImportKind KindOf(Import import) noexcept {
    for (const Entry& entry : kEntries) {
        if (entry.which == import) return entry.kind;
    }
    return ImportKind::Other;
}

std::uint64_t ImportCounts::Of(ImportKind kind) const noexcept {
    std::uint64_t total = 0;
    for (const Entry& entry : kEntries) {
        if (entry.kind == kind) total += (*this)[entry.which];
    }
    return total;
}

ImportCounts ImportCounts::operator-(const ImportCounts& earlier) const noexcept {
    ImportCounts difference;
    for (std::size_t i = 0; i < calls.size(); ++i) difference.calls[i] = calls[i] - earlier.calls[i];
    return difference;
}

ImportHooks::ImportHooks(HMODULE module) {
    bool any = false;
    for (const Entry& entry : kEntries) {
        void** slot = test::FindImportSlot(module, entry.dll, entry.function);
        if (slot == nullptr) continue;
        // The original goes in first: the stand-in may be called the moment the slot changes.
        g_originals[Index(entry.which)] = *slot;
        if (!test::ExchangeImportSlot(slot, entry.replacement, &originals_[Index(entry.which)])) continue;
        slots_[Index(entry.which)] = slot;
        any = true;
    }
    if (!any) throw std::runtime_error("no import of the module could be hooked");
}

ImportHooks::~ImportHooks() {
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] != nullptr) test::ExchangeImportSlot(slots_[i], originals_[i], nullptr);
    }
}

ImportCounts ImportHooks::Counts() noexcept { return g_counts; }

}  // namespace zorvane::bench
