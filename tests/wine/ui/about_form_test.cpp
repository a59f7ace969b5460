// The about window: opened by "Hilfe", one at a time, closed by OK, Enter, Esc and the
// close box, and its hidden click spot.
#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

constexpr ControlLayout kLayout[] = {
    {kCmdOk, L"Button", L"OK", 4200, 3600, 1260, 345},
    {kPicIcon, L"Static", L"", 120, 120, 0, 0},
    {kLblDescription, L"Static",
     L"Dieses Plugin erm\u00F6glicht es, ausgew\u00E4hlte Kan\u00E4le auf einen bestimmten Minimal- und "
     L"Maximalwert zu begrenzen. Dazu m\u00FCssen die drei Felder f\u00FCr Kanal, Minimalwert und "
     L"Maximalwert ausgef\u00FCllt werden. Anschlie\u00DFend muss der Button 'Werte hinzuf\u00FCgen' "
     L"gedr\u00FCckt werden. Es k\u00F6nnen beliebig viele Kan\u00E4le eingetragen werden. Zum "
     L"L\u00F6schen eines Eintrags muss dieser markiert werden und anschlie\u00DFend auf den Button "
     L"'Markierten Eintrag l\u00F6schen' gedr\u00FCckt werden. Durch Klick auf 'Gew\u00E4hltes Plugin "
     L"konfigurieren' in der Pluginverwaltung kann das Interval des Timers eingestellt werden. "
     L"Dieses gibt an, wie oft der Kanalwert abgefragt werden soll und bei Bedarf manipuliert "
     L"werden soll.",
     1080, 1080, 4395, 2370},
    {kLblDisclaimer, L"Static", L"", 120, 4920, 2790, 825},
    {kLblTitle, L"Static", L"Orbanel Plugin: Zorvane", 1080, 240, 3885, 360},
    {kLblVersion, L"Static", L"Version 0.1 (Jorvin Ulvmar)", 1080, 600, 3885, 225},
    {kAboutLabel1, L"Static", L"", 840, 3720, 135, 135},
};

class AboutFormTest : public UiTest {
protected:
    HWND OpenAbout() {
        ShowEditor();
        Click(Control(kCommand3));
        Pump(30);
        return AboutWindow();
    }
    HWND AboutControl(int id) { return GetDlgItem(AboutWindow(), id); }
};

