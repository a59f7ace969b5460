#pragma once
// Scoped device contexts and selections: whatever is taken for drawing or measuring is
// given back at the end of the scope, however it ends.
#include <windows.h>

#include <utility>

namespace zorvane::win {

// A memory device context, deleted at the end of its scope.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatible_with) noexcept : dc_(CreateCompatibleDC(compatible_with)) {}
    ~MemoryDc() {
        if (dc_ != nullptr) DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

// The device context of a whole window, frame included (the screen's for null),
// released at the end of its scope.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetWindowDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The device context of a window's client area (the screen's for null), released at the
// end of its scope.
class ClientDc {
public:
    explicit ClientDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    ~ClientDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ClientDc(const ClientDc&) = delete;
    ClientDc& operator=(const ClientDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context until the end of its scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, previous_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace zorvane::win
