#include "ui/win32/twips.h"

namespace zorvane::ui {

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

}  // namespace zorvane::ui
