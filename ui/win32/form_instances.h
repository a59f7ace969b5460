#pragma once
// The component-wide form instances, for the forms themselves and the tests; the rest
// of the component goes through window_instances.h.
#include "ui/win32/about_form.h"
#include "ui/win32/rule_editor_form.h"

namespace zorvane::ui {

// Created on first use; the instance lives until ReleaseWindowInstances.
RuleEditorForm& RuleEditorFormInstance();
AboutForm& AboutFormInstance();

// Command3 ("Hilfe"): loads and shows the one about window, or brings it to the front.
void ShowAboutWindow();

}  // namespace zorvane::ui
