#pragma once
// A window's picture as a 24-bit BMP file, for the main job's screenshots.
#include <windows.h>

#include <string>

namespace zorvane::host_app {

// Copies what the window shows (client area and menu bar) into a bitmap and writes it
// to path. Throws win::ComError on failure.
void SaveWindowBitmap(HWND window, const std::wstring& path);

}  // namespace zorvane::host_app
