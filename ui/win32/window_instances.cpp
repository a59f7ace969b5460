#include "ui/win32/window_instances.h"

#include "ui/win32/about_form.h"
#include "ui/win32/dialog_keyboard.h"
#include "ui/win32/rule_editor_form.h"

namespace zorvane::ui {

void ReleaseWindowInstances() noexcept {
    AboutForm::ReleaseInstance();
    RuleEditorForm::ReleaseInstance();
    RemoveDialogKeyboardHook();
}

}  // namespace zorvane::ui
