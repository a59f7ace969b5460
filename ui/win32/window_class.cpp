#include "ui/win32/window_class.h"

#include "ui/win32/window_failures.h"
#include "win/this_module.h"

namespace zorvane::ui {

void RegisterFormClass(const wchar_t* class_name, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(win::ThisModule(), class_name, &existing)) return;
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = win::ThisModule();
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszClassName = class_name;
    if (RegisterClassExW(&window_class) == 0) ThrowLastError();
}

void UnregisterFormClass(const wchar_t* class_name) noexcept {
    UnregisterClassW(class_name, win::ThisModule());
}

}  // namespace zorvane::ui
