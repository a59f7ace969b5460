#include "ui_test_support.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <optional>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace zorvane::ui::test {
namespace {

BoxWatcher* g_watcher = nullptr;

using win::UniqueMemoryDc;

// The screen's device context, released on scope exit.
class ScreenDc {
public:
    ScreenDc() noexcept : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HDC dc_;
};

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace

void Pump(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (condition()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)),
                                  QS_ALLINPUT);
    }
}

BoxWatcher::BoxWatcher() {
    g_watcher = this;
    hook_.reset(SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId()));
}

BoxWatcher::~BoxWatcher() {
    hook_.reset();
    g_watcher = nullptr;
}

LRESULT CALLBACK BoxWatcher::Hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (g_watcher != nullptr) {
        HWND window = reinterpret_cast<HWND>(wparam);
        if (code == HCBT_ACTIVATE && ClassOf(window) == L"#32770") g_watcher->OnActivate(window);
        if (code == HCBT_DESTROYWND) g_watcher->handled_.erase(window);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void BoxWatcher::OnActivate(HWND box) {
    if (!handled_.insert(box).second) return;
    SeenBox seen;
    seen.focus = GetFocus();
    seen.owner = GetWindow(box, GW_OWNER);
    seen.title = TextOf(box);
    const HICON information = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));  // IDI_INFORMATION
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if ((style & WS_VISIBLE) == 0) continue;
        const std::wstring window_class = ClassOf(child);
        if (_wcsicmp(window_class.c_str(), L"Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON) {
                const auto icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
                if (icon != nullptr && icon == information) seen.information_icon = true;
            } else {
                std::wstring text = TextOf(child);
                if (text.size() > seen.text.size()) seen.text = std::move(text);
            }
        } else if (_wcsicmp(window_class.c_str(), L"Button") == 0) {
            seen.buttons.push_back(TextOf(child));
        }
    }
    boxes_.push_back(std::move(seen));
    if (actions_.empty()) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    } else {
        Action action = std::move(actions_.front());
        actions_.pop_front();
        action(box);
    }
}

BoxWatcher::Action TypeAndClick(std::wstring text, int button_id) {
    return [text = std::move(text), button_id](HWND box) {
        // The box is being activated: its controls exist; the click waits in its queue.
        HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
        if (edit != nullptr) SetWindowTextW(edit, text.c_str());
        PostMessageW(GetDlgItem(box, button_id), BM_CLICK, 0, 0);
    };
}

namespace {

std::optional<BoxWatcher::Action> g_pending_action;
HWND g_pending_box = nullptr;

void CALLBACK RunPendingAction(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    KillTimer(nullptr, id);
    if (!g_pending_action) return;
    BoxWatcher::Action action = std::move(*g_pending_action);
    g_pending_action.reset();
    action(g_pending_box);
}

}  // namespace

BoxWatcher::Action WhenShown(BoxWatcher::Action action) {
    return [action = std::move(action)](HWND box) {
        g_pending_action = action;
        g_pending_box = box;
        SetTimer(nullptr, 0, 150, RunPendingAction);
    };
}

BoxWatcher::Action TypeAndPress(std::wstring text, UINT virtual_key) {
    return [text = std::move(text), virtual_key](HWND box) {
        HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
        SetWindowTextW(edit, text.c_str());
        PostMessageW(edit, WM_KEYDOWN, virtual_key, 1);
        PostMessageW(edit, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
    };
}

void TypeInto(HWND edit, std::wstring_view text) {
    const std::wstring copy(text);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

std::wstring TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

void PressOnRow(HWND list, int row, UINT down_message) {
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    const bool left = down_message == WM_LBUTTONDOWN;
    SendMessageW(list, down_message, left ? MK_LBUTTON : MK_RBUTTON, at);
    SendMessageW(list, left ? WM_LBUTTONUP : WM_RBUTTONUP, 0, at);
    Pump(20);
}

void PressKey(UINT virtual_key, bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE shift_before = keys[VK_SHIFT];
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    HWND target = GetFocus();
    PostMessageW(target, WM_KEYDOWN, virtual_key, 1);
    PostMessageW(target, WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
    Pump(30);
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift_before;
    SetKeyboardState(keys);
}

bool SaveScreenshot(HWND window, const wchar_t* name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(200);
    RECT rect;
    if (!GetWindowRect(window, &rect)) return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    ScreenDc screen;
    UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    win::UniqueBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!memory || !bitmap) return false;
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
    GdiFlush();
    SelectObject(memory.get(), old);

    CreateDirectoryW(L"screenshots", nullptr);
    const std::wstring path = std::wstring(L"screenshots\\") + name + L".png";
    bool saved = false;
    ComPtr<IWICImagingFactory> factory;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&factory)))) {
        ComPtr<IWICStream> stream;
        ComPtr<IWICBitmapEncoder> encoder;
        ComPtr<IWICBitmapFrameEncode> frame;
        WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
        saved = SUCCEEDED(factory->CreateStream(&stream)) &&
                SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
                SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
                SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
                SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
                SUCCEEDED(frame->Initialize(nullptr)) &&
                SUCCEEDED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) &&
                SUCCEEDED(frame->SetPixelFormat(&format)) &&
                SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width) * 4,
                                             static_cast<UINT>(width * height * 4),
                                             static_cast<BYTE*>(bits))) &&
                SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    return saved;
}

}  // namespace zorvane::ui::test
