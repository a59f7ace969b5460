#pragma once
// Twips, the unit the forms are laid out in (1440 to the inch), and the screen's
// resolution that turns them into pixels.
#include <windows.h>

namespace zorvane::ui {

// Pixels per logical inch of the screen, horizontally and vertically.
struct Dpi {
    int x = 96;
    int y = 96;
};
Dpi ScreenDpi() noexcept;

struct TwipsRect {
    int left, top, width, height;
};

RECT ToPixels(const TwipsRect& twips, const Dpi& dpi) noexcept;

// A window's outer size for a client area given in twips.
SIZE OuterSizeForClient(int width_twips, int height_twips, DWORD style, DWORD ex_style,
                        const Dpi& dpi) noexcept;

}  // namespace zorvane::ui
