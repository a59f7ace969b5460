#pragma once
// frmAbout: the help window, modeless, without an owner and without a task-bar button.
#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <optional>

#include "ui/win32/form.h"

namespace zorvane::ui {

class AboutForm final : public Form, public FormInstance<AboutForm> {
public:
    AboutForm() noexcept;
    ~AboutForm() override;

private:
    void OnLoad() override;
    void OnUnloaded() noexcept override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
    POINT InitialPosition(SIZE outer) const noexcept override;

    void PlacePicture() noexcept;
    void Paint();
    void DrawPicture(const DRAWITEMSTRUCT& item) noexcept;

    Microsoft::WRL::ComPtr<IPicture> picture_;
};

}  // namespace zorvane::ui
