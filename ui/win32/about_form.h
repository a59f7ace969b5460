#pragma once
// frmAbout: the help window, modeless, without an owner and without a task-bar button.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <exception>

#include "ui/win32/form_support.h"
#include "win/handles.h"

namespace zorvane::ui {

class AboutForm {
public:
    static constexpr wchar_t kClassName[] = L"ZorvaneAbout";

    AboutForm() = default;
    AboutForm(const AboutForm&) = delete;
    AboutForm& operator=(const AboutForm&) = delete;
    ~AboutForm() { Unload(); }

    bool IsLoaded() const noexcept { return static_cast<bool>(window_); }
    void Load();
    // Loads when needed, shows and brings to the front.
    void Show();
    void Unload() noexcept;
    HWND Handle() const noexcept { return window_.get(); }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                       LPARAM lparam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void OnMessageFailed(UINT message) noexcept;

private:
    void CreateControls();
    void PlacePicture() noexcept;
    void Paint(HWND window);
    void DrawPicture(const DRAWITEMSTRUCT& item) noexcept;

    win::UniqueWindow window_;
    win::UniqueFont font_;
    Microsoft::WRL::ComPtr<IPicture> picture_;
    Dpi dpi_;
    FocusMemory focus_;
    std::exception_ptr create_failure_;
};

}  // namespace zorvane::ui
