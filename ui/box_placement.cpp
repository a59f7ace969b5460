#include "ui/box_placement.h"

#include <algorithm>

namespace zorvane {

ScreenPoint PlaceBox(int width, int height, const std::optional<ScreenRect>& over,
                     const ScreenRect& work_area) noexcept {
    const ScreenRect& centre_on = over ? *over : work_area;
    int x = centre_on.left + (centre_on.Width() - width) / 2;
    int y = centre_on.top + (centre_on.Height() - height) / 2;
    // Right and bottom first, so that left and top win for a box too large to fit.
    x = std::max(std::min(x, work_area.right - width), work_area.left);
    y = std::max(std::min(y, work_area.bottom - height), work_area.top);
    return {x, y};
}

}  // namespace zorvane
