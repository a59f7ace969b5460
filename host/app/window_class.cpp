#include "host/app/window_class.h"

#include <string>

#include "win/com_error.h"

namespace zorvane::host_app {

void RegisterProgramClass(const wchar_t* name, WNDPROC procedure, const WindowClassLook& look) {
    const HINSTANCE program = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(program, name, &existing)) return;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.style = look.style;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = program;
    window_class.hIcon = look.icon != nullptr ? LoadIconW(nullptr, look.icon) : nullptr;
    window_class.hCursor = LoadCursorW(nullptr, look.cursor);
    window_class.hbrBackground = look.background;
    window_class.lpszClassName = name;
    if (RegisterClassExW(&window_class) == 0) {
        win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), std::wstring(L"RegisterClassEx ") + name);
    }
}

}  // namespace zorvane::host_app
