#pragma once
// The module this code is linked into: the DLL in the component, the program in a test.
// Never GetModuleHandle(nullptr), which inside a DLL is the host's.
#include <windows.h>

#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace zorvane::win {

inline HINSTANCE ThisModule() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

// The full path of a loaded module; throws ComError when it cannot be read.
std::wstring ModuleFileName(HMODULE module);

}  // namespace zorvane::win
