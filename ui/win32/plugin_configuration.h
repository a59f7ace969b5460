#pragma once
// Configure and the rule editor's PluginConfigurationData: the poll-interval box, whose
// accepted interval goes to the component-wide rule editor's timer.
namespace zorvane::ui {

// Creates the rule editor instance if there is none and runs the box. Throws
// win::ComError when that fails.
void RunPluginConfigurationData();

}  // namespace zorvane::ui
