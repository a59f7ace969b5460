// Every fixed text whole in its fixed box, checked as a person checks it rather than by
// the rule the windows fit their texts with: each label's, button's and check box's text
// in the control's own font (WM_GETFONT), measured with DrawText/DT_CALCRECT against the
// control's client area (word-wrapped where a label wraps), and drawn: the control shows
// as many pixels of its text as a copy of it with all the room it wants. Run at the
// prefix's resolution and, by the test command, at 120 and 144 DPI; the windows' client
// areas are checked against their sizes in twips.
#include <windows.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "ui_fixture.h"
#include "win/gdi.h"

namespace zorvane::ui::test {
namespace {

bool IsClass(HWND control, const wchar_t* name) { return _wcsicmp(ClassOf(control).c_str(), name) == 0; }

// A label that breaks its text into lines; every other text stands on one line.
bool Wraps(HWND control) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK;
    return IsClass(control, L"Static") && (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
}

// The text's size in the control's font, on one line or wrapped at the control's width.
SIZE MeasuredText(HWND control) {
    const std::wstring text = TextOf(control);
    RECT client{};
    GetClientRect(control, &client);
    const bool no_prefix = IsClass(control, L"Static") && (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX);
    RECT needed{0, 0, client.right, 0};
    const win::ClientDc dc(control);
    const win::Selection font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | (no_prefix ? DT_NOPREFIX : 0) | (Wraps(control) ? DT_WORDBREAK : DT_SINGLELINE));
    return {needed.right - needed.left, needed.bottom - needed.top};
}

// How many pixels of the text's colour the control draws in its client area, as its
// WM_PAINT draws it (WM_PRINTCLIENT runs the same code), leaving out a push button's
// frame, whose pixels are of that colour too and grow with the button.
int TextPixels(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    const int frame = IsClass(control, L"Button") && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) ? 3 : 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const win::ClientDc screen(nullptr);
    const win::MemoryDc memory(screen.get());
    void* bits = nullptr;
    const win::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) {
        ADD_FAILURE() << "no bitmap of " << client.right << "x" << client.bottom;
        return 0;
    }
    {
        const win::Selection selected(memory.get(), bitmap.get());
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()), PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
    }
    const auto as_pixel = [](COLORREF color) {
        return static_cast<std::uint32_t>(GetRValue(color)) << 16 | static_cast<std::uint32_t>(GetGValue(color)) << 8 |
               GetBValue(color);
    };
    const std::uint32_t button_text = as_pixel(GetSysColor(COLOR_BTNTEXT));
    const std::uint32_t window_text = as_pixel(GetSysColor(COLOR_WINDOWTEXT));
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    int count = 0;
    for (int y = frame; y < client.bottom - frame; ++y) {
        for (int x = frame; x < client.right - frame; ++x) {
            const std::uint32_t pixel = pixels[y * client.right + x] & 0x00FFFFFFu;
            if (pixel == button_text || pixel == window_text) ++count;
        }
    }
    return count;
}

// The control once more, with room to spare on every side: its class, styles, font,
// text, check state and keyboard cues, in a hidden window of its own.
win::UniqueWindow RoomyCopy(HWND control, HWND parent) {
    RECT client{};
    GetClientRect(control, &client);
    win::UniqueWindow copy(CreateWindowExW(
        static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE)), ClassOf(control).c_str(), TextOf(control).c_str(),
        static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)), 0, 0, 3 * client.right + 200,
        3 * client.bottom + 100, parent, nullptr, GetModuleHandleW(nullptr), nullptr));
    if (!copy) return copy;
    SendMessageW(copy.get(), WM_SETFONT, static_cast<WPARAM>(SendMessageW(control, WM_GETFONT, 0, 0)), FALSE);
    if (IsClass(control, L"Button")) {
        SendMessageW(copy.get(), BM_SETCHECK, static_cast<WPARAM>(SendMessageW(control, BM_GETCHECK, 0, 0)), 0);
    }
    const auto cues = static_cast<WORD>(SendMessageW(control, WM_QUERYUISTATE, 0, 0));
    SendMessageW(copy.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, cues), 0);
    SendMessageW(copy.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, ~cues & (UISF_HIDEFOCUS | UISF_HIDEACCEL)), 0);
    return copy;
}

// "" when every text is whole; otherwise a line for each control that cuts its text.
std::string CutTexts(HWND window) {
    std::ostringstream cut;
    const win::UniqueWindow roomy_parent(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                                         GetModuleHandleW(nullptr), nullptr));
    for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!IsWindowVisible(control) || TextOf(control).empty()) continue;
        if (!IsClass(control, L"Static") && !IsClass(control, L"Button")) continue;
        RECT client{};
        GetClientRect(control, &client);
        const SIZE needed = MeasuredText(control);
        const win::UniqueWindow roomy = RoomyCopy(control, roomy_parent.get());
        const int drawn = TextPixels(control);
        const int whole = roomy ? TextPixels(roomy.get()) : -1;
        if (needed.cx > client.right || needed.cy > client.bottom || drawn < whole || whole <= 0) {
            cut << "  " << testing::PrintToString(ClassOf(control)) << " id " << GetDlgCtrlID(control) << " "
                << testing::PrintToString(TextOf(control).substr(0, 40)) << ": needs " << needed.cx << "x"
                << needed.cy << ", has " << client.right << "x" << client.bottom << "; draws " << drawn
                << " pixels of its text, with room " << whole << "\n";
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
        EXPECT_EQ(client.cx, Pixels(window.client_width));
        EXPECT_EQ(client.cy, Pixels(window.client_height));
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
