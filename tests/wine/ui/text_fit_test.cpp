// Every fixed text whole in its fixed box, read through Win32 as a user's screen shows
// it: each text-bearing control's font (WM_GETFONT) and its text measured with
// DrawText/DT_CALCRECT, word-wrapped where the control wraps, against the room the
// control gives it. Run at the prefix's resolution and, by the test command, at 120
// and 144 DPI; the windows' client areas are checked against their sizes in twips.
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// What a control shows of its text and where: the room the system draws the text into.
struct Room {
    RECT rect;
    bool wraps;
};

// False for a control that shows no fixed text (edits, lists, pictures, empty labels).
bool RoomOf(HWND control, Room& room) {
    if (GetWindowTextLengthW(control) == 0) return false;
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    RECT client{};
    GetClientRect(control, &client);
    const std::wstring kind = ClassOf(control);
    if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
            room = {client, true};
            return true;
        }
        if (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) {
            room = {client, false};
            return true;
        }
        return false;
    }
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            InflateRect(&client, -2, -2);  // the button's raised frame
            room = {client, false};
            return true;
        }
        if (type == BS_AUTO3STATE || type == BS_3STATE || type == BS_CHECKBOX || type == BS_AUTOCHECKBOX) {
            client.left += MulDiv(13, ScreenDpi(), 96) + 4;  // the square and its gap
            room = {client, false};
            return true;
        }
    }
    return false;
}

// "" when every text fits; otherwise one line per control that cuts its text.
std::string CutTexts(HWND window) {
    std::ostringstream cut;
    for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        Room room{};
        if (!(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) || !RoomOf(control, room)) continue;
        const std::wstring text = TextOf(control);
        HDC dc = GetDC(control);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        RECT needed = room.rect;
        needed.bottom = needed.top;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
                  DT_CALCRECT | DT_NOPREFIX | (room.wraps ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(dc, old);
        ReleaseDC(control, dc);
        const int width = room.rect.right - room.rect.left;
        const int height = room.rect.bottom - room.rect.top;
        if (needed.right - needed.left > width || needed.bottom - needed.top > height) {
            cut << "  " << testing::PrintToString(ClassOf(control)) << " id " << GetDlgCtrlID(control) << " "
                << testing::PrintToString(text.substr(0, 40)) << ": needs " << needed.right - needed.left << "x"
                << needed.bottom - needed.top << ", has " << width << "x" << height << "\n";
        }
    }
    return cut.str();
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

std::wstring DpiSuffix() { return L"_" + std::to_wstring(ScreenDpi()) + L"dpi"; }

class TextFitTest : public UiTest {};

TEST_F(TextFitTest, BothWindowsShowEveryTextWholeInTheirTwipLayouts) {
    const struct {
        const wchar_t* name;
        HWND (*open)();
        int client_width, client_height;  // twips
    } windows[] = {
        {L"rule_editor", [] { return ShowEditor(); }, 4470, 3255},
        {L"about",
         [] {
             ShowEditor();
             Click(Control(kCommand3));
             Pump(30);
             return AboutWindow();
         },
         5565, 4065},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(window.name)) << " at "
                                        << ScreenDpi() << " DPI");
        HWND opened = window.open();
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(CutTexts(opened), "");
        const SIZE client = ClientSize(opened);
        EXPECT_EQ(client.cx, PixelsX(window.client_width));
        EXPECT_EQ(client.cy, PixelsY(window.client_height));
        Screenshot shot(opened, (window.name + DpiSuffix()).c_str());
    }
}

TEST_F(TextFitTest, InputBoxShowsEveryTextWholeCentredOverTheActiveWindow) {
    HWND editor = ShowEditor();
    // The active window: the host's, where the user is working.
    win::UniqueWindow host(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200,
                                           600, 400, nullptr, nullptr, nullptr, nullptr));
    SetForegroundWindow(host.get());
    Pump(20);
    std::string cut = "box not seen";
    RECT box_rect{};
    HWND box_owner = nullptr;
    boxes_.Then(WhenShown([&](HWND box) {
        cut = CutTexts(box);
        GetWindowRect(box, &box_rect);
        box_owner = GetWindow(box, GW_OWNER);
        Screenshot shot(box, (L"interval_box" + DpiSuffix()).c_str());
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }));
    RunPluginConfigurationData();  // Cancel: then the "Fehler" box, closed with OK
    SCOPED_TRACE(testing::Message() << ScreenDpi() << " DPI");
    EXPECT_EQ(cut, "");
    EXPECT_EQ(box_owner, host.get());
    RECT host_rect{};
    GetWindowRect(host.get(), &host_rect);
    EXPECT_LE(std::abs((box_rect.left + box_rect.right) - (host_rect.left + host_rect.right)), 1);
    EXPECT_LE(std::abs((box_rect.top + box_rect.bottom) - (host_rect.top + host_rect.bottom)), 1);
    (void)editor;
}

TEST_F(TextFitTest, InputBoxOverAWindowOffTheScreenOpensWhollyOnIt) {
    // A host window mostly off the screen's bottom right corner.
    win::UniqueWindow host(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                           GetSystemMetrics(SM_CXSCREEN) - 100, GetSystemMetrics(SM_CYSCREEN) - 60,
                                           600, 400, nullptr, nullptr, nullptr, nullptr));
    SetForegroundWindow(host.get());
    Pump(20);
    RECT box_rect{};
    boxes_.Then(WhenShown([&](HWND box) {
        GetWindowRect(box, &box_rect);
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }));
    RunPluginConfigurationData();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GE(box_rect.left, work.left);
    EXPECT_GE(box_rect.top, work.top);
    EXPECT_LE(box_rect.right, work.right);
    EXPECT_LE(box_rect.bottom, work.bottom);
    EXPECT_GT(box_rect.right, box_rect.left) << "box not seen";
}

}  // namespace
}  // namespace zorvane::ui::test
