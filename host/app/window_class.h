#pragma once
// The window classes of the stand-in host's own windows, registered in the program.
#include <windows.h>

namespace zorvane::host_app {

// How a class's windows look before they paint: the system's cursor and icon by their
// resource names (no icon for null), and the brush their background is erased with.
struct WindowClassLook {
    UINT style = 0;
    const wchar_t* cursor = IDC_ARROW;
    const wchar_t* icon = nullptr;
    HBRUSH background = nullptr;
};

// Registers the class on first use; later calls find it registered. Throws win::ComError.
void RegisterProgramClass(const wchar_t* name, WNDPROC procedure, const WindowClassLook& look);

// The dialog face most of the host's windows show behind their controls.
inline HBRUSH ButtonFaceBrush() noexcept { return reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1); }

}  // namespace zorvane::host_app
