#include "tests/wine/reliability/three_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/ticks.h"

namespace zorvane::test {

bool AddThreeRulesAtShortestInterval(const RuleEditor& editor, IVELTPlugin* plugin, BoxWatcher& boxes) {
    constexpr int kRules[][3] = {{5, 10, 200}, {7, 0, 100}, {9, 0, 255}};
    for (const auto& rule : kRules) {
        editor.Add(std::to_wstring(rule[0]), std::to_wstring(rule[1]), std::to_wstring(rule[2]));
    }
    boxes.Then(TypeAndClick(L"1", IDOK));
    return Configure(plugin);
}

void OpenTickingWithThreeRules(IVELTPluginHelper* helper, OpenedPlugIn& opened, std::unique_ptr<RuleEditor>& editor,
                               BoxWatcher& boxes) {
    opened = OpenedPlugIn::Open(helper);
    editor = std::make_unique<RuleEditor>(opened.window);
    ASSERT_TRUE(AddThreeRulesAtShortestInterval(*editor, opened.plugin.Get(), boxes));
    ASSERT_EQ(ListRows(editor->channel_list), (std::vector<std::wstring>{L"5", L"7", L"9"}));
    ASSERT_EQ(boxes.boxes().size(), 1u) << "the interval box and no refusal";
    ASSERT_TRUE(RunOneTick(opened.window));
    boxes.Clear();
}

}  // namespace zorvane::test
