#include "tests/support/screen_capture.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstring>

#include "tests/support/pump.h"
#include "win/com_error.h"
#include "win/gdi.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::test {
namespace {

[[noreturn]] void ThrowLast(const wchar_t* what) { win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), what); }

// The pixels of `area` (screen coordinates) inside the window, copied from its own
// device context: what it shows, children included.
Image Capture(HWND window, const RECT& area) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) ThrowLast(L"GetWindowRect");
    Image image;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    if (image.width <= 0 || image.height <= 0) win::ThrowHr(E_INVALIDARG, L"window without size");

    const BITMAPINFO info = win::TopDownBitmapInfo(image.width, image.height);
    const win::WindowDc window_dc(window);
    if (window_dc.get() == nullptr) ThrowLast(L"GetWindowDC");
    HDC source = window_dc.get();
    const win::MemoryDc memory(source);
    if (memory.get() == nullptr) ThrowLast(L"CreateCompatibleDC");
    void* bits = nullptr;
    const win::UniqueBitmap bitmap(CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) ThrowLast(L"CreateDIBSection");
    BOOL copied = FALSE;
    {
        const win::Selection selected(memory.get(), bitmap.get());
        copied = BitBlt(memory.get(), 0, 0, image.width, image.height, source, area.left - frame.left,
                        area.top - frame.top, SRCCOPY);
        GdiFlush();
    }
    if (!copied) ThrowLast(L"BitBlt");

    const auto* first = static_cast<const std::uint32_t*>(bits);
    image.pixels.assign(first, first + static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
    for (std::uint32_t& pixel : image.pixels) pixel &= 0x00FFFFFFu;
    return image;
}

void Redraw(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(200);
}

}  // namespace

COLORREF Image::At(int x, int y) const {
    const std::uint32_t pixel = pixels.at(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                          static_cast<std::size_t>(x));
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

Image CaptureWindow(HWND window) {
    Redraw(window);
    RECT frame{};
    if (!GetWindowRect(window, &frame)) ThrowLast(L"GetWindowRect");
    return Capture(window, frame);
}

Image CaptureDrawnArea(HWND window) {
    Redraw(window);
    RECT area{};
    if (!GetClientRect(window, &area)) ThrowLast(L"GetClientRect");
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    MENUBARINFO menu{};
    menu.cbSize = sizeof(menu);
    if (GetMenu(window) != nullptr && GetMenuBarInfo(window, OBJID_MENU, 0, &menu)) {
        area.top = std::min(area.top, menu.rcBar.top);
    }
    return Capture(window, area);
}

void SavePng(const Image& image, const std::wstring& path) {
    ComPtr<IWICImagingFactory> factory;
    win::ThrowIfFailed(
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    const auto width = static_cast<UINT>(image.width);
    const auto height = static_cast<UINT>(image.height);
    std::vector<BYTE> bytes(image.pixels.size() * 4);
    std::memcpy(bytes.data(), image.pixels.data(), bytes.size());
    win::ThrowIfFailed(factory->CreateStream(&stream));
    const HRESULT opened = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (FAILED(opened)) win::ThrowHr(opened, L"cannot create " + path);
    win::ThrowIfFailed(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder));
    win::ThrowIfFailed(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache));
    win::ThrowIfFailed(encoder->CreateNewFrame(&frame, nullptr));
    win::ThrowIfFailed(frame->Initialize(nullptr));
    win::ThrowIfFailed(frame->SetSize(width, height));
    win::ThrowIfFailed(frame->SetPixelFormat(&format));
    win::ThrowIfFailed(frame->WritePixels(height, width * 4, static_cast<UINT>(bytes.size()), bytes.data()));
    win::ThrowIfFailed(frame->Commit());
    win::ThrowIfFailed(encoder->Commit());
}

}  // namespace zorvane::test
