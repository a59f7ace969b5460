#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

int ScreenDpi(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

int PixelsX(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSX), 1440); }
int PixelsY(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSY), 1440); }

void ExpectControls(HWND window, const ControlLayout* first, const ControlLayout* last) {
    HWND child = GetWindow(window, GW_CHILD);
    for (const ControlLayout* expected = first; expected != last; ++expected) {
        SCOPED_TRACE(testing::Message() << "control " << expected->id);
        ASSERT_NE(child, nullptr);
        EXPECT_EQ(GetDlgCtrlID(child), expected->id);
        EXPECT_EQ(ClassOf(child), expected->window_class);
        EXPECT_EQ(TextOf(child), expected->text);
        const RECT rect = PlaceInParent(child);
        EXPECT_EQ(rect.left, PixelsX(expected->left));
        EXPECT_EQ(rect.top, PixelsY(expected->top));
        if (expected->width != 0) {
            EXPECT_EQ(rect.right - rect.left, PixelsX(expected->width));
            EXPECT_EQ(rect.bottom - rect.top, PixelsY(expected->height));
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
