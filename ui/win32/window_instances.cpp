#include "ui/win32/window_instances.h"

#include <utility>

#include "ui/win32/dialog_keyboard.h"
#include "ui/win32/form_instances.h"

namespace zorvane::ui {
namespace {

// Plain pointers: the instances are closed and released by ReleaseWindowInstances, never
// by a static destructor under the loader lock. The rule editor pointer holds the
// component's own reference.
RuleEditorForm* g_rule_editor = nullptr;
AboutForm* g_about = nullptr;

}  // namespace

RuleEditorForm& RuleEditorFormInstance() {
    // Created with its count at 1: that is the component's own reference. (Not through
    // win::Make: MinGW's ComPtr::Attach adds a reference of its own.)
    if (g_rule_editor == nullptr) g_rule_editor = new RuleEditorForm;
    return *g_rule_editor;
}

AboutForm& AboutFormInstance() {
    if (g_about == nullptr) g_about = new AboutForm;
    return *g_about;
}

void ShowAboutWindow() {
    AboutFormInstance().Show();
}

Microsoft::WRL::ComPtr<IDispatch> RuleEditorInstance() {
    Microsoft::WRL::ComPtr<IDispatch> dispatch(static_cast<IVELTTool*>(&RuleEditorFormInstance()));
    return dispatch;
}

void RunPluginConfigurationData() {
    RuleEditorFormInstance().RunIntervalDialog();
}

bool WindowsKeepModule() noexcept {
    if (g_about != nullptr && g_about->IsLoaded()) return true;
    if (g_rule_editor == nullptr) return false;
    return g_rule_editor->IsLoaded() || g_rule_editor->ReferenceCount() > 1;
}

void ReleaseWindowInstances() noexcept {
    if (g_about != nullptr) {
        g_about->Unload();
        delete std::exchange(g_about, nullptr);
    }
    if (g_rule_editor != nullptr) {
        g_rule_editor->Unload();
        std::exchange(g_rule_editor, nullptr)->Release();
    }
    RemoveDialogKeyboardHook();
    UnregisterFormClass(AboutForm::kClassName);
    UnregisterFormClass(RuleEditorForm::kClassName);
}

}  // namespace zorvane::ui
