#pragma once
// The plug-in set up as the tick tests meet it: rules 5: 10..200, 7: 0..100 and
// 9: 0..255 (which the tests' helpers answer with 3, 150 and 42: one rule below its band,
// one above, one inside), ticking at the shortest interval.
#include <memory>

#include "VELTTypeLib.h"
#include "tests/support/box_watcher.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/rule_editor.h"

namespace zorvane::test {

// Adds the three rules through the editor's text boxes and button, then sets the interval
// to 1 ms through Configure with the input box answered. Configure's answer.
bool AddThreeRulesAtShortestInterval(const RuleEditor& editor, IVELTPlugin* plugin, BoxWatcher& boxes);

// The plug-in opened with the helper, its editor found, the three rules added (listed, and
// no box but the interval's) and one tick run: each check then starts from a full tick
// with no box left over. A failed step fails the test; call it in ASSERT_NO_FATAL_FAILURE.
void OpenTickingWithThreeRules(IVELTPluginHelper* helper, OpenedPlugIn& opened, std::unique_ptr<RuleEditor>& editor,
                               BoxWatcher& boxes);

}  // namespace zorvane::test
