#include "host/app/dock_pane.h"

#include <utility>

#include "host/app/window_class.h"
#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

constexpr wchar_t kPaneClass[] = L"ZorvaneStandinDockPane";
constexpr int kCloseButton = 1;
constexpr int kCloseSize = 16;

constexpr auto kFloatingBits =
    static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX);
constexpr auto kFloatingExBits =
    static_cast<LONG_PTR>(WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_TOOLWINDOW);

void ApplyFrame(HWND window) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace

void DockPane::Open(HWND parent, const RECT& place, int close_command, HFONT font) {
    if (open()) return;
    RegisterProgramClass(kPaneClass, WindowProc, {.background = ButtonFaceBrush()});
    close_command_ = close_command;
    LOGFONTW title_font{};
    GetObjectW(font, sizeof(title_font), &title_font);
    title_font.lfWeight = FW_BOLD;
    title_font_.reset(CreateFontIndirectW(&title_font));
    // A dialog-like parent: the host's Tab order goes on into the docked window's controls.
    HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                  place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
                                  nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"CreateWindowEx pane");
    const int width = place.right - place.left;
    HWND close = CreateWindowExW(0, L"BUTTON", L"\u00D7", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, width - kCloseSize - 2,
                                 (kTitleHeight - kCloseSize) / 2, kCloseSize, kCloseSize, window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCloseButton)), GetModuleHandleW(nullptr),
                                 nullptr);
    if (close == nullptr) {
        Close();
        win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"CreateWindowEx pane button");
    }
    SendMessageW(close, WM_SETFONT, reinterpret_cast<WPARAM>(title_font_.get()), FALSE);
}

void DockPane::Close() noexcept {
    window_.reset();
    title_font_.reset();
}

HWND DockPane::close_button() const noexcept { return open() ? GetDlgItem(window_.get(), kCloseButton) : nullptr; }

void DockPane::SetTitle(std::wstring title) {
    title_ = std::move(title);
    if (!open()) return;
    RECT strip = DockArea();
    strip.bottom = strip.top;
    strip.top = 0;
    InvalidateRect(window_.get(), &strip, TRUE);
}

RECT DockPane::DockArea() const noexcept {
    RECT area{};
    if (open()) GetClientRect(window_.get(), &area);
    area.top = kTitleHeight;
    return area;
}

LRESULT CALLBACK DockPane::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<DockPane*>(reinterpret_cast<const CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_.reset(window);
    }
    auto* self = reinterpret_cast<DockPane*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    try {
        return self->OnMessage(window, message, wparam, lparam);
    } catch (...) {
        // A title not painted; the pane and what is docked in it go on.
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

LRESULT DockPane::OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        PaintTitle(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == kCloseButton && HIWORD(wparam) == BN_CLICKED) {
            // Posted: the button is still in its click, and the pane goes with its parent's answer.
            PostMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(close_command_, 0), 0);
        }
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        window_.release();
        return DefWindowProcW(window, message, wparam, lparam);
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

void DockPane::PaintTitle(HDC dc) const {
    RECT strip{};
    GetClientRect(window_.get(), &strip);
    strip.bottom = kTitleHeight;
    FillRect(dc, &strip, GetSysColorBrush(COLOR_ACTIVECAPTION));
    const HGDIOBJ previous = SelectObject(dc, title_font_.get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    RECT text = strip;
    text.left += 6;
    text.right -= kCloseSize + 6;
    DrawTextW(dc, title_.c_str(), static_cast<int>(title_.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, previous);
}

FloatingFrame DockInto(HWND window, HWND pane) {
    if (!IsWindow(window)) win::ThrowHr(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE), L"SetParent");
    const FloatingFrame floating{GetWindowLongPtrW(window, GWL_STYLE), GetWindowLongPtrW(window, GWL_EXSTYLE)};
    // A window leaving the desktop takes WS_CHILD before SetParent, as SetParent asks.
    SetWindowLongPtrW(window, GWL_STYLE, (floating.style & ~kFloatingBits) | WS_CHILD);
    SetWindowLongPtrW(window, GWL_EXSTYLE, floating.ex_style & ~kFloatingExBits);
    if (SetParent(window, pane) == nullptr) {
        const DWORD error = GetLastError();
        SetWindowLongPtrW(window, GWL_STYLE, floating.style);
        SetWindowLongPtrW(window, GWL_EXSTYLE, floating.ex_style);
        win::ThrowHr(HRESULT_FROM_WIN32(error), L"SetParent");
    }
    ApplyFrame(window);
    return floating;
}

void Undock(HWND window, const FloatingFrame& frame) {
    if (!IsWindow(window)) win::ThrowHr(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE), L"SetParent");
    // Back on the desktop first, then its own bits again (visibility as it is now).
    SetParent(window, nullptr);
    const LONG_PTR visible = GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongPtrW(window, GWL_STYLE, (frame.style & ~static_cast<LONG_PTR>(WS_VISIBLE)) | visible);
    SetWindowLongPtrW(window, GWL_EXSTYLE, frame.ex_style);
    ApplyFrame(window);
}

}  // namespace zorvane::host_app
