#include "ui/win32/about_form.h"

#include <string>

#include "common/component_title.h"
#include "ui/win32/about_picture.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/information_box.h"
#include "win/com_error.h"
#include "win/gdi.h"

namespace zorvane::ui {
namespace {

constexpr wchar_t kDescription[] =
    L"Dieses Plugin erm\u00F6glicht es, ausgew\u00E4hlte Kan\u00E4le auf einen bestimmten "
    L"Minimal- und Maximalwert zu begrenzen. Dazu m\u00FCssen die drei Felder f\u00FCr Kanal, "
    L"Minimalwert und Maximalwert ausgef\u00FCllt werden. Anschlie\u00DFend muss der Button "
    L"'Werte hinzuf\u00FCgen' gedr\u00FCckt werden. Es k\u00F6nnen beliebig viele Kan\u00E4le "
    L"eingetragen werden. Zum L\u00F6schen eines Eintrags muss dieser markiert werden und "
    L"anschlie\u00DFend auf den Button 'Markierten Eintrag l\u00F6schen' gedr\u00FCckt werden. "
    L"Durch Klick auf 'Gew\u00E4hltes Plugin konfigurieren' in der Pluginverwaltung kann das "
    L"Interval des Timers eingestellt werden. Dieses gibt an, wie oft der Kanalwert abgefragt "
    L"werden soll und bei Bedarf manipuliert werden soll.";

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

// In tab order. picIcon's size follows its picture; the table gives its place.
constexpr ChildControl kControls[] = {
    {L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, kCmdOk, {4200, 3600, 1260, 345}},
    {L"STATIC", L"", SS_OWNERDRAW | WS_BORDER, 0, kPicIcon, {120, 120, 870, 870}},
    {L"STATIC", kDescription, kLabel, 0, kLblDescription, {1080, 1080, 4395, 2370}},
    {L"STATIC", L"", kLabel, 0, kLblDisclaimer, {120, 4920, 2790, 825}},
    {L"STATIC", L"Orbanel Plugin: Zorvane", kLabel, 0, kLblTitle, {1080, 240, 3885, 360}},
    {L"STATIC", L"Version 0.1 (Jorvin Ulvmar)", kLabel, 0, kLblVersion, {1080, 600, 3885, 225}},
    {L"STATIC", L"", SS_NOTIFY, 0, kAboutLabel1, {840, 3720, 135, 135}},
};

struct Separator {
    COLORREF color;
    int width;  // pixels
    POINT from, to;  // twips
};

constexpr FormDesign kDesign = {
    .class_name = L"ZorvaneAbout",
    .name = L"frmAbout",
    .caption = L"Hilfe",
    .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
    // A dialog frame, and no task-bar button for a window that has no owner.
    .ex_style = WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW,
    .client_width = 5565,
    .client_height = 4065,
    .controls = kControls,
};

// Drawn in this order: each etched line is a white and a grey one on top of each other.
constexpr Separator kSeparators[] = {
    {RGB(255, 255, 255), 2, {0, 3480}, {5549, 3480}},
    {RGB(128, 128, 128), 1, {0, 3480}, {5564, 3480}},
    {RGB(128, 128, 128), 1, {840, 3240}, {840, 1200}},
    {RGB(255, 255, 255), 2, {840, 1200}, {840, 3240}},
};

POINT PixelsOf(POINT twips, const Dpi& dpi) noexcept {
    const RECT rect = ToPixels({twips.x, twips.y, 0, 0}, dpi);
    return {rect.left, rect.top};
}

}  // namespace

AboutForm::AboutForm() noexcept : Form(kDesign) {}

AboutForm::~AboutForm() {
    Unload();
}

POINT AboutForm::InitialPosition(SIZE outer) const noexcept {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return {work.left + ((work.right - work.left) - outer.cx) / 2,
            work.top + ((work.bottom - work.top) - outer.cy) / 2};
}

std::optional<LRESULT> AboutForm::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
        case IDCANCEL:  // Esc
            Unload();
            return 0;
        case kAboutLabel1:
            if (HIWORD(wparam) == STN_CLICKED) {
                ShowInformation(window(), L"Die Wei\u00DFhaarige hat wei\u00DFe Haare!",
                                L"Die Wei\u00DFhaarige...");
            }
            return 0;
        default:
            return 0;
        }
    case DM_GETDEFID:
        return MAKELRESULT(kCmdOk, DC_HASDEFID);
    case WM_PAINT:
        Paint();
        return 0;
    case WM_DRAWITEM:
        if (wparam != kPicIcon) return std::nullopt;
        DrawPicture(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
        return TRUE;
    default:
        return std::nullopt;
    }
}

void AboutForm::OnLoad() {
    SetWindowTextW(window(), (std::wstring(L"Info zu ") + kComponentTitle).c_str());
    try {
        picture_ = LoadAboutPicture();
    } catch (...) {
        // The window is useful without its picture; the box stays empty.
        OutputDebugStringW(L"Zorvane: the about picture did not load\n");
    }
    PlacePicture();
    focus().Remember(Control(kCmdOk));
}

void AboutForm::OnUnloaded() noexcept {
    picture_.Reset();
}

void AboutForm::PlacePicture() noexcept {
    if (!picture_) return;
    try {
        const PictureBitmap bitmap = BitmapOf(picture_.Get());
        HWND box = Control(kPicIcon);
        // The box takes the picture's own pixel size, plus its border.
        RECT outer{0, 0, bitmap.size.cx, bitmap.size.cy};
        AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(box, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(box, GWL_EXSTYLE)));
        SetWindowPos(box, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    } catch (...) {
        picture_.Reset();
    }
}

void AboutForm::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window(), &paint);
    if (dc == nullptr) return;
    for (const Separator& line : kSeparators) {
        win::UniquePen pen(CreatePen(PS_SOLID, line.width, line.color));
        if (!pen) continue;
        const win::Selection selected(dc, pen.get());
        const POINT from = PixelsOf(line.from, dpi());
        const POINT to = PixelsOf(line.to, dpi());
        MoveToEx(dc, from.x, from.y, nullptr);
        LineTo(dc, to.x, to.y);
    }
    EndPaint(window(), &paint);
}

void AboutForm::DrawPicture(const DRAWITEMSTRUCT& item) noexcept {
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (!picture_) return;
    try {
        const PictureBitmap bitmap = BitmapOf(picture_.Get());
        const win::MemoryDc memory(item.hDC);
        if (memory.get() == nullptr) return;
        const win::Selection selected(memory.get(), bitmap.bitmap);
        BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, bitmap.size.cx, bitmap.size.cy,
               memory.get(), 0, 0, SRCCOPY);
    } catch (...) {
        // Nothing to draw.
    }
}

}  // namespace zorvane::ui
