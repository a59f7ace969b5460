#include "ui/win32/information_box.h"

#include <new>
#include <string>

#include "ui/win32/window_failures.h"

namespace zorvane::ui {

void ShowInformation(HWND owner, std::wstring_view message, const wchar_t* title) noexcept {
    try {
        const std::wstring text(message);
        // The owner may have been closed while another box was up: the message still shows.
        if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
        MessageBoxW(owner, text.c_str(), title, MB_OK | MB_ICONINFORMATION);
    } catch (const std::bad_alloc&) {
        ReportWindowFailure(L"ShowInformation");
    }
}

}  // namespace zorvane::ui
