#include "ui/win32/form.h"

#include <utility>

#include "ui/win32/dialog_keyboard.h"
#include "ui/win32/form_errors.h"
#include "ui/win32/text_fit.h"
#include "ui/win32/window_failures.h"
#include "win/com_error.h"
#include "win/module_count.h"
#include "win/scope_exit.h"
#include "win/this_module.h"

namespace zorvane::ui {
namespace {

constexpr int kTwipsPerInch = 1440;

// The top-level window a host means by a window of its own; never one of ours.
HWND TopLevelOf(HWND window, HWND ours) noexcept {
    if (window == nullptr || !IsWindow(window)) return nullptr;
    HWND root = GetAncestor(window, GA_ROOT);
    return root == ours ? nullptr : root;
}

}  // namespace

Form::~Form() {
    if (window_ == nullptr) return;
    // The derived form is gone already: its handlers must not run for this last destroy.
    HWND window = window_;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DetachDialogKeyboard(window);
    DestroyWindow(window);
    Forget();
}

void Form::Load() {
    if (window_ != nullptr) return;
    RegisterFormClass(design_.class_name, WindowProc);
    dpi_ = ScreenDpi();
    const SIZE outer = OuterSizeForClient(design_.client_width, design_.client_height, design_.style,
                                          design_.ex_style, dpi_);
    const POINT at = InitialPosition(outer);
    create_failure_ = nullptr;
    HWND window = CreateWindowExW(design_.ex_style, design_.class_name, design_.caption, design_.style,
                                  at.x, at.y, outer.cx, outer.cy, nullptr, nullptr, win::ThisModule(),
                                  this);
    if (window == nullptr) {
        if (create_failure_) std::rethrow_exception(std::exchange(create_failure_, nullptr));
        ThrowLastError();
    }
}

void Form::Unload() noexcept {
    if (window_ != nullptr) DestroyWindow(window_);
}

POINT Form::InitialPosition(SIZE) const noexcept {
    return {CW_USEDEFAULT, CW_USEDEFAULT};
}

bool Form::IsDocked() const noexcept {
    if (window_ == nullptr) return false;
    if (GetWindowLongPtrW(window_, GWL_STYLE) & WS_CHILD) return true;
    HWND parent = GetAncestor(window_, GA_PARENT);
    return parent != nullptr && parent != GetDesktopWindow();
}

bool Form::Visible() const noexcept {
    return window_ != nullptr && (GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE) != 0;
}

HWND Form::Handle() {
    Load();
    return window_;
}

HWND Form::BoxOwner() const noexcept {
    return window_ != nullptr ? GetAncestor(window_, GA_ROOT) : GetActiveWindow();
}

void Form::SetOwner(HWND owner) noexcept {
    // GWLP_HWNDPARENT of a child window is its parent: a docked form keeps its pane.
    if (window_ == nullptr || IsDocked()) return;
    SetWindowLongPtrW(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void Form::Show(bool modal, HWND owner) {
    if (owner != nullptr && !IsWindow(owner)) ThrowInvalidCall(L"Das Besitzerfenster gibt es nicht.");
    if (modal && modal_) ThrowAlreadyShown();
    Load();
    if (modal) {
        if (Visible()) ThrowAlreadyShown();
        if (IsDocked()) ThrowInvalidCall(L"Ein angedocktes Fenster kann nicht modal angezeigt werden.");
        RunModalLoop(owner != nullptr ? TopLevelOf(owner, window_)
                                      : TopLevelOf(GetActiveWindow(), window_));
        return;
    }
    if (!modal_) SetOwner(TopLevelOf(owner, window_));
    int command = SW_SHOW;
    if (pending_state_) {
        command = *pending_state_ == WindowState::Minimized   ? SW_SHOWMINIMIZED
                  : *pending_state_ == WindowState::Maximized ? SW_SHOWMAXIMIZED
                                                              : SW_SHOWNORMAL;
        pending_state_.reset();
    }
    ShowWindow(window_, command);
    if (!IsDocked()) SetForegroundWindow(window_);
}

void Form::RunModalLoop(HWND owner) {
    SetOwner(owner);
    if (owner != nullptr && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled_owner_ = owner;
    }
    modal_ = true;
    const win::ScopeExit restore([&]() noexcept {
        modal_ = false;
        EnableModalOwner();
        // The owner is usually enabled already (before the hide, see WM_WINDOWPOSCHANGING),
        // and the system may have activated another window then: Wine looks to the owner
        // first only for popup windows. One still disabled belongs to another modal loop.
        if (owner != nullptr && IsWindow(owner) && IsWindowEnabled(owner)) SetForegroundWindow(owner);
    });
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    const std::uint32_t generation = generation_;
    while (generation_ == generation && Visible()) {
        MSG message;
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // The host's loop must still see its quit.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Form::EnableModalOwner() noexcept {
    HWND owner = std::exchange(disabled_owner_, nullptr);
    if (owner != nullptr && IsWindow(owner)) EnableWindow(owner, TRUE);
}

void Form::Hide() noexcept {
    if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
}

int Form::Pixels(int twips, bool horizontal) const noexcept {
    return MulDiv(twips, horizontal ? dpi_.x : dpi_.y, kTwipsPerInch);
}

int Form::Twips(int pixels, bool horizontal) const noexcept {
    return MulDiv(pixels, kTwipsPerInch, horizontal ? dpi_.x : dpi_.y);
}

RECT Form::PlacePixels() {
    Load();
    RECT rect{};
    GetWindowRect(window_, &rect);
    if (IsDocked()) {
        MapWindowPoints(nullptr, GetAncestor(window_, GA_PARENT), reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

TwipsRect Form::PlaceTwips() {
    const RECT rect = PlacePixels();
    return {Twips(rect.left, true), Twips(rect.top, false), Twips(rect.right - rect.left, true),
            Twips(rect.bottom - rect.top, false)};
}

void Form::MoveTwips(std::optional<int> left, std::optional<int> top, std::optional<int> width,
                     std::optional<int> height) {
    // What is not given keeps its pixels: a round trip through twips might not.
    const RECT now = PlacePixels();
    const int x = left ? Pixels(*left, true) : now.left;
    const int y = top ? Pixels(*top, false) : now.top;
    const int cx = width ? Pixels(*width, true) : now.right - now.left;
    const int cy = height ? Pixels(*height, false) : now.bottom - now.top;
    if (!SetWindowPos(window_, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE)) ThrowLastError();
}

SIZE Form::ClientTwips() {
    Load();
    RECT client{};
    GetClientRect(window_, &client);
    return {Twips(client.right, true), Twips(client.bottom, false)};
}

std::wstring Form::Caption() {
    Load();
    return WindowText(window_);
}

void Form::SetCaption(const std::wstring& caption) {
    Load();
    if (!SetWindowTextW(window_, caption.c_str())) ThrowLastError();
}

WindowState Form::State() {
    Load();
    if (!Visible() && pending_state_) return *pending_state_;
    if (IsIconic(window_)) return WindowState::Minimized;
    if (IsZoomed(window_)) return WindowState::Maximized;
    return WindowState::Normal;
}

void Form::SetState(WindowState state) {
    Load();
    if (!Visible()) {
        // As a form does: a hidden form takes its state when it is shown.
        pending_state_ = state;
        return;
    }
    pending_state_.reset();
    if (state == State()) return;
    ShowWindow(window_, state == WindowState::Minimized   ? SW_MINIMIZE
                        : state == WindowState::Maximized ? SW_MAXIMIZE
                                                          : SW_RESTORE);
}

bool Form::Enabled() {
    Load();
    return IsWindowEnabled(window_) != FALSE;
}

void Form::SetEnabled(bool enabled) {
    Load();
    EnableWindow(window_, enabled ? TRUE : FALSE);
}

void Form::ZOrder(bool to_back) {
    Load();
    if (!SetWindowPos(window_, to_back ? HWND_BOTTOM : HWND_TOP, 0, 0, 0, 0,
                      SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
        ThrowLastError();
    }
}

void Form::Activate() {
    Load();
    if (!Visible() || !IsWindowEnabled(window_)) {
        ThrowInvalidCall(L"Ein unsichtbares oder gesperrtes Fenster kann den Fokus nicht erhalten.");
    }
    if (!IsDocked()) SetForegroundWindow(window_);
    // WM_SETFOCUS hands the focus on to the control that had it last.
    SetFocus(window_);
}

void Form::Refresh() {
    Load();
    RedrawWindow(window_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Form::CreateControls() {
    font_ = CreateFormFont(dpi_.y);
    for (const ChildControl& control : design_.controls) {
        CreateControl(window_, control, dpi_, font_.get());
    }
    FitChildTexts(window_, dpi_.y, fitted_fonts_);
}

void Form::Forget() noexcept {
    window_ = nullptr;
    loaded_hold_.reset();
    font_.reset();
    fitted_fonts_.clear();
    focus_.Forget();
    ++generation_;
}

LRESULT CALLBACK Form::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    // A handler may run a box's modal loop, in which a host may close the window, let go
    // of everything and unload unused libraries: the module stays until we return.
    const win::ModuleHold hold;
    Form* form = nullptr;
    if (message == WM_NCCREATE) {
        form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else {
        form = reinterpret_cast<Form*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (form == nullptr) return DefWindowProcW(window, message, wparam, lparam);

    LRESULT result = 0;
    try {
        result = form->Dispatch(window, message, wparam, lparam);
    } catch (...) {
        if (message == WM_CREATE || message == WM_NCCREATE) form->create_failure_ = std::current_exception();
        ReportWindowFailure(form->design_.class_name);
        // A failed creation must say so, or the window would live half-built.
        result = message == WM_CREATE ? -1 : message == WM_NCCREATE ? FALSE : 0;
    }
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return result;
}

LRESULT Form::Dispatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_NCCREATE:
        window_ = window;
        loaded_hold_.emplace();
        ++generation_;
        break;
    case WM_CREATE:
        CreateControls();
        OnLoad();
        AttachDialogKeyboard(window);
        return 0;
    case WM_DESTROY:
        DetachDialogKeyboard(window);
        OnUnload();
        return 0;
    case WM_NCDESTROY:
        OnUnloaded();
        Forget();
        return DefWindowProcW(window, message, wparam, lparam);
    case WM_WINDOWPOSCHANGING:
        // Hiding or destroying a modal form: its owner must be enabled before the window
        // goes, or the system hands the activation to some other program's window.
        if (reinterpret_cast<const WINDOWPOS*>(lparam)->flags & SWP_HIDEWINDOW) EnableModalOwner();
        [[fallthrough]];
    default:
        if (const std::optional<LRESULT> handled = OnMessage(message, wparam, lparam)) return *handled;
        break;
    }
    switch (message) {
    case WM_ACTIVATE:
    case WM_SETFOCUS:
        if (focus_.Handle(window, message, wparam)) return 0;
        break;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace zorvane::ui
