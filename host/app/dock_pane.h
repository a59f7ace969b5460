#pragma once
// A pane of the host's window that holds a window docked in it, and what a docking host
// does to a top-level window of someone else's to put it there and take it out again.
#include <windows.h>

#include <string>

#include "win/handles.h"

namespace zorvane::host_app {

// A title strip with the docked window's caption and a close button; the docked window
// fills the rest. Closing the pane destroys it with whatever is docked in it.
class DockPane {
public:
    static constexpr int kTitleHeight = 20;

    DockPane() = default;
    ~DockPane() { Close(); }
    DockPane(const DockPane&) = delete;
    DockPane& operator=(const DockPane&) = delete;

    // Creates the pane as a child of parent, at place (the parent's client coordinates).
    // A click on the close button posts WM_COMMAND with close_command to the parent: the
    // parent closes the pane once the click is over. Throws win::ComError.
    void Open(HWND parent, const RECT& place, int close_command, HFONT font);
    void Close() noexcept;
    bool open() const noexcept { return window_.get() != nullptr; }
    HWND handle() const noexcept { return window_.get(); }
    HWND close_button() const noexcept;
    void SetTitle(std::wstring title);
    // Where a docked window goes: below the title strip, in the pane's client coordinates.
    RECT DockArea() const noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void PaintTitle(HDC dc) const;

    win::UniqueWindow window_;
    win::UniqueFont title_font_;
    std::wstring title_;
    int close_command_ = 0;
};

// The frame bits a window had before it was docked, given back when it is undocked.
struct FloatingFrame {
    LONG_PTR style = 0;
    LONG_PTR ex_style = 0;
};

// Makes a top-level window a child of the pane: WS_CHILD instead of WS_POPUP and the
// caption and frame bits, the edges of a framed window dropped, the frame recomputed.
// Returns the bits it had. Throws win::ComError when the window is not there.
FloatingFrame DockInto(HWND window, HWND pane);
// Makes a docked window a top-level window again, with the frame bits it had.
void Undock(HWND window, const FloatingFrame& frame);

}  // namespace zorvane::host_app
