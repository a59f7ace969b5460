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

// A window's device context (the screen's for null), released at the end of its scope.
class ReleasedDc {
public:
    ReleasedDc(HWND window, HDC dc) noexcept : window_(window), dc_(dc) {}
    ~ReleasedDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ReleasedDc(const ReleasedDc&) = delete;
    ReleasedDc& operator=(const ReleasedDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// The whole window's, frame included.
class WindowDc : public ReleasedDc {
public:
    explicit WindowDc(HWND window) noexcept : ReleasedDc(window, GetWindowDC(window)) {}
};

// The client area's.
class ClientDc : public ReleasedDc {
public:
    explicit ClientDc(HWND window) noexcept : ReleasedDc(window, GetDC(window)) {}
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

// The description of a 32-bit bitmap of width x height pixels, top row first: the order
// pixels are read and compared in.
inline BITMAPINFO TopDownBitmapInfo(int width, int height) noexcept {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

}  // namespace zorvane::win
