#pragma once
// The plug-in set up as the tick tests meet it: rules 5: 10..200, 7: 0..100 and
// 9: 0..255 (which the tests' helpers answer with 3, 150 and 42: one rule below its band,
// one above, one inside), ticking at the shortest interval.
#include "VELTTypeLib.h"
#include "tests/support/box_watcher.h"
#include "tests/support/rule_editor.h"

namespace zorvane::test {

// Adds the three rules through the editor's text boxes and button, then sets the interval
// to 1 ms through Configure with the input box answered. Configure's answer.
bool AddThreeRulesAtShortestInterval(const RuleEditor& editor, IVELTPlugin* plugin, BoxWatcher& boxes);

}  // namespace zorvane::test
