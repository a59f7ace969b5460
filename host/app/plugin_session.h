#pragma once
// The plug-in as the host holds it: created by programmatic identifier, initialised with
// the host's helper, its module information read, its tool window reached by name and
// through IVELTTool. Every failed call throws win::ComError with the plug-in's words.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "VELTTypeLib.h"
#include "host/standin/standin_host.h"

namespace zorvane::host_app {

// A form's outer window in twips, as its Left, Top, Width and Height say.
struct TwipsPlace {
    long left = 0;
    long top = 0;
    long width = 0;
    long height = 0;
};

// What the host shows of the module information.
struct ModuleDescription {
    std::wstring name;
    std::wstring description;
    std::wstring tool_window_name;
    bool configurable = false;
};

class PluginSession {
public:
    static constexpr wchar_t kHostTitle[] = L"Stand-in-Pult";

    explicit PluginSession(std::shared_ptr<standin::StandinHost> host) : host_(std::move(host)) {}
    ~PluginSession();
    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    // CLSIDFromProgID, CoCreateInstance for IVELTPlugin, Init with the host's helper,
    // PluginName, ModuleInfo and its tool window. A failed step leaves nothing loaded.
    void Load(const std::wstring& prog_id);
    // Lets go of the plug-in and its window object, as the host does after Term.
    void Unload() noexcept;
    bool loaded() const noexcept { return static_cast<bool>(plugin_); }

    const CLSID& class_id() const noexcept { return class_id_; }
    const std::wstring& file_name() const noexcept { return file_name_; }
    bool init_result() const noexcept { return init_result_; }
    const std::wstring& plugin_name() const noexcept { return plugin_name_; }
    const ModuleDescription& module() const noexcept { return module_; }

    // The tool window, by name on its IDispatch, as a host treats any form. Show with an
    // owner form is `Show 0, <form>`: modeless and owned by the form's window.
    void ShowToolWindow(IDispatch* owner_form = nullptr);
    HWND ToolWindowHandle();
    void MoveToolWindow(const TwipsPlace& place);
    TwipsPlace ToolWindowPlace();
    SIZE ToolWindowClientSize();  // ScaleWidth, ScaleHeight
    std::wstring ToolWindowCaption();

    // IVELTPlugin
    bool Configure();
    bool Enable();
    bool Disable();
    bool Term();

    // IVELTTool on the tool window.
    void ClearProjectData();
    void LoadProjectData();
    void SaveProjectData();
    bool AskToSaveProjectData();
    void SetViewMode(long mode);

private:
    IVELTPlugin& plugin() const;
    IVELTTool& tool() const;
    void ReadModuleInfo();

    std::shared_ptr<standin::StandinHost> host_;
    CLSID class_id_{};
    std::wstring file_name_;
    bool init_result_ = false;
    std::wstring plugin_name_;
    ModuleDescription module_;
    Microsoft::WRL::ComPtr<IVELTPluginHelper> helper_;
    Microsoft::WRL::ComPtr<IVELTPlugin> plugin_;
    Microsoft::WRL::ComPtr<IDispatch> tool_window_;
    Microsoft::WRL::ComPtr<IVELTTool> tool_;
};

// `{77FF2106-...}`.
std::wstring GuidText(const GUID& guid);

}  // namespace zorvane::host_app
