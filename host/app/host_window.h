#pragma once
// The stand-in host's main window: its controls and menu, their layout and painting.
#include <windows.h>

#include <functional>
#include <string>

#include "host/app/call_log.h"
#include "host/app/dock_pane.h"
#include "host/app/host_commands.h"
#include "host/app/universe_view.h"
#include "host/log/kept_lines.h"
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
    kFloatToolCommand,  // the tool window floating beside the host
    kDockToolCommand,   // the tool window docked in the host's pane
    kClosePaneCommand,  // the pane's close button
};

// The desk a person sees: the command buttons and menu, the universe with its fader and
// drift, the log of the plug-in's calls and a status line. What the commands do is
// HostCommands'; this window lays them out, hands them the clicks and shows the results.
class HostWindow final : private CommandFrame {
public:
    // The log list keeps this many of the newest lines, below one that counts the dropped.
    static constexpr std::size_t kKeptLogLines = 3000;

    // quiet: failures go to the log only, never into a message box (the headless run).
    explicit HostWindow(bool quiet);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Creates and shows the window; throws win::ComError.
    void Create(int show);
    HWND handle() const noexcept { return window_.get(); }
    HWND control(HostControl id) const noexcept { return GetDlgItem(window_.get(), id); }

    // What the buttons and the menu do; false when the call failed. Loading also shows
    // the tool window, floating or docked as the menu says.
    bool LoadPlugin();
    bool Configure(bool* result = nullptr) { return commands_.Configure(result); }
    bool Enable(bool* result = nullptr) { return commands_.Enable(result); }
    bool Disable(bool* result = nullptr) { return commands_.Disable(result); }
    bool Term(bool* result = nullptr) { return commands_.Term(result); }
    bool ShowToolWindow();
    // One of the project menu's commands (kClearProjectCommand .. kViewMode2Command).
    bool ProjectCommand(int command, bool* result = nullptr);
    // Where the menu wants the tool window: docked in the pane, or floating.
    bool dock_wanted() const noexcept { return dock_wanted_; }
    // The pane the tool window is docked in; null while it floats.
    HWND pane() const noexcept { return pane_.handle(); }
    HWND pane_close_button() const noexcept { return pane_.close_button(); }
    RECT pane_dock_area() const noexcept { return pane_.DockArea(); }

    HostCommands& commands() noexcept { return commands_; }
    standin::StandinHost& host() noexcept { return commands_.host(); }
    CallLog& log() noexcept { return commands_.log(); }
    HWND tool_window() const noexcept { return commands_.tool_window(); }

    // The log's settled lines as they come, besides the list (the headless run prints them).
    void AlsoSendLinesTo(std::function<void(const std::wstring&)> sink) { extra_sink_ = std::move(sink); }
    // Takes the plug-in's calls into the log and redraws what changed.
    void Refresh() noexcept;

private:
    // CommandFrame
    HWND window() const noexcept override { return window_.get(); }
    void ShowFailure(const std::wstring& what, const std::wstring& description) noexcept override;
    void ShowAnswer(const std::wstring& caption, const std::wstring& text) override;
    void CommandDone() noexcept override;
    HWND OpenPane(SIZE room, const std::wstring& title, RECT& dock_area) override;
    void ClosePane() noexcept override;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void CreateControls();
    void OnCommand(int id, int code);
    void OnFaderScrolled();
    void OnChannelPicked(int channel);
    void SetFaderFromEdits();
    void OnDriftClicked();
    void AddLogLine(const std::wstring& line, host_log::LineKind kind);
    void ShowNewLogLines() noexcept;
    void UpdateStatus();
    void UpdateCommandStates();
    void SetToolPlace(bool docked);
    void OnPaneCloseClicked();
    // The window's size for its client area, wider by the pane when it is open.
    void FitToPane() noexcept;

    // The log's list box, edited line by line as the kept lines change.
    class LogListBox final : public host_log::KeptLines::View {
    public:
        explicit LogListBox(const HostWindow& owner) : owner_(owner) {}
        void Append(const std::wstring& text) override;
        void Replace(std::size_t index, const std::wstring& text) override;
        void Remove(std::size_t index) override;

    private:
        const HostWindow& owner_;
    };

    bool quiet_;
    LogListBox log_list_{*this};
    host_log::KeptLines kept_lines_{kKeptLogLines, log_list_};
    HostCommands commands_;
    UniverseView view_;
    std::function<void(const std::wstring&)> extra_sink_;
    bool log_lines_waiting_ = false;  // the log list's drawing held until the next refresh
    bool dock_wanted_ = false;
    int pane_width_ = 0;
    win::UniqueWindow window_;
    DockPane pane_;  // a child of window_, gone before it
    win::UniqueFont font_;
    win::UniqueFont log_font_;
};

}  // namespace zorvane::host_app
