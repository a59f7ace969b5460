#pragma once
// Every fixed text of our windows whole in its fixed box. The forms write with the
// classic 8-point "MS Sans Serif", for which their twip layouts were drawn; where a text
// would still not fit (another font on some system, another resolution), that control
// gets a smaller size of a scalable face instead of a cut text.
#include <windows.h>

#include <vector>

#include "win/handles.h"

namespace zorvane::ui {

inline constexpr wchar_t kFormFontFace[] = L"MS Sans Serif";
inline constexpr int kFormFontPoints = 8;

// The forms' font at a resolution (pixels per logical inch, vertically).
win::UniqueFont CreateFormFont(int dpi_y);

// The rectangle a control draws its text into, in its client coordinates, and the
// DrawText flags it draws with; false for a control that shows no fixed text.
struct TextRoom {
    RECT rect;
    UINT format;
};
bool TextRoomOf(HWND control, TextRoom& room) noexcept;

// True when the control's text, in the given font, fits its room whole.
bool TextFits(HWND control, HFONT font) noexcept;

// Gives every child of the window whose text does not fit in its font the largest
// smaller font in which it does. The fonts made for that are kept in `fonts` and must
// outlive the controls.
void FitChildTexts(HWND window, int dpi_y, std::vector<win::UniqueFont>& fonts);

}  // namespace zorvane::ui
