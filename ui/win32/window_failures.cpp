#include "ui/win32/window_failures.h"

#include <cwchar>

#include "win/com_error.h"

namespace zorvane::ui {

void ThrowLastError() {
    const DWORD error = GetLastError();
    win::ThrowHr(error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL);
}

void ReportWindowFailure(const wchar_t* where) noexcept {
    wchar_t line[160];
    std::swprintf(line, 160, L"Zorvane: %ls failed while handling a window message\n", where);
    OutputDebugStringW(line);
}

}  // namespace zorvane::ui
