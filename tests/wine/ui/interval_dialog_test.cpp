// The poll-interval box, driven through its own edit and buttons.
#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

constexpr wchar_t kNotNumeric[] = L"Bitte einen numerischen Wert eingeben!";
constexpr wchar_t kTooLarge[] = L"Bitte einen Wert unter 10000 eingeben!";
constexpr wchar_t kTooSmall[] = L"Bitte einen Wert \u00FCber 0 eingeben!";

using IntervalDialogTest = UiTest;

TEST_F(IntervalDialogTest, TheBoxAsksWithAnEmptyEditOkAndCancel) {
    std::wstring edit_text = L"unread";
    HWND focus = nullptr;
    HWND edit = nullptr;
    LONG style = 0;
    LRESULT default_id = 0;
    boxes_.Then(WhenShown([&](HWND box) {
        edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
        edit_text = TextOf(edit);
        focus = GetFocus();
        style = GetWindowLongW(box, GWL_STYLE);
        default_id = SendMessageW(box, DM_GETDEFID, 0, 0);
        PostMessageW(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
    }));
    RunPluginConfigurationData();
    ASSERT_GE(boxes_.boxes().size(), 1u);
    const SeenBox& box = boxes_.boxes()[0];
    EXPECT_EQ(box.title, L"Plugin: Zorvane Einstellungen");
    EXPECT_EQ(box.text, L"Bitte ein Interval f\u00FCr den Timer eingeben:");
    EXPECT_EQ(box.buttons, (std::vector<std::wstring>{L"OK", L"Abbrechen"}));
    EXPECT_EQ(box.owner, nullptr);  // nothing was active
    EXPECT_EQ(edit_text, L"");
    EXPECT_EQ(focus, edit);
    EXPECT_EQ(style & DS_CENTER, 0);
    EXPECT_EQ(default_id, MAKELRESULT(IDOK, DC_HASDEFID));
}

TEST_F(IntervalDialogTest, TheTypedTextDecidesTheInterval) {
    const struct {
        const wchar_t* typed;
        int button;  // clicked, or 0 for the key
        UINT key;    // pressed in the edit
        const wchar_t* message;  // null: accepted
        int interval;
    } cases[] = {
        {L"10000", IDOK, 0, nullptr, 10000},
        {L"1", IDOK, 0, nullptr, 1},
        {L" 250 ", IDOK, 0, nullptr, 250},
        {L"300", 0, VK_RETURN, nullptr, 300},
        {L"10001", IDOK, 0, kTooLarge, 0},
        {L"0", IDOK, 0, kTooSmall, 0},
        {L"-5", IDOK, 0, kTooSmall, 0},
        {L"", IDOK, 0, kNotNumeric, 0},
        {L"schnell", IDOK, 0, kNotNumeric, 0},
        {L"50", IDCANCEL, 0, kNotNumeric, 0},  // Cancel hands over the empty text
        {L"50", 0, VK_ESCAPE, kNotNumeric, 0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << "'" << test.typed << "' button " << test.button << " key " << test.key);
        ReleaseWindowInstances();
        boxes_.Clear();
        boxes_.Then(test.button != 0 ? TypeAndClick(test.typed, test.button) : TypeAndPress(test.typed, test.key));
        RunPluginConfigurationData();

        if (test.message == nullptr) {
            EXPECT_EQ(boxes_.boxes().size(), 1u);
            ASSERT_TRUE(Editor().IsLoaded());
            EXPECT_FALSE(Editor().Visible());
            EXPECT_EQ(Editor().TimerInterval(), test.interval);
            EXPECT_TRUE(Editor().TimerEnabled());
        } else {
            ASSERT_EQ(boxes_.boxes().size(), 2u);
            const SeenBox& refusal = boxes_.boxes()[1];
            EXPECT_EQ(refusal.title, L"Fehler");
            EXPECT_EQ(refusal.text, test.message);
            EXPECT_TRUE(refusal.information_icon);
            EXPECT_EQ(refusal.buttons, std::vector<std::wstring>{L"OK"});
            EXPECT_FALSE(Editor().IsLoaded());
        }
    }
}

TEST_F(IntervalDialogTest, AnIntervalSetBeforeTheWindowIsShownStartsTheTicks) {
    boxes_.Then(TypeAndClick(L"5", IDOK));
    RunPluginConfigurationData();
    ASSERT_TRUE(Editor().IsLoaded());
    AddRule(L"77", L"10", L"20");
    SetChannel(77, 0);
    // A 1000 ms timer could not have ticked this often.
    ASSERT_TRUE(PumpUntil([&] { return Reads() >= 5; }, 900));
    EXPECT_EQ(Channel(77), 10);

    Editor().Show();
    Pump(20);
    EXPECT_EQ(Editor().TimerInterval(), 5);
    EXPECT_EQ(SendMessageW(Control(kCheck1), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(IntervalDialogTest, SettingTheIntervalWhileUntickedDoesNotStartClamping) {
    ShowEditor();
    AddRule(L"8", L"10", L"20");
    Click(Control(kCheck1));
    Click(Control(kCheck1));
    ASSERT_EQ(SendMessageW(Control(kCheck1), BM_GETCHECK, 0, 0), BST_UNCHECKED);

    boxes_.Then(TypeAndClick(L"5", IDOK));
    RunPluginConfigurationData();
    EXPECT_EQ(Editor().TimerInterval(), 5);
    EXPECT_FALSE(Editor().TimerEnabled());
    SetChannel(8, 0);
    EXPECT_FALSE(WriteWithin(200));
    EXPECT_EQ(Reads(), 0u);

    // Ticking again, now at the new interval.
    Click(Control(kCheck1));
    EXPECT_TRUE(PumpUntil([&] { return Reads() >= 5; }, 900));
}

TEST_F(IntervalDialogTest, TheActiveWindowOwnsTheBox) {
    HWND editor = ShowEditor();
    ASSERT_EQ(GetActiveWindow(), editor);
    boxes_.Then(TypeAndClick(L"abc", IDOK));
    RunPluginConfigurationData();
    ASSERT_EQ(boxes_.boxes().size(), 2u);
    EXPECT_EQ(boxes_.boxes()[0].owner, editor);
    EXPECT_EQ(boxes_.boxes()[1].owner, editor);
}

TEST_F(IntervalDialogTest, Screenshot) {
    bool saved = false;
    boxes_.Then(WhenShown([&](HWND box) {
        SetWindowTextW(FindWindowExW(box, nullptr, L"Edit", nullptr), L"500");
        saved = SaveScreenshot(box, L"interval_box");
        PostMessageW(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
    }));
    RunPluginConfigurationData();
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace zorvane::ui::test
