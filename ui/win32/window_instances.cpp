#include "ui/win32/window_instances.h"

#include "ui/win32/about_form.h"
#include "ui/win32/dialog_keyboard.h"
#include "ui/win32/rule_editor_form.h"

namespace zorvane::ui {

Microsoft::WRL::ComPtr<IDispatch> RuleEditorInstance() {
    return Microsoft::WRL::ComPtr<IDispatch>(static_cast<IVELTTool*>(&RuleEditorForm::Instance()));
}

void RunPluginConfigurationData() {
    RuleEditorForm::Instance().RunIntervalDialog();
}

bool WindowsKeepModule() noexcept {
    const AboutForm* about = AboutForm::Existing();
    if (about != nullptr && about->IsLoaded()) return true;
    const RuleEditorForm* editor = RuleEditorForm::Existing();
    // The instance holds one reference of its own.
    return editor != nullptr && (editor->IsLoaded() || editor->ReferenceCount() > 1);
}

void ReleaseWindowInstances() noexcept {
    AboutForm::ReleaseInstance();
    RuleEditorForm::ReleaseInstance();
    RemoveDialogKeyboardHook();
}

}  // namespace zorvane::ui
