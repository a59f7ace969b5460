#pragma once
// The component-wide window instances as the rest of the component sees them.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace zorvane::ui {

// The rule editor window object (its IDispatch answers IVELTTool, the members a host
// may call on a form, and PluginConfigurationData), created on first use, not shown.
Microsoft::WRL::ComPtr<IDispatch> RuleEditorInstance();

// Configure: creates the rule editor instance if there is none and runs its
// poll-interval dialog. Throws win::ComError when that fails.
void RunPluginConfigurationData();

// True while any window of ours is loaded (controls alive, timer running) or the rule
// editor object is referenced from outside the component.
bool WindowsKeepModule() noexcept;

// Closes every window and drops the instances. Called by the component before it
// answers that the module may be unloaded; never from DllMain.
void ReleaseWindowInstances() noexcept;

}  // namespace zorvane::ui
