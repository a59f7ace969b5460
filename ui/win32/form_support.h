#pragma once
// What the forms are made with: twips at the screen's resolution, child controls from a
// table, their window classes, focus memory and message boxes.
#include <windows.h>

#include <string>
#include <string_view>

#include "win/handles.h"

namespace zorvane::ui {

// [[noreturn]] with the thread's last error, or E_FAIL when there is none.
[[noreturn]] void ThrowLastError();

// Pixels per logical inch of the screen, horizontally and vertically.
struct Dpi {
    int x = 96;
    int y = 96;
};
Dpi ScreenDpi() noexcept;

struct TwipsRect {
    int left, top, width, height;
};

RECT ToPixels(const TwipsRect& twips, const Dpi& dpi) noexcept;

// A window's outer size for a client area given in twips.
SIZE OuterSizeForClient(int width_twips, int height_twips, DWORD style, DWORD ex_style,
                        const Dpi& dpi) noexcept;

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

// The control that had the focus when the window lost the activation, given the focus
// again when the window gets it back, as a dialog does.
class FocusMemory {
public:
    void Remember(HWND control) noexcept { last_ = control; }
    void Forget() noexcept { last_ = nullptr; }
    // For WM_ACTIVATE and WM_SETFOCUS; true when the message is handled and the window
    // procedure returns 0.
    bool Handle(HWND window, UINT message, WPARAM wparam) noexcept;

private:
    HWND last_ = nullptr;
};

// A modal information box; the title and message as given.
void ShowInformation(HWND owner, std::wstring_view message, const wchar_t* title) noexcept;

// Registers the class once per module load; later calls find it registered.
void RegisterFormClass(const wchar_t* class_name, WNDPROC procedure);
void UnregisterFormClass(const wchar_t* class_name) noexcept;

// Logs a failure that a window procedure could not hand to anyone.
void ReportWindowFailure(const wchar_t* where) noexcept;

}  // namespace zorvane::ui
