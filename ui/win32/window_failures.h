#pragma once
// What becomes of a failed window call: thrown with the system's own error, or, where
// no caller can take it (a window procedure), logged.
#include <windows.h>

namespace zorvane::ui {

// [[noreturn]] with the thread's last error, or E_FAIL when there is none.
[[noreturn]] void ThrowLastError();

// Logs a failure that a window procedure could not hand to anyone.
void ReportWindowFailure(const wchar_t* where) noexcept;

}  // namespace zorvane::ui
