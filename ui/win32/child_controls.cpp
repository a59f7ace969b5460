#include "ui/win32/child_controls.h"

#include "ui/win32/window_failures.h"
#include "win/this_module.h"

namespace zorvane::ui {

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

}  // namespace zorvane::ui
