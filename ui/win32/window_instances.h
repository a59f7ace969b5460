#pragma once
// The component-wide windows, let go of together when the module may go.
namespace zorvane::ui {

// Closes every window and drops the instances, their window classes and the keyboard
// hook. Called by the component before it answers that the module may be unloaded;
// never from DllMain.
void ReleaseWindowInstances() noexcept;

}  // namespace zorvane::ui
