#include "ui/win32/text_fit.h"

#include <array>
#include <string>

#include "ui/win32/child_controls.h"
#include "ui/win32/window_failures.h"
#include "win/gdi.h"

namespace zorvane::ui {
namespace {

// Scalable faces for a size the bitmap face does not have, best first.
constexpr std::array<const wchar_t*, 3> kScalableFaces = {L"Microsoft Sans Serif", L"Tahoma", L"Arial"};

// The smallest size worth reading, as a share of the form's own.
constexpr int kSmallestPercent = 70;

std::wstring ClassOf(HWND window) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    return name;
}

win::UniqueFont FontOfHeight(const wchar_t* face, int height) {
    LOGFONTW font{};
    font.lfHeight = -height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return win::UniqueFont(CreateFontIndirectW(&font));
}

bool FaceExists(HDC dc, const wchar_t* face) noexcept {
    win::UniqueFont font = FontOfHeight(face, 12);
    if (!font) return false;
    wchar_t chosen[LF_FACESIZE] = {};
    const win::Selection selected(dc, font.get());
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    return _wcsicmp(chosen, face) == 0;
}

}  // namespace

win::UniqueFont CreateFormFont(int dpi_y) {
    win::UniqueFont font = FontOfHeight(kFormFontFace, MulDiv(kFormFontPoints, dpi_y, 72));
    if (!font) ThrowLastError();
    return font;
}

bool TextRoomOf(HWND control, TextRoom& room) noexcept {
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    RECT client{};
    GetClientRect(control, &client);
    const std::wstring window_class = ClassOf(control);
    if (_wcsicmp(window_class.c_str(), L"Static") == 0) {
        const LONG_PTR kind = style & SS_TYPEMASK;
        if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_SIMPLE &&
            kind != SS_LEFTNOWORDWRAP) {
            return false;
        }
        const bool wraps = kind == SS_LEFT || kind == SS_CENTER || kind == SS_RIGHT;
        room = {client, static_cast<UINT>(DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE))};
        return true;
    }
    if (_wcsicmp(window_class.c_str(), L"Button") == 0) {
        const LONG_PTR kind = style & BS_TYPEMASK;
        // Room for the frame and the focus rectangle, a pixel more than they take.
        const int edge = GetSystemMetrics(SM_CXEDGE) + 1;
        if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
            InflateRect(&client, -edge, -edge);
            room = {client, DT_SINGLELINE | DT_CENTER | DT_VCENTER};
            return true;
        }
        if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_3STATE ||
            kind == BS_AUTO3STATE) {
            // The check box's square and the gap after it.
            client.left += GetSystemMetrics(SM_CXMENUCHECK) + 2 * edge;
            room = {client, DT_SINGLELINE | DT_VCENTER};
            return true;
        }
    }
    return false;
}

bool TextFits(HWND control, HFONT font) noexcept {
    TextRoom room{};
    if (!TextRoomOf(control, room)) return true;
    const std::wstring text = WindowText(control);
    if (text.empty()) return true;
    const win::ClientDc dc(control);
    if (dc.get() == nullptr) return true;
    RECT needed = room.rect;
    needed.bottom = needed.top;
    {
        const win::Selection selected(dc.get(), font);
        DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
                  (room.format & ~(DT_VCENTER | DT_CENTER)) | DT_CALCRECT);
    }
    return needed.right - needed.left <= room.rect.right - room.rect.left &&
           needed.bottom - needed.top <= room.rect.bottom - room.rect.top;
}

void FitChildTexts(HWND window, int dpi_y, std::vector<win::UniqueFont>& fonts) {
    const int full = MulDiv(kFormFontPoints, dpi_y, 72);
    const int smallest = MulDiv(full, kSmallestPercent, 100);
    for (HWND control = GetWindow(window, GW_CHILD); control != nullptr;
         control = GetWindow(control, GW_HWNDNEXT)) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        if (TextFits(control, font)) continue;
        const win::ClientDc dc(control);
        const wchar_t* face = nullptr;
        for (const wchar_t* candidate : kScalableFaces) {
            if (dc.get() != nullptr && FaceExists(dc.get(), candidate)) {
                face = candidate;
                break;
            }
        }
        if (face == nullptr) face = kFormFontFace;
        for (int height = full; height >= smallest; --height) {
            win::UniqueFont smaller = FontOfHeight(face, height);
            if (!smaller) break;
            const bool fits = TextFits(control, smaller.get());
            if (fits || height == smallest) {
                SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(smaller.get()), TRUE);
                fonts.push_back(std::move(smaller));
                break;
            }
        }
    }
}

}  // namespace zorvane::ui
