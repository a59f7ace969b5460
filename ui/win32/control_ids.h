#pragma once
// Control identifiers of the two windows. The rule editor's start above IDOK/IDCANCEL
// so that Enter and Esc, which the dialog manager turns into those, click nothing there.
#include <windows.h>

namespace zorvane::ui {

enum RuleEditorControl : int {
    kCommand2 = 1001,  // delete the selected rule
    kCommand1,         // add a rule
    kText3,            // maximum
    kText2,            // minimum
    kText1,            // channel
    kList3,
    kList2,
    kList1,
    kLabel3,
    kLabel2,
    kLabel1,
    kCommand3,         // help
    kCheck1,           // clamping on/off
};

inline constexpr UINT_PTR kTimer1 = 1;

enum AboutControl : int {
    kCmdOk = IDOK,
    kPicIcon = 2001,
    kLblDescription,
    kLblDisclaimer,
    kLblTitle,
    kLblVersion,
    kAboutLabel1,  // the hidden click spot
};

}  // namespace zorvane::ui
