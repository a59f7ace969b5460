#pragma once
// The host's commands to the plug-in: load it, Configure, Enable, Disable, Term, show its
// tool window, and the project commands on that window. Each logs what it did and what
// the plug-in answered; how a failure or an answer reaches the person is the window's.
#include <windows.h>

#include <memory>
#include <string>

#include "host/app/call_log.h"
#include "host/app/plugin_session.h"
#include "host/standin/standin_host.h"

namespace zorvane::host_app {

// What the commands need of the window they are given from.
class CommandFrame {
public:
    // The window that is active while the plug-in asks for its settings.
    virtual HWND window() const noexcept = 0;
    // A command failed; `what` names it.
    virtual void ShowFailure(const std::wstring& what, const std::wstring& description) noexcept = 0;
    // The plug-in's answer, for the person to read.
    virtual void ShowAnswer(const std::wstring& caption, const std::wstring& text) = 0;
    // A command has run, well or not: the log and the state shown are to catch up.
    virtual void CommandDone() noexcept = 0;

protected:
    ~CommandFrame() = default;
};

class HostCommands {
public:
    static constexpr wchar_t kPlugInProgId[] = L"Zorvane.clsVELTPlugIn";

    explicit HostCommands(CommandFrame& frame);
    ~HostCommands();
    HostCommands(const HostCommands&) = delete;
    HostCommands& operator=(const HostCommands&) = delete;

    // False when the call failed (the frame has been told why). A result is written
    // only when the plug-in gave one.
    bool LoadPlugin();
    bool ShowToolWindow();
    bool Configure(bool* result = nullptr);
    bool Enable(bool* result = nullptr);
    bool Disable(bool* result = nullptr);
    // Also lets go of the plug-in, as a host does after Term.
    bool Term(bool* result = nullptr);
    bool ClearProjectData();
    bool LoadProjectData();
    bool SaveProjectData();
    bool AskToSaveProjectData(bool* result = nullptr);
    bool SetViewMode(long mode);

    standin::StandinHost& host() noexcept { return *host_; }
    CallLog& log() noexcept { return log_; }
    const PluginSession& session() const noexcept { return session_; }
    // The plug-in's tool window once loaded; null before and after.
    HWND tool_window() const noexcept { return tool_window_; }

private:
    template <class Body>
    bool Run(const wchar_t* what, Body&& body);
    // Stops watching the tool window's ticks and forgets it.
    void ForgetToolWindow() noexcept;

    CommandFrame& frame_;
    std::shared_ptr<standin::StandinHost> host_;
    CallLog log_;
    PluginSession session_;
    std::unique_ptr<TickWatch> tick_watch_;
    HWND tool_window_ = nullptr;
};

}  // namespace zorvane::host_app
