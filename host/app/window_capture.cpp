#include "host/app/window_capture.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "host/app/gdi.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::host_app {
namespace {

[[noreturn]] void ThrowLast(const wchar_t* what) {
    win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), what);
}

void WriteFileBytes(const std::wstring& path, const std::vector<BYTE>& bytes) {
    win::UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), (L"cannot create " + path).c_str());
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        ThrowLast(L"WriteFile");
    }
}

// The part of the window the program draws: its client area and its menu bar. The
// caption and the border belong to the window manager, and without one (Xvfb) they
// are not drawn at all.
RECT DrawnArea(HWND window) {
    RECT client{};
    if (!GetClientRect(window, &client)) ThrowLast(L"GetClientRect");
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    MENUBARINFO menu{};
    menu.cbSize = sizeof(menu);
    if (GetMenu(window) != nullptr && GetMenuBarInfo(window, OBJID_MENU, 0, &menu)) {
        client.top = std::min(client.top, menu.rcBar.top);
    }
    return client;
}

}  // namespace

void SaveWindowBitmap(HWND window, const std::wstring& path) {
    RECT frame{};
    if (!GetWindowRect(window, &frame)) ThrowLast(L"GetWindowRect");
    const RECT area = DrawnArea(window);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) win::ThrowHr(E_INVALIDARG, L"window without size");

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    const WindowDc screen(nullptr);
    if (screen.get() == nullptr) ThrowLast(L"GetDC");
    const MemoryDc memory(screen.get());
    if (memory.get() == nullptr) ThrowLast(L"CreateCompatibleDC");
    void* bits = nullptr;
    const win::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) ThrowLast(L"CreateDIBSection");
    {
        const Selection selected(memory.get(), bitmap.get());
        // What the window shows, frame and children included.
        const WindowDc source(window);
        if (source.get() == nullptr) ThrowLast(L"GetWindowDC");
        if (!BitBlt(memory.get(), 0, 0, width, height, source.get(), area.left - frame.left,
                    area.top - frame.top, SRCCOPY)) ThrowLast(L"BitBlt");
        GdiFlush();
    }

    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD image_size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + image_size;
    info.bmiHeader.biSizeImage = image_size;

    std::vector<BYTE> bytes(header.bfSize);
    std::memcpy(bytes.data(), &header, sizeof(header));
    std::memcpy(bytes.data() + sizeof(header), &info.bmiHeader, sizeof(info.bmiHeader));
    std::memcpy(bytes.data() + header.bfOffBits, bits, image_size);
    WriteFileBytes(path, bytes);
}

}  // namespace zorvane::host_app
