#pragma once
// frmZorvane: the rule editor window and the object the host drives it through.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <exception>

#include "clamp/rule_table.h"
#include "plugin/host_type_library.h"
#include "ui/win32/form_support.h"
#include "ui/win32/tick_failure_log.h"
#include "win/com_object.h"
#include "win/handles.h"
#include "win/type_info_dispatch.h"

namespace zorvane::ui {

// The dispatch identifiers of the form's own members, beside IVELTTool's.
enum RuleEditorDispId : DISPID {
    kDispShow = 0x60040001,
    kDispHide,
    kDispHwnd,
    kDispVisible,
    kDispPluginConfigurationData,
};

class RuleEditorForm final
    : public win::ComObject<RuleEditorForm,
                            win::TypeInfoDispatch<IVELTTool, HostTypeInfoOf<IVELTTool>>> {
public:
    // The component's own reference must not keep the module loaded; WindowsKeepModule
    // asks about outside references and the window instead.
    static constexpr bool kHoldsModule = false;
    static constexpr wchar_t kClassName[] = L"ZorvaneRuleEditor";
    static constexpr std::int32_t kInitialInterval = 1000;

    RuleEditorForm() = default;
    ~RuleEditorForm() override;

    // IDispatch: IVELTTool's names from the host's type information, the form's own
    // members from a table of ours.
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

    // Loading creates the window and its controls in the initial state: no rules,
    // Check1 ticked, Timer1 running every kInitialInterval ms. Unloading discards them.
    bool IsLoaded() const noexcept { return static_cast<bool>(window_); }
    void Load();
    void Unload() noexcept;

    void Show();
    void Hide() noexcept;
    HWND Handle();  // loads
    bool Visible() const noexcept;
    void SetVisible(bool visible);

    // The poll-interval box; an accepted interval goes to Timer1.
    void RunIntervalDialog();
    // Loads when needed; whether the timer runs stays as it is.
    void SetTimerInterval(std::int32_t milliseconds);
    std::int32_t TimerInterval() const noexcept { return interval_; }
    bool TimerEnabled() const noexcept { return timer_enabled_; }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                       LPARAM lparam) noexcept;
    LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void OnMessageFailed(UINT message) noexcept;

private:
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR id, DWORD_PTR form) noexcept;

    HRESULT InvokeOwnMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                            UINT* arg_error);

    void CreateControls();
    void OnCommand(int id, int code);
    void AddRule();
    void DeleteSelectedRule();
    void MirrorSelection(HWND from) noexcept;
    void OnCheckClicked();
    void StartTimer();
    void OnTimer() noexcept;
    void OnDestroyed() noexcept;

    win::UniqueWindow window_;
    win::UniqueFont font_;
    Dpi dpi_;
    HWND command1_ = nullptr, command2_ = nullptr, command3_ = nullptr;
    HWND text1_ = nullptr, text2_ = nullptr, text3_ = nullptr;
    HWND list1_ = nullptr, list2_ = nullptr, list3_ = nullptr;
    HWND check1_ = nullptr;
    FocusMemory focus_;
    std::exception_ptr create_failure_;

    RuleTable table_;
    std::int32_t interval_ = kInitialInterval;
    bool timer_enabled_ = true;
    bool ticking_ = false;
    TickFailureLog tick_failures_;
};

}  // namespace zorvane::ui
