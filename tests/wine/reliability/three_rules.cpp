#include "tests/wine/reliability/three_rules.h"

#include <string>

#include "tests/support/hosted_plugin.h"

namespace zorvane::test {

bool AddThreeRulesAtShortestInterval(const RuleEditor& editor, IVELTPlugin* plugin, BoxWatcher& boxes) {
    constexpr int kRules[][3] = {{5, 10, 200}, {7, 0, 100}, {9, 0, 255}};
    for (const auto& rule : kRules) {
        editor.Add(std::to_wstring(rule[0]), std::to_wstring(rule[1]), std::to_wstring(rule[2]));
    }
    boxes.Then(TypeAndClick(L"1", IDOK));
    return Configure(plugin);
}

}  // namespace zorvane::test