TEST_F(AboutFormTest, HilfeOpensOneOwnerlessToolWindowWithItsControls) {
    HWND about = OpenAbout();
    ASSERT_TRUE(IsWindow(about));
    EXPECT_TRUE(IsWindowVisible(about));
    EXPECT_EQ(TextOf(about), L"Info zu Zorvane");
    EXPECT_EQ(GetWindow(about, GW_OWNER), nullptr);
    EXPECT_EQ(GetParent(about), nullptr);
    const LONG style = GetWindowLongW(about, GWL_STYLE);
    const LONG ex_style = GetWindowLongW(about, GWL_EXSTYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(ex_style & (WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME), WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME);
    EXPECT_EQ(ex_style & WS_EX_APPWINDOW, 0);
    RECT client;
    GetClientRect(about, &client);
    EXPECT_EQ(client.right, Pixels(5565));
    EXPECT_EQ(client.bottom, Pixels(4065));
    EXPECT_EQ(GetFocus(), AboutControl(kCmdOk));
    ExpectControls(about, std::begin(kLayout), std::end(kLayout));
    EXPECT_NE(GetWindowLongW(AboutControl(kCmdOk), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    EXPECT_NE(GetWindowLongW(AboutControl(kAboutLabel1), GWL_STYLE) & SS_NOTIFY, 0);
}

TEST_F(AboutFormTest, ThePictureBoxTakesThePicturesSizeAndShowsIt) {
    OpenAbout();
    HWND picture = AboutControl(kPicIcon);
    RECT client;
    GetClientRect(picture, &client);
    EXPECT_EQ(client.right, 56);
    EXPECT_EQ(client.bottom, 56);
    RECT outer;
    GetWindowRect(picture, &outer);
    // Its border included: 58 pixels, 870 twips at 96 DPI.
    EXPECT_EQ(outer.right - outer.left, 56 + 2 * GetSystemMetrics(SM_CXBORDER));

    // The drawing is the picture's, not the window's background: dark at the top left.
    HDC dc = GetDC(picture);
    const COLORREF corner = GetPixel(dc, 1, 1);
    const COLORREF band = GetPixel(dc, 8, 27);  // the green fader knob
    ReleaseDC(picture, dc);
    EXPECT_LT(GetRValue(corner) + GetGValue(corner) + GetBValue(corner), 200);
    EXPECT_GT(GetGValue(band), GetRValue(band) + 60);
}

TEST_F(AboutFormTest, TheDisclaimerLiesOutsideTheClientArea) {
    HWND about = OpenAbout();
    RECT client;
    GetClientRect(about, &client);
    const RECT disclaimer = PlaceInParent(AboutControl(kLblDisclaimer));
    RECT overlap;
    EXPECT_FALSE(IntersectRect(&overlap, &client, &disclaimer));
}

TEST_F(AboutFormTest, HilfeWhileOpenKeepsTheOneWindow) {
    HWND about = OpenAbout();
    Click(Control(kCommand3));
    Pump(20);
    EXPECT_EQ(ThreadWindows(kAboutCaption), std::vector<HWND>{about});
    EXPECT_EQ(GetForegroundWindow(), about);
}

TEST_F(AboutFormTest, TheClickSpotShowsItsMessageAndTheWindowStays) {
    HWND about = OpenAbout();
    HWND spot = AboutControl(kAboutLabel1);
    SendMessageW(spot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(spot, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Pump(20);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    const SeenBox& box = boxes_.boxes()[0];
    EXPECT_EQ(box.text, L"Die Wei\u00DFhaarige hat wei\u00DFe Haare!");
    EXPECT_EQ(box.title, L"Die Wei\u00DFhaarige...");
    EXPECT_TRUE(box.information_icon);
    EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_TRUE(IsWindow(about));
    EXPECT_EQ(AboutWindow(), about);
}

TEST_F(AboutFormTest, OkEnterEscAndTheCloseBoxUnloadIt) {
    const struct {
        const char* how;
        void (*close)(HWND about);
    } ways[] = {
        {"OK", [](HWND about) { Click(GetDlgItem(about, kCmdOk)); }},
        {"Enter", [](HWND) { PressKey(VK_RETURN); }},
        {"Esc", [](HWND) { PressKey(VK_ESCAPE); }},
        {"close box", [](HWND about) { SendMessageW(about, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        HWND about = OpenAbout();
        ASSERT_TRUE(IsWindow(about));
        EXPECT_EQ(TextOf(about), L"Info zu Zorvane");  // on every load
        ASSERT_EQ(GetFocus(), GetDlgItem(about, kCmdOk));
        way.close(about);
        Pump(20);
        EXPECT_FALSE(IsWindow(about));
        EXPECT_EQ(AboutWindow(), nullptr);
        EXPECT_TRUE(EditorLoaded());
    }
}

// What a person sees of the two separators: across, a grey line with a white one beside
// it; down, the white line drawn over the grey. The picture is kept in
// screenshots/about.png.
TEST_F(AboutFormTest, OnTheScreenTheSeparatorsAreDrawn) {
    HWND about = OpenAbout();
    const Screenshot shot(about, L"about");
    const COLORREF grey = RGB(128, 128, 128);
    const COLORREF white = RGB(255, 255, 255);
    const int x = Pixels(2000);
    const int y = Pixels(3480);
    EXPECT_EQ(shot.At(about, x, y), grey);
    EXPECT_TRUE(shot.At(about, x, y - 1) == white || shot.At(about, x, y + 1) == white)
        << "no white line beside the grey one across";
    EXPECT_EQ(shot.At(about, Pixels(840), Pixels(2200)), white);
    EXPECT_EQ(shot.At(about, x, Pixels(3750)), GetSysColor(COLOR_BTNFACE)) << "the background below the line";
}

}  // namespace
}  // namespace zorvane::ui::test
