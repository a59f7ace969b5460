#include "ui/win32/plugin_configuration.h"

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/interval_input.h"
#include "ui/win32/information_box.h"
#include "ui/win32/interval_dialog.h"
#include "ui/win32/rule_editor_form.h"
#include "win/user_number_format.h"

namespace zorvane::ui {

void RunPluginConfigurationData() {
    RuleEditorForm& form = RuleEditorForm::Instance();
    // The host's window, active while it asks us to configure, owns the box.
    HWND active = GetActiveWindow();
    HWND owner = active != nullptr ? GetAncestor(active, GA_ROOT) : nullptr;
    // The box lets messages run: a window loaded now may be closed before the answer.
    const bool was_loaded = form.IsLoaded();
    const std::uint32_t generation = form.Generation();
    const std::wstring text = RunIntervalInputBox(owner);
    const IntervalCheck check = CheckInterval(text, win::UserNumberFormat());
    if (!check.interval_ms) {
        ShowInformation(owner, check.message, L"Fehler");
        return;
    }
    // An answer for a window that went applies to nothing, as a box that went with its
    // owner does: loading another window for it would leave one hidden, ticking.
    if (was_loaded && form.Generation() != generation) return;
    form.SetTimerInterval(*check.interval_ms);
}

}  // namespace zorvane::ui
