#pragma once
// What Zorvane.dll does with the system, seen from its import table: the rule editor's
// Timer1 (each SetTimer and KillTimer), and every release of automation memory
// (SysFreeString, VariantClear) and every write into a VARIANT (VariantChangeType[Ex],
// VariantCopyInd), checked against the memory a host handed to the call in progress.
#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

namespace zorvane::fuzz {

// Memory a host handed to a call: the argument VARIANTs, what by-reference values point
// to, texts and arrays. A callee may read it and, where a parameter is [in, out], write
// a by-reference target; it may never free any of it.
class GivenMemory {
public:
    // Registered for as long as the returned cookie is not dropped.
    static int Open();
    static void Close(int cookie);
    static void AddRange(int cookie, const void* at, std::size_t size, std::string what);
    static void AddText(int cookie, BSTR text, std::string what);
    static void AddArray(int cookie, SAFEARRAY* array, std::string what);

    // What the memory at `at` is, when it was given; empty otherwise.
    static std::string RangeHolding(const void* at);
    static std::string TextNamed(BSTR text);
    static std::string ArrayNamed(SAFEARRAY* array);
};

struct TimerState {
    HWND window = nullptr;
    bool running = false;
    UINT interval = 0;
    std::vector<UINT> intervals;  // every SetTimer of this window's Timer1, in order
};

class ImportWatch {
public:
    // Patches the module's import table; throws std::runtime_error when an import is missing.
    explicit ImportWatch(HMODULE dll);
    ~ImportWatch();
    ImportWatch(const ImportWatch&) = delete;
    ImportWatch& operator=(const ImportWatch&) = delete;

    // Timer1 of a rule editor window, as the DLL last set it; a window it never set
    // gives a state with window null.
    static TimerState TimerOf(HWND editor);
    // Told of each SetTimer of Timer1, after it was made.
    static void OnSetTimer(std::function<void(HWND editor, UINT interval)> observer);
    // Told of every violation (a freed or overwritten given value): the description.
    static void OnViolation(std::function<void(const std::string&)> observer);

private:
    struct Slot {
        void** at;
        void* original;
    };
    std::vector<Slot> slots_;
};

}  // namespace zorvane::fuzz
