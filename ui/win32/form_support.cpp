#include "ui/win32/form_support.h"

#include <cwchar>
#include <new>

#include "win/com_error.h"
#include "win/this_module.h"

namespace zorvane::ui {

void ThrowLastError() {
    const DWORD error = GetLastError();
    win::ThrowHr(error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL);
}

Dpi ScreenDpi() noexcept {
    Dpi dpi;
    if (HDC screen = GetDC(nullptr)) {
        dpi.x = GetDeviceCaps(screen, LOGPIXELSX);
        dpi.y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpi.x <= 0) dpi.x = 96;
    if (dpi.y <= 0) dpi.y = 96;
    return dpi;
}

RECT ToPixels(const TwipsRect& twips, const Dpi& dpi) noexcept {
    constexpr int kTwipsPerInch = 1440;
    RECT pixels;
    pixels.left = MulDiv(twips.left, dpi.x, kTwipsPerInch);
    pixels.top = MulDiv(twips.top, dpi.y, kTwipsPerInch);
    pixels.right = pixels.left + MulDiv(twips.width, dpi.x, kTwipsPerInch);
    pixels.bottom = pixels.top + MulDiv(twips.height, dpi.y, kTwipsPerInch);
    return pixels;
}

SIZE OuterSizeForClient(int width_twips, int height_twips, DWORD style, DWORD ex_style,
                        const Dpi& dpi) noexcept {
    RECT rect = ToPixels({0, 0, width_twips, height_twips}, dpi);
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

HWND CreateControl(HWND parent, const ChildControl& control, const Dpi& dpi, HFONT font) {
    const RECT place = ToPixels(control.place, dpi);
    HWND window = CreateWindowExW(control.ex_style, control.window_class, control.text,
                                  control.style | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                  place.left, place.top, place.right - place.left,
                                  place.bottom - place.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                  win::ThisModule(), nullptr);
    if (window == nullptr) ThrowLastError();
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return window;
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

bool FocusMemory::Handle(HWND window, UINT message, WPARAM wparam) noexcept {
    if (message == WM_ACTIVATE && LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) last_ = focus;
        return false;  // the default handling still runs
    }
    if (message == WM_SETFOCUS) {
        if (last_ != nullptr && IsWindow(last_)) SetFocus(last_);
        return true;
    }
    return false;
}

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

void ReportWindowFailure(const wchar_t* where) noexcept {
    wchar_t line[160];
    std::swprintf(line, 160, L"Zorvane: %ls failed while handling a window message\n", where);
    OutputDebugStringW(line);
}

}  // namespace zorvane::ui
