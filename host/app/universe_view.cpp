#include "host/app/universe_view.h"

#include <windowsx.h>

#include <algorithm>
#include <string>

#include "host/app/window_class.h"
#include "win/gdi.h"
#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

constexpr wchar_t kClassName[] = L"ZorvaneStandinUniverse";

constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kGrid = RGB(200, 204, 210);
constexpr COLORREF kNumber = RGB(120, 124, 130);
constexpr COLORREF kValue = RGB(20, 20, 20);
constexpr COLORREF kBar = RGB(70, 130, 200);
constexpr COLORREF kWritten = RGB(255, 150, 40);
constexpr COLORREF kSelected = RGB(20, 90, 200);

COLORREF Blend(COLORREF from, COLORREF to, double amount) {
    const auto mix = [amount](int a, int b) { return static_cast<BYTE>(a + (b - a) * amount + 0.5); };
    return RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
               mix(GetBValue(from), GetBValue(to)));
}

void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

HFONT MakeFont(int height, int weight) {
    return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

}  // namespace

void UniverseView::Create(HWND parent, int x, int y, int id) {
    RegisterProgramClass(kClassName, WindowProc, {.style = CS_DBLCLKS, .cursor = IDC_HAND});
    number_font_.reset(MakeFont(9, FW_NORMAL));
    value_font_.reset(MakeFont(11, FW_BOLD));
    HWND window = CreateWindowExW(0, kClassName, L"Universum", WS_CHILD | WS_VISIBLE, x, y, kWidth, kHeight,
                                  parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), this);
    if (window == nullptr) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"CreateWindowEx universe view");
    window_.reset(window);
}

void UniverseView::Select(int channel) {
    if (!standin::Universe::IsChannel(channel)) return;
    selected_ = channel;
    Refresh();
}

void UniverseView::Refresh() noexcept {
    if (window_) InvalidateRect(window_.get(), nullptr, FALSE);
}

int UniverseView::ChannelAt(int x, int y) noexcept {
    if (x < 0 || y < 0) return 0;
    const int column = x / kCellWidth;
    const int row = y / kCellHeight;
    if (column >= kColumns || row >= kRows) return 0;
    return row * kColumns + column + 1;
}

LRESULT CALLBACK UniverseView::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* view = reinterpret_cast<UniverseView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (view == nullptr) return DefWindowProcW(window, message, wparam, lparam);
    try {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel
        case WM_PAINT:
        case WM_PRINTCLIENT: {
            PAINTSTRUCT paint{};
            HDC dc = message == WM_PAINT ? BeginPaint(window, &paint) : reinterpret_cast<HDC>(wparam);
            view->Paint(dc);
            if (message == WM_PAINT) EndPaint(window, &paint);
            return 0;
        }
        case WM_LBUTTONDOWN: {
            const int channel = ChannelAt(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
            if (channel != 0) {
                view->Select(channel);
                if (view->picked_) view->picked_(channel);
            }
            return 0;
        }
        case WM_NCDESTROY:
            view->window_.release();
            break;
        default:
            break;
        }
    } catch (...) {
        // A cell that could not be drawn or picked; the next paint tries again.
        if (message == WM_PAINT) ValidateRect(window, nullptr);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void UniverseView::Paint(HDC target) const {
    // Drawn off screen first: the grid is repainted many times a second while values drift.
    const win::MemoryDc dc(target);
    const win::UniqueBitmap bitmap(CreateCompatibleBitmap(target, kWidth, kHeight));
    if (dc.get() == nullptr || !bitmap) return;
    const win::Selection bitmap_selected(dc.get(), bitmap.get());
    const win::Selection font_selected(dc.get(), number_font_.get());

    const RECT all{0, 0, kWidth, kHeight};
    Fill(dc.get(), all, kGrid);
    const ULONGLONG now = GetTickCount64();
    for (int channel = 1; channel <= standin::Universe::kChannels; ++channel) PaintCell(dc.get(), channel, now);
    BitBlt(target, 0, 0, kWidth, kHeight, dc.get(), 0, 0, SRCCOPY);
}

void UniverseView::PaintCell(HDC dc, int channel, ULONGLONG now) const {
    const int index = channel - 1;
    const int left = (index % kColumns) * kCellWidth;
    const int top = (index / kColumns) * kCellHeight;
    const RECT cell{left + 1, top + 1, left + kCellWidth, top + kCellHeight};

    COLORREF paper = kPaper;
    const ChannelWrites& written = log_.writes_to(channel);
    if (written.count > 0 && now - written.last_time_ms < kMarkMs) {
        const double age = static_cast<double>(now - written.last_time_ms) / static_cast<double>(kMarkMs);
        paper = Blend(kWritten, kPaper, age);
    }
    Fill(dc, cell, paper);

    const int value = universe_.Value(channel);
    const int bar_width = (kCellWidth - 3) * value / standin::Universe::kMaxValue;
    const RECT bar{cell.left + 1, cell.bottom - 5, cell.left + 1 + bar_width, cell.bottom - 1};
    if (bar_width > 0) Fill(dc, bar, kBar);

    SetBkMode(dc, TRANSPARENT);
    const std::wstring number = std::to_wstring(channel);
    const std::wstring shown = std::to_wstring(value);
    RECT number_box{cell.left + 1, cell.top, cell.right - 1, cell.top + 11};
    SelectObject(dc, number_font_.get());
    SetTextColor(dc, kNumber);
    DrawTextW(dc, number.c_str(), static_cast<int>(number.size()), &number_box, DT_RIGHT | DT_SINGLELINE | DT_TOP);
    RECT value_box{cell.left, cell.top + 10, cell.right - 1, cell.bottom - 5};
    SelectObject(dc, value_font_.get());
    SetTextColor(dc, kValue);
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &value_box,
              DT_CENTER | DT_SINGLELINE | DT_VCENTER);

    if (channel == selected_) {
        const win::Selection pen(dc, GetStockObject(DC_PEN));
        const win::Selection brush(dc, GetStockObject(NULL_BRUSH));
        SetDCPenColor(dc, kSelected);
        Rectangle(dc, cell.left - 1, cell.top - 1, cell.right + 1, cell.bottom + 1);
        Rectangle(dc, cell.left, cell.top, cell.right, cell.bottom);
    }
}

}  // namespace zorvane::host_app
