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
        UINT interval;
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
            ASSERT_TRUE(EditorLoaded());
            win::Variant visible;
            ASSERT_EQ(InvokeByName(Editor().Get(), L"Visible", DISPATCH_PROPERTYGET, visible.get()), S_OK);
            EXPECT_EQ(V_BOOL(visible.get()), VARIANT_FALSE);
            // The ticks the host sees come at the interval typed.
            AddRule(L"6", L"0", L"255");
            if (test.interval > 1000) {
                EXPECT_EQ(TicksSeenOver(6, 1000, 2), 0) << "ticks at 1000 ms or faster";
            } else {
                EXPECT_TRUE(TicksEvery(6, test.interval));
            }
        } else {
            ASSERT_EQ(boxes_.boxes().size(), 2u);
            const SeenBox& refusal = boxes_.boxes()[1];
            EXPECT_EQ(refusal.title, L"Fehler");
            EXPECT_EQ(refusal.text, test.message);
            EXPECT_TRUE(refusal.information_icon);
            EXPECT_EQ(refusal.buttons, std::vector<std::wstring>{L"OK"});
            EXPECT_FALSE(EditorLoaded());
        }
    }
}

// The window the box is shown over goes while it is up (the automation fuzzer closed the
// rule editor from inside the box): the box goes with it, which is no answer, as Cancel
// is none; the refusal still shows, and the call itself does not fail.
TEST_F(IntervalDialogTest, ABoxThatGoesWithItsOwnerIsNoAnswer) {
    const struct {
        const char* what;
        bool editor_owns;  // else a window of the host's owns the box
    } cases[] = {
        {"the rule editor closed", true},
        {"the host's window destroyed", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        ReleaseWindowInstances();
        boxes_.Clear();
        win::UniqueWindow host;
        HWND owner = nullptr;
        if (test.editor_owns) {
            owner = ShowEditor();
        } else {
            host.reset(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                       nullptr, nullptr, nullptr, nullptr));
            owner = host.get();
            SetForegroundWindow(owner);
            SetActiveWindow(owner);
        }
        ASSERT_EQ(GetActiveWindow(), owner);
        boxes_.Then(WhenShown([&](HWND) {
            if (test.editor_owns) {
                SendMessageW(owner, WM_CLOSE, 0, 0);
            } else {
                host.reset();
            }
        }));
        EXPECT_NO_THROW(RunPluginConfigurationData());
        ASSERT_EQ(boxes_.boxes().size(), 2u);
        EXPECT_EQ(boxes_.boxes()[0].owner, owner);
        EXPECT_EQ(boxes_.boxes()[1].title, L"Fehler");
        EXPECT_EQ(boxes_.boxes()[1].text, kNotNumeric);
        EXPECT_FALSE(EditorLoaded()) << "no interval was set";
    }
}

TEST_F(IntervalDialogTest, AnIntervalSetBeforeTheWindowIsShownStartsTheTicks) {
    SetInterval(L"5");
    ASSERT_TRUE(EditorLoaded());
    AddRule(L"77", L"10", L"20");
    SetChannel(77, 0);
    EXPECT_TRUE(TicksEvery(77, 5));
    EXPECT_EQ(Channel(77), 10);

    CallByName(Editor().Get(), L"Show");
    Pump(20);
    EXPECT_TRUE(TicksEvery(77, 5));
    EXPECT_EQ(CheckState(Control(kCheck1)), BST_CHECKED);
}

TEST_F(IntervalDialogTest, SettingTheIntervalWhileUntickedDoesNotStartClamping) {
    ShowEditor();
    AddRule(L"8", L"10", L"20");
    Click(Control(kCheck1));
    Click(Control(kCheck1));
    ASSERT_EQ(CheckState(Control(kCheck1)), BST_UNCHECKED);

    SetInterval(L"5");
    SetChannel(8, 0);
    host_->universe.ClearPluginWrites();
    EXPECT_EQ(TicksSeenOver(8, 5, 20), 0);
    EXPECT_TRUE(Writes().empty());

    // Ticking again, now at the new interval.
    Click(Control(kCheck1));
    EXPECT_TRUE(TicksEvery(8, 5));
    EXPECT_EQ(Channel(8), 10);
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

// Dark pixels in the edit's text area, the caret hidden.
int DarkPixelsOfText(HWND box, HWND edit, const wchar_t* name) {
    HideCaret(edit);
    const Screenshot shot(box, name);
    RECT text;
    GetClientRect(edit, &text);
    int dark = 0;
    for (int y = text.top; y < text.bottom; ++y) {
        for (int x = text.left; x < text.right; ++x) {
            const COLORREF pixel = shot.At(edit, x, y);
            if (GetRValue(pixel) + GetGValue(pixel) + GetBValue(pixel) < 3 * 96) ++dark;
        }
    }
    return dark;
}

// What a person sees: the edit empty at first, the typed text in it after. The picture
// is kept in screenshots/interval_box.png.
TEST_F(IntervalDialogTest, OnTheScreenTheEditStartsEmptyAndShowsWhatIsTyped) {
    int empty = -1;
    int typed = -1;
    boxes_.Then(WhenShown([&](HWND box) {
        HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
        empty = DarkPixelsOfText(box, edit, L"interval_box_empty");
        TypeInto(edit, L"500");
        typed = DarkPixelsOfText(box, edit, L"interval_box");
        PostMessageW(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
    }));
    RunPluginConfigurationData();
    EXPECT_EQ(empty, 0);
    EXPECT_GT(typed, 10);
}

}  // namespace
}  // namespace zorvane::ui::test
