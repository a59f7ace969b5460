#pragma once
// The window class of a form, registered in this module.
#include <windows.h>

namespace zorvane::ui {

// Registers the class once per module load; later calls find it registered.
void RegisterFormClass(const wchar_t* class_name, WNDPROC procedure);
void UnregisterFormClass(const wchar_t* class_name) noexcept;

}  // namespace zorvane::ui
