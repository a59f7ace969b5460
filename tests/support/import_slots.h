#pragma once
// A module's import table, from outside: where it calls another DLL's function, and
// putting a function of ours in that place (to count or to watch what the module does
// with the system).
#include <windows.h>

namespace zorvane::test {

// The import table slot through which the module calls dll!function; null when the module
// does not import it by name.
void** FindImportSlot(HMODULE module, const char* dll, const char* function) noexcept;

// Writes value into the slot, which is write-protected; what it held goes to *previous
// when previous is not null. False when the slot could not be made writable.
bool ExchangeImportSlot(void** slot, void* value, void** previous) noexcept;

}  // namespace zorvane::test
