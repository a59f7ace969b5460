#pragma once
// Where a box opens: centred over the window the user is working in, or over the
// screen when there is none, and never partly off the screen.
#include <optional>

namespace zorvane {

struct ScreenRect {
    int left, top, right, bottom;
    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
};

struct ScreenPoint {
    int x, y;
};

// The top-left corner for a box of the given size: centred over `over` (the active
// window) or, without one, over the work area; then moved inside the work area. A box
// larger than the work area keeps its top-left corner (and caption) on the screen.
ScreenPoint PlaceBox(int width, int height, const std::optional<ScreenRect>& over,
                     const ScreenRect& work_area) noexcept;

}  // namespace zorvane
