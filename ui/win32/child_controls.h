#pragma once
// A form's child controls, made from a table laid out in twips, and the texts they hold.
#include <windows.h>

#include <string>

#include "ui/win32/twips.h"

namespace zorvane::ui {

struct ChildControl {
    const wchar_t* window_class;
    const wchar_t* text;
    // WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS are added: where controls overlap, the one
    // earlier in the tab order stays on top, as a label never covers a list box.
    DWORD style;
    DWORD ex_style;
    int id;
    TwipsRect place;
};

// Creates the control and hands it the font; throws on failure.
HWND CreateControl(HWND parent, const ChildControl& control, const Dpi& dpi, HFONT font);

std::wstring WindowText(HWND window);

}  // namespace zorvane::ui
