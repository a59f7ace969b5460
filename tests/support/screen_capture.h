#pragma once
// What a window shows on the screen, as pixels to look at and as a PNG file to keep.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane::test {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // top row first, 0x00RRGGBB

    COLORREF At(int x, int y) const;
};

// The whole window, frame included, redrawn first. Throws win::ComError.
Image CaptureWindow(HWND window);
// The part of a top-level window the program draws: its client area and menu bar (the
// caption and border belong to the window manager, and without one, under Xvfb, nobody
// draws them). Throws win::ComError.
Image CaptureDrawnArea(HWND window);

// Writes the image as a PNG file. Throws win::ComError.
void SavePng(const Image& image, const std::wstring& path);

}  // namespace zorvane::test
