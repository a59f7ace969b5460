// Where the interval box opens.
#include <gtest/gtest.h>

#include "ui/box_placement.h"

namespace zorvane {
namespace {

TEST(PlaceBox, CentresOverTheActiveWindowOrTheScreenAndStaysOnIt) {
    const ScreenRect screen{0, 0, 1280, 1000};  // the work area, without the task bar
    const struct Case {
        const char* what;
        std::optional<ScreenRect> over;
        int width, height;
        int x, y;
    } cases[] = {
        {"no window: the screen's centre", std::nullopt, 330, 130, 475, 435},
        {"over a window in the middle", ScreenRect{100, 200, 700, 600}, 300, 100, 250, 350},
        {"a window near the right edge", ScreenRect{1100, 100, 1500, 400}, 300, 100, 980, 200},
        {"a window off the top left", ScreenRect{-500, -400, -100, 0}, 300, 100, 0, 0},
        {"a window below the screen", ScreenRect{600, 950, 900, 1300}, 300, 100, 600, 900},
        {"a box larger than the screen", std::nullopt, 1400, 1100, 0, 0},
        {"an odd size rounds down", ScreenRect{0, 0, 101, 101}, 50, 50, 25, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScreenPoint at = PlaceBox(c.width, c.height, c.over, screen);
        EXPECT_EQ(at.x, c.x);
        EXPECT_EQ(at.y, c.y);
    }
}

TEST(PlaceBox, AWorkAreaThatDoesNotStartAtZero) {
    // A second monitor to the left, its task bar at the top.
    const ScreenRect left_monitor{-1920, 40, 0, 1080};
    const ScreenPoint at = PlaceBox(400, 200, ScreenRect{-100, 0, 300, 300}, left_monitor);
    EXPECT_EQ(at.x, -400);
    EXPECT_EQ(at.y, 50);
}

}  // namespace
}  // namespace zorvane
