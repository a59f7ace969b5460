#pragma once
// The universe as a person reads it: 512 cells, 32 by 16, each with its channel number,
// its value and a bar; the channels the plug-in has just written glow and fade; a click
// picks the channel the fader moves.
#include <windows.h>

#include <functional>

#include "host/app/call_log.h"
#include "host/standin/universe.h"
#include "win/handles.h"

namespace zorvane::host_app {

class UniverseView {
public:
    static constexpr int kColumns = 32;
    static constexpr int kRows = 16;
    static constexpr int kCellWidth = 29;
    static constexpr int kCellHeight = 30;
    static constexpr int kWidth = kColumns * kCellWidth + 1;
    static constexpr int kHeight = kRows * kCellHeight + 1;
    // How long a written channel stays marked, fading out.
    static constexpr ULONGLONG kMarkMs = 1500;

    UniverseView(const standin::Universe& universe, const CallLog& log) : universe_(universe), log_(log) {}
    UniverseView(const UniverseView&) = delete;
    UniverseView& operator=(const UniverseView&) = delete;

    // Creates the view as a child of parent; throws win::ComError.
    void Create(HWND parent, int x, int y, int id);
    HWND handle() const noexcept { return window_.get(); }

    void OnChannelPicked(std::function<void(int)> picked) { picked_ = std::move(picked); }
    void Select(int channel);
    int selected() const noexcept { return selected_; }
    void Refresh() noexcept;

    // The channel under a point of the view; 0 for none.
    static int ChannelAt(int x, int y) noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    void Paint(HDC dc) const;
    void PaintCell(HDC dc, int channel, ULONGLONG now) const;

    const standin::Universe& universe_;
    const CallLog& log_;
    win::UniqueWindow window_;
    win::UniqueFont number_font_;
    win::UniqueFont value_font_;
    std::function<void(int)> picked_;
    int selected_ = 1;
};

}  // namespace zorvane::host_app
