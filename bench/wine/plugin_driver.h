#pragma once
// The real Zorvane.dll as the host meets it, and its rule editor driven through its
// controls: shared by the Wine benchmark and the rule-table test.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "VELTTypeLib.h"
#include "host/standin/standin_host.h"
#include "ui/win32/control_ids.h"

namespace zorvane::bench {

// Created by programmatic identifier, initialised with the stand-in helper, its module
// information read and the tool window shown through its dispatch. Throws
// win::ComError when a step fails.
class LoadedPlugin {
public:
    explicit LoadedPlugin(std::shared_ptr<standin::StandinHost> host);
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    HWND window() const noexcept { return window_; }
    // The tool window's own Show and Hide, by name, as the host calls them.
    void Show();
    void Hide();
    // The helper object handed to Init: the one the plug-in calls.
    IDispatch* helper() const noexcept { return helper_.Get(); }
    standin::StandinHost& host() const noexcept { return *host_; }

private:
    std::shared_ptr<standin::StandinHost> host_;
    Microsoft::WRL::ComPtr<IVELTPluginHelper> helper_;
    Microsoft::WRL::ComPtr<IVELTPlugin> plugin_;
    Microsoft::WRL::ComPtr<IDispatch> tool_window_;
    HWND window_ = nullptr;
};

struct RuleEditorControls {
    HWND window = nullptr;
    HWND channel_edit = nullptr, minimum_edit = nullptr, maximum_edit = nullptr;
    HWND channel_list = nullptr, minimum_list = nullptr, maximum_list = nullptr;
    HWND add_button = nullptr, delete_button = nullptr;
    HWND enabled_check = nullptr;
};

// Throws win::ComError when a control is missing.
RuleEditorControls FindControls(HWND editor);

// How the texts get into the three edits.
enum class Typing {
    Keys,     // select all, then one WM_CHAR per character, as a person types
    SetText,  // WM_SETTEXT
};

// Types the three texts and clicks "Werte hinzufügen".
void AddRule(const RuleEditorControls& controls, std::wstring_view channel,
             std::wstring_view minimum, std::wstring_view maximum, Typing typing);

void Click(HWND button);

// Unticks "Plugin aktiviert" with real clicks (checked, then the third state, then
// unticked), so that only the ticks sent by the caller run. Throws when it stays ticked.
void StopTimer(const RuleEditorControls& controls);

// One tick of Timer1, as the system delivers it to the window.
inline void Tick(HWND editor) { SendMessageW(editor, WM_TIMER, ui::kTimer1, 0); }

std::vector<std::wstring> ListTexts(HWND list);

// Dispatches this thread's pending messages.
void PumpPending();

}  // namespace zorvane::bench
