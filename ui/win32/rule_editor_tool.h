#pragma once
// The rule editor as a host holds it: one COM object answering IVELTTool, the members a
// host may call on a form and PluginConfigurationData, all on the component-wide rule
// editor window.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace zorvane::ui {

// The tool object (created on first use, with the window instance, not shown): the same
// one for as long as anyone holds it. It holds the module as every object of ours does;
// the component keeps no reference of its own.
Microsoft::WRL::ComPtr<IDispatch> RuleEditorInstance();

}  // namespace zorvane::ui
