#include "ui_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace zorvane::ui::test {

int ExpectedDpi() {
    wchar_t value[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZORVANE_LOGPIXELS", value, 16);
    if (length == 0 || length >= 16) return 96;
    return _wtoi(value);
}

int ScreenDpi(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi;
}

std::size_t ResolutionColumn() {
    for (std::size_t column = 0; column < std::size(kResolutions); ++column) {
        if (kResolutions[column].dpi == ExpectedDpi()) return column;
    }
    ADD_FAILURE() << "no column for " << ExpectedDpi() << " DPI";
    return 0;
}

int Pixels(int twips) {
    const int per_pixel = kResolutions[ResolutionColumn()].twips_per_pixel;
    const int whole = (std::abs(twips) + per_pixel / 2) / per_pixel;
    return twips < 0 ? -whole : whole;
}

int Twips(int pixels) { return pixels * kResolutions[ResolutionColumn()].twips_per_pixel; }

void UiTest::ExpectResolution() {
    const int expected = ExpectedDpi();
    ASSERT_TRUE(std::any_of(std::begin(kResolutions), std::end(kResolutions),
                            [&](const Resolution& r) { return r.dpi == expected; }))
        << "ZORVANE_LOGPIXELS=" << expected << " is none of the resolutions the tests know";
    ASSERT_EQ(ScreenDpi(LOGPIXELSX), expected) << "the prefix's LogPixels is not this run's resolution";
    ASSERT_EQ(ScreenDpi(LOGPIXELSY), expected);
}

void ExpectControls(HWND window, const ControlLayout* first, const ControlLayout* last) {
    HWND child = GetWindow(window, GW_CHILD);
    for (const ControlLayout* expected = first; expected != last; ++expected) {
        SCOPED_TRACE(testing::Message() << "control " << expected->id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), expected->id);
        EXPECT_EQ(ClassOf(child), expected->window_class);
        EXPECT_EQ(TextOf(child), expected->text);
        const RECT rect = PlaceInParent(child);
        EXPECT_EQ(rect.left, Pixels(expected->left));
        EXPECT_EQ(rect.top, Pixels(expected->top));
        if (expected->width != 0) {
            EXPECT_EQ(rect.right - rect.left, Pixels(expected->width));
            EXPECT_EQ(rect.bottom - rect.top, Pixels(expected->height));
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "a control more than the layout has";
}

Screenshot::Screenshot(HWND window, const wchar_t* name) : image_(CaptureWindow(window)) {
    GetWindowRect(window, &frame_);
    EXPECT_EQ(image_.width, frame_.right - frame_.left);
    EXPECT_EQ(image_.height, frame_.bottom - frame_.top);
    CreateDirectoryW(L"screenshots", nullptr);
    SavePng(image_, std::wstring(L"screenshots\\") + name + L".png");
}

COLORREF Screenshot::At(POINT screen) const { return image_.At(screen.x - frame_.left, screen.y - frame_.top); }

COLORREF Screenshot::At(HWND window, int x, int y) const {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return At(point);
}

}  // namespace zorvane::ui::test
