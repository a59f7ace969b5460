#pragma once
// frmZorvane: the rule editor window and the object the host drives it through.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <optional>

#include "clamp/rule_table.h"
#include "contract/type_libraries.h"
#include "ui/win32/form.h"
#include "ui/tick_failure_log.h"
#include "win/com_object.h"
#include "win/type_info_dispatch.h"

namespace zorvane::ui {

class RuleEditorForm final
    : public win::ComObject<RuleEditorForm,
                            win::TypeInfoDispatch<IVELTTool, HostTypeInfoOf<IVELTTool>>,
                            ISupportErrorInfo>,
      public Form,
      public FormInstance<RuleEditorForm> {
public:
    // The component's own reference must not keep the module loaded: the module's
    // lifetime asks about outside references and the window instead.
    static constexpr bool kHoldsModule = false;
    static constexpr std::int32_t kInitialInterval = 1000;

    RuleEditorForm() noexcept;
    ~RuleEditorForm() override;

    // IDispatch: IVELTTool's names from the host's type information, the form's members
    // and PluginConfigurationData from our own tables.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_error) noexcept override;

    // IVELTTool: the rules are not part of the host's project.
    HRESULT STDMETHODCALLTYPE ClearProjectData() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LoadProjectData() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SaveProjectData() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AskToSaveProjectData(VARIANT_BOOL* result) noexcept override;
    HRESULT STDMETHODCALLTYPE put_ViewMode(LONG) noexcept override { return S_OK; }

    // ISupportErrorInfo: every failure of ours carries error information.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override;

    // PluginConfigurationData: the poll-interval box; an accepted interval goes to Timer1.
    void RunIntervalDialog();
    // Loads when needed; whether the timer runs stays as it is.
    void SetTimerInterval(std::int32_t milliseconds);
    std::int32_t TimerInterval() const noexcept { return interval_; }
    bool TimerEnabled() const noexcept { return timer_enabled_; }

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
