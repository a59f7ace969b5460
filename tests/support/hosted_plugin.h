#pragma once
// The real Zorvane.dll as a host meets it: created through COM by its programmatic
// identifier, initialised with a helper, its module information and tool window read,
// the tool window's members called by name, its exports found on the loaded module.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include "VELTTypeLib.h"

namespace zorvane::test {

using Microsoft::WRL::ComPtr;

inline constexpr wchar_t kPlugInProgId[] = L"Zorvane.clsVELTPlugIn";
inline constexpr wchar_t kPlugInFile[] = L"Zorvane.dll";

// CLSIDFromProgID and CoCreateInstance, as the host creates the plug-in; throws on failure.
ComPtr<IVELTPlugin> CreatePlugInByProgId();

// Init with the helper (null: an empty reference), passed by reference as the host
// passes it. Returns Init's answer; throws when the call itself fails.
bool InitPlugIn(IVELTPlugin* plugin, IVELTPluginHelper* helper);

// ModuleInfo on the plug-in's IVELTModule, its HRESULT as it came.
HRESULT ReadModuleInfo(IVELTPlugin* plugin, IVELTModuleInfo** info);
// ModuleInfo that must succeed; throws otherwise.
ComPtr<IVELTModuleInfo> ModuleInfoOf(IVELTPlugin* plugin);
ComPtr<IDispatch> ToolWindowOf(IVELTModuleInfo* info);

// A member called by name without arguments, as a host that knows the object only as
// IDispatch calls it. The HRESULT as it came; result may be null.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* result = nullptr);
// The same for a method that must succeed (Show, Hide...); throws otherwise.
void CallByName(IDispatch* object, const wchar_t* name);
// The tool window's hWnd (which loads the window); throws on failure.
HWND WindowOf(IDispatch* tool);

// Configure through the vtable; Configure's answer. The caller answers the boxes.
bool Configure(IVELTPlugin* plugin);

// The plug-in as a host brings it up: created, Init with the helper, ModuleInfo read,
// the tool window shown by name.
struct OpenedPlugIn {
    ComPtr<IVELTPlugin> plugin;
    ComPtr<IVELTModuleInfo> info;
    ComPtr<IDispatch> tool;
    HWND window = nullptr;

    static OpenedPlugIn Open(IVELTPluginHelper* helper);  // throws on any failed step
    void Show() const { CallByName(tool.Get(), L"Show"); }
    void Hide() const { CallByName(tool.Get(), L"Hide"); }
    // Closes the rule editor and lets go of everything held; the module may unload then.
    void Close() noexcept;
};

// The module loaded under its file name in this process, or null.
HMODULE LoadedModule();
// DllCanUnloadNow of a loaded module, found with GetProcAddress.
HRESULT CanUnloadNow(HMODULE module);

}  // namespace zorvane::test
