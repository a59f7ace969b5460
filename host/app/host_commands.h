#pragma once
// The host's commands to the plug-in: load it, Configure, Enable, Disable, Term, show its
// tool window, and the project commands on that window. Each logs what it did and what
// the plug-in answered; how a failure or an answer reaches the person is the window's.
#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "host/app/call_log.h"
#include "host/app/dock_pane.h"
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
    // The frame's pane for the tool window, opened when needed with room for a window of
    // this client size in pixels and titled with its caption; `dock_area` is where the
    // window goes, in the pane's client coordinates. Throws win::ComError.
    virtual HWND OpenPane(SIZE room, const std::wstring& title, RECT& dock_area) = 0;
    // Closes the pane, and with it whatever is docked in it.
    virtual void ClosePane() noexcept = 0;

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
    // The tool window floating, owned by the frame's window (`Show 0, <form>`); a window
    // seen for the first time, or coming out of the pane, is placed beside the frame.
    bool FloatToolWindow();
    // The tool window docked in the frame's pane: a child window filling it.
    bool DockToolWindow();
    // The frame closed its pane, and the docked tool window went with it.
    void PaneClosed();
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
    // The plug-in's tool window as last seen (it may have been closed since); null before
    // loading and after Term.
    HWND tool_window() const noexcept { return tool_window_; }
    bool docked() const noexcept { return docked_; }

private:
    template <class Body>
    bool Run(const wchar_t* what, Body&& body);
    // One of the plug-in's calls that answers yes or no, logged with its answer; result,
    // when given, gets the answer too.
    bool Ask(const wchar_t* name, bool (PluginSession::*call)(), bool* result);
    // The tool window's handle as the plug-in now answers it: its ticks are watched, and
    // a new window (the old one closed) is noted.
    HWND FollowToolWindow();
    // Stops watching the tool window's ticks and forgets it.
    void ForgetToolWindow() noexcept;
    // Moves the floating tool window to the frame's right edge when the screen has room.
    void PlaceBesideFrame(TwipsPlace place);

    CommandFrame& frame_;
    std::shared_ptr<standin::StandinHost> host_;
    CallLog log_;
    PluginSession session_;
    std::unique_ptr<TickWatch> tick_watch_;
    HWND tool_window_ = nullptr;
    // The window last placed beside the frame; a new one is placed again.
    HWND placed_window_ = nullptr;
    // The frame's window as a form, for `Show 0, <form>`.
    Microsoft::WRL::ComPtr<IDispatch> frame_form_;
    bool docked_ = false;
    // What the tool window was before it was docked, given back when it floats again.
    FloatingFrame floating_frame_;
    TwipsPlace floating_place_;
};

// A window handle as the log writes it: `0x0003008E`.
std::wstring HandleText(HWND window);

}  // namespace zorvane::host_app
