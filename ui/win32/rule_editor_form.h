#pragma once
// frmZorvane: the rule editor window, its rules and its timer. A host reaches it through
// the tool object (rule_editor_tool.h).
#include <windows.h>

#include <cstdint>
#include <optional>

#include "clamp/rule_table.h"
#include "ui/win32/form.h"
#include "ui/tick_failure_log.h"

namespace zorvane::ui {

class RuleEditorForm final : public Form, public FormInstance<RuleEditorForm> {
public:
    static constexpr std::int32_t kInitialInterval = 1000;

    RuleEditorForm() noexcept;
    ~RuleEditorForm() override;

    // Loads when needed; whether the timer runs stays as it is.
    void SetTimerInterval(std::int32_t milliseconds);

private:
    void OnLoad() override;
    void OnUnload() noexcept override;
    void OnUnloaded() noexcept override;
    std::optional<LRESULT> OnMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR form) noexcept;

    void OnCommand(int id, int code);
    void AddRule();
    void DeleteSelectedRule();
    void MirrorSelection(HWND from) noexcept;
    void OnCheckClicked();
    void StartTimer();
    void OnTimer() noexcept;

    RuleTable table_;
    std::int32_t interval_ = kInitialInterval;
    bool timer_enabled_ = true;
    bool ticking_ = false;
    TickFailureLog tick_failures_;
};

}  // namespace zorvane::ui
