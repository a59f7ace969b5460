#pragma once
// The stand-in host's main window: the host's commands, the universe, a fader, drift,
// and the log of what the plug-in asks of the host.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "host/app/call_log.h"
#include "host/app/plugin_session.h"
#include "host/app/universe_view.h"
#include "host/standin/standin_host.h"
#include "win/handles.h"

namespace zorvane::host_app {

enum HostControl : int {
    kConfigureButton = 100,
    kEnableButton,
    kDisableButton,
    kTermButton,
    kShowToolButton,
    kModuleLabel,
    kUniverse,
    kChannelLabel,
    kChannelEdit,
    kValueLabel,
    kValueEdit,
    kSetValueButton,
    kFader,
    kDriftCheck,
    kFaderLabel,
    kLogLabel,
    kLogList,
    kStatusBar,
    // Menu only.
    kLoadCommand = 200,
    kClearProjectCommand,
    kLoadProjectCommand,
    kSaveProjectCommand,
    kAskToSaveCommand,
    kViewMode0Command,
    kViewMode1Command,
    kViewMode2Command,
    kExitCommand,
};

class HostWindow {
public:
    static constexpr wchar_t kPlugInProgId[] = L"Zorvane.clsVELTPlugIn";
    static constexpr UINT kDriftMs = 200;

    // quiet: failures go to the log only, never into a message box (the headless run).
    explicit HostWindow(bool quiet);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Creates and shows the window; throws win::ComError.
    void Create(int show);
    HWND handle() const noexcept { return window_.get(); }
    HWND control(HostControl id) const noexcept { return GetDlgItem(window_.get(), id); }

    // The host's commands, as the buttons and the menu run them. Each logs what it did
    // and what the plug-in answered; false when the call failed.
    bool LoadPlugin();
    bool Configure(bool* result = nullptr);
    bool Enable(bool* result = nullptr);
    bool Disable(bool* result = nullptr);
    bool Term(bool* result = nullptr);
    bool ShowToolWindow();
    bool ProjectCommand(int command, bool* result = nullptr);

    // Docks the tool window at the host window's right edge when the screen has room.
    void PlaceToolWindowBeside() noexcept;

    standin::StandinHost& host() noexcept { return *host_; }
    CallLog& log() noexcept { return log_; }
    PluginSession& session() noexcept { return session_; }
    HWND tool_window() const noexcept { return tool_window_; }

    // The log lines as they come, besides the list (the headless run prints them).
    void AlsoSendLinesTo(std::function<void(const std::wstring&)> sink) { extra_sink_ = std::move(sink); }
    // Takes the plug-in's calls into the log and redraws what changed.
    void Refresh() noexcept;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    void OnCommand(int id, int code);
    void OnFaderScrolled();
    void OnChannelPicked(int channel);
    void SetFaderFromEdits();
    void OnDriftClicked();
    void AddLogLine(const std::wstring& line);
    void UpdateStatus();
    void UpdateCommandStates();
    void ShowFailure(const std::wstring& what, const std::wstring& description) noexcept;
    template <class Body>
    bool Run(const wchar_t* what, Body&& body);

    bool quiet_;
    std::shared_ptr<standin::StandinHost> host_;
    CallLog log_;
    PluginSession session_;
    UniverseView view_;
    std::unique_ptr<TickWatch> tick_watch_;
    HWND tool_window_ = nullptr;
    std::function<void(const std::wstring&)> extra_sink_;
    win::UniqueWindow window_;
    win::UniqueFont font_;
    win::UniqueFont log_font_;
};

}  // namespace zorvane::host_app
