// The rule editor through its real controls: layout, tab order, adding, deleting and
// the three lists moving together, and what closing the window discards.
#include <iterator>
#include <vector>

#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

constexpr wchar_t kNotNumericChannel[] = L"Bitte einen numerischen Wert als Kanal eintragen.";
constexpr wchar_t kInvalidChannel[] = L"Bitte einen g\u00FCltigen Wert als Kanal eintragen.";
constexpr wchar_t kNotNumericMinimum[] = L"Bitte einen numerischen Wert als Minimalwert eintragen.";
constexpr wchar_t kInvalidMinimum[] = L"Bitte einen g\u00FCltigen Wert als Minimalwert eintragen.";
constexpr wchar_t kNotNumericMaximum[] = L"Bitte einen numerischen Wert als Maximalwert eintragen.";
constexpr wchar_t kInvalidMaximum[] = L"Bitte einen g\u00FCltigen Wert als Maximalwert eintragen.";
constexpr wchar_t kMaximumBelowMinimum[] = L"Der Maximalwert muss gr\u00F6\u00DFer sein als der Minimalwert";

// The three columns, left to right: a label over a list over a text box, all three on
// the column's left edge; the lists and text boxes are as wide as each other.
struct Column {
    int label, list, text;
    const wchar_t* caption;
    int left, label_width;  // twips
};
constexpr Column kColumns[] = {
    {kLabel1, kList1, kText1, L"Kanal:", 120, 1335},
    {kLabel2, kList2, kText2, L"Minimalwert:", 1560, 1335},
    {kLabel3, kList3, kText3, L"Maximalwert:", 3000, 1215},
};

// In tab order, which is the Z-order: the first two buttons, the text boxes, lists and
// labels each from the right, then the last two.
std::vector<ControlLayout> Layout() {
    std::vector<ControlLayout> layout = {
        {kCommand2, L"Button", L"Markierten Eintrag l\u00F6schen", 2280, 2280, 2055, 375},
        {kCommand1, L"Button", L"Werte hinzuf\u00FCgen", 120, 2280, 2055, 375},
    };
    for (auto c = std::rbegin(kColumns); c != std::rend(kColumns); ++c) {
        layout.push_back({c->text, L"Edit", L"", c->left, 1920, 1335, 285});
    }
    for (auto c = std::rbegin(kColumns); c != std::rend(kColumns); ++c) {
        layout.push_back({c->list, L"ListBox", L"", c->left, 360, 1335, 1425});
    }
    for (auto c = std::rbegin(kColumns); c != std::rend(kColumns); ++c) {
        layout.push_back({c->label, L"Static", c->caption, c->left, 120, c->label_width, 255});
    }
    layout.push_back({kCommand3, L"Button", L"Hilfe", 2280, 2760, 2055, 375});
    layout.push_back({kCheck1, L"Button", L"Plugin aktiviert", 120, 2760, 2055, 375});
    return layout;
}

using RuleEditorTest = UiTest;

TEST_F(RuleEditorTest, InstanceIsCreatedWithoutLoadingTheWindow) {
    ComPtr<IDispatch> editor = RuleEditorInstance();
    ASSERT_TRUE(editor);
    EXPECT_FALSE(EditorLoaded());
    // The same object every time.
    EXPECT_EQ(RuleEditorInstance().Get(), editor.Get());
}

TEST_F(RuleEditorTest, LoadsHiddenWithItsControlsInPlaceAndInTheInitialState) {
    HWND window = EditorWindow();
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(ThreadWindows(kEditorCaption), std::vector<HWND>{window});
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(TextOf(window), L"Zorvane");

    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Pixels(4470));
    EXPECT_EQ(client.bottom, Pixels(3255));

    const std::vector<ControlLayout> layout = Layout();
    ExpectControls(window, layout.data(), layout.data() + layout.size());

    for (int list : {kList1, kList2, kList3}) {
        const LONG list_style = GetWindowLongW(Control(list), GWL_STYLE);
        EXPECT_EQ(list_style & (LBS_NOTIFY | LBS_NOINTEGRALHEIGHT), LBS_NOTIFY | LBS_NOINTEGRALHEIGHT);
        EXPECT_EQ(list_style & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0);
        EXPECT_TRUE(Rows(list).empty());
    }
    EXPECT_EQ(GetWindowLongW(Control(kCheck1), GWL_STYLE) & BS_TYPEMASK, BS_AUTO3STATE);
    EXPECT_EQ(CheckState(Control(kCheck1)), BST_CHECKED);
    // No length limit on the text boxes.
    EXPECT_GE(SendMessageW(Control(kText1), EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

TEST_F(RuleEditorTest, TheTimerRunsFromTheLoadOnceASecondWhileHidden) {
    EditorWindow();
    AddRule(L"3", L"0", L"255");
    EXPECT_TRUE(TicksEvery(3, 1000));
    EXPECT_FALSE(IsWindowVisible(EditorWindow()));
}

TEST_F(RuleEditorTest, ShowActivatesWithTheFocusOnTheDeleteButton) {
    HWND window = ShowEditor();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_EQ(GetFocus(), Control(kCommand2));
}

TEST_F(RuleEditorTest, TabAndShiftTabFollowTheTabOrder) {
    ShowEditor();
    const int order[] = {kCommand2, kCommand1, kText3, kText2, kText1, kList3,
                         kList2, kList1, kCommand3, kCheck1, kCommand2};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        PressKey(VK_TAB);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), order[i]) << "after Tab number " << i;
    }
    for (std::size_t i = std::size(order) - 1; i > 0; --i) {
        PressKey(VK_TAB, /*shift=*/true);
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), order[i - 1]) << "after Shift+Tab back to " << i - 1;
    }
}

TEST_F(RuleEditorTest, KeysTypedReachTheTextBoxesAndEnterClicksTheFocusedButton) {
    ShowEditor();
    const struct {
        int text;
        std::vector<UINT> keys;
        const wchar_t* typed;
    } fields[] = {
        {kText1, {'4', '2'}, L"42"},
        {kText2, {'1', '0'}, L"10"},
        {kText3, {'2', '0', '0'}, L"200"},
    };
    for (const auto& field : fields) {
        SetFocus(Control(field.text));
        for (UINT key : field.keys) PressKey(key);
        EXPECT_EQ(TextOf(Control(field.text)), field.typed);
    }
    // Enter in a text box adds nothing; on the focused button it clicks it.
    PressKey(VK_RETURN);
    EXPECT_TRUE(Rows(kList1).empty());
    SetFocus(Control(kCommand1));
    PressKey(VK_RETURN);
    EXPECT_EQ(Rows(kList1), std::vector<std::wstring>{L"42"});
    EXPECT_EQ(Rows(kList3), std::vector<std::wstring>{L"200"});
}

struct AddCase {
    const wchar_t* channel;
    const wchar_t* minimum;
    const wchar_t* maximum;
    const wchar_t* message;  // null: accepted
    int focus;               // where the focus is while the message shows
};

constexpr AddCase kAddCases[] = {
    {L"512", L"0", L"255", nullptr, 0},
    {L"7", L"7", L"7", nullptr, 0},
    {L"513", L"0", L"255", kInvalidChannel, kText1},
    {L"0", L"0", L"255", kInvalidChannel, kText1},
    {L"", L"0", L"255", kNotNumericChannel, kText1},
    {L"abc", L"xyz", L"255", kNotNumericChannel, kText1},
    {L"5", L"-1", L"255", kInvalidMinimum, kText2},
    {L"5", L"256", L"255", kInvalidMinimum, kText2},
    {L"5", L"", L"255", kNotNumericMinimum, kText2},
    {L"5", L"0", L"-1", kInvalidMaximum, kText3},
    {L"5", L"0", L"256", kInvalidMaximum, kText3},
    {L"5", L"0", L"viel", kNotNumericMaximum, kText3},
    // Refused without a field to blame: the focus stays on the clicked button.
    {L"100", L"100", L"60", kMaximumBelowMinimum, kCommand1},
};

TEST_F(RuleEditorTest, AddAcceptsOrRefusesAsTheCheckDecides) {
    ShowEditor();
    AddRule(L"3", L"1", L"2");  // a row already there: new rows are appended
    for (const AddCase& test : kAddCases) {
        SCOPED_TRACE(testing::Message() << "'" << test.channel << "' '" << test.minimum << "' '" << test.maximum << "'");
        const std::vector<std::wstring> before = Rows(kList1);
        boxes_.Clear();
        AddRule(test.channel, test.minimum, test.maximum);

        if (test.message == nullptr) {
            EXPECT_TRUE(boxes_.boxes().empty());
            ASSERT_EQ(Rows(kList1).size(), before.size() + 1);
            EXPECT_EQ(Rows(kList1).back(), test.channel);
            EXPECT_EQ(Rows(kList2).back(), test.minimum);
            EXPECT_EQ(Rows(kList3).back(), test.maximum);
            EXPECT_EQ(Selections(), (std::vector<int>{0, 0, 0}));
            for (int text : {kText1, kText2, kText3}) EXPECT_EQ(TextOf(Control(text)), L"");
        } else {
            ASSERT_EQ(boxes_.boxes().size(), 1u);
            const SeenBox& box = boxes_.boxes()[0];
            EXPECT_EQ(box.text, test.message);
            EXPECT_EQ(box.title, L"Fehler!");
            EXPECT_TRUE(box.information_icon);
            EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
            EXPECT_EQ(box.owner, EditorWindow());
            EXPECT_EQ(GetDlgCtrlID(box.focus), test.focus);
            Pump(10);
            EXPECT_EQ(GetDlgCtrlID(GetFocus()), test.focus) << "where the focus is after the box";
            EXPECT_EQ(Rows(kList1), before);
            EXPECT_EQ(TextOf(Control(kText1)), test.channel);
            EXPECT_EQ(TextOf(Control(kText2)), test.minimum);
            EXPECT_EQ(TextOf(Control(kText3)), test.maximum);
        }
        EXPECT_EQ(Rows(kList2).size(), Rows(kList1).size());
        EXPECT_EQ(Rows(kList3).size(), Rows(kList1).size());
    }
}

struct DeleteCase {
    int rows;      // rules 1..rows, channel i with minimum i and maximum i + 100
    int pressed;   // row pressed in List1 first; -1: the selection is cleared instead
    std::vector<std::wstring> channels_left;
    int selected_after;
};

TEST_F(RuleEditorTest, DeleteRemovesTheSelectedRowFromAllThreeLists) {
    const DeleteCase cases[] = {
        {3, 1, {L"1", L"3"}, 0},
        {3, 2, {L"1", L"2"}, 0},
        {1, 0, {}, -1},
        {2, -1, {L"1", L"2"}, -1},
        {0, -1, {}, -1},
    };
    for (const DeleteCase& test : cases) {
        SCOPED_TRACE(testing::Message() << test.rows << " rows, row " << test.pressed);
        ReleaseWindowInstances();
        ShowEditor();
        for (int i = 1; i <= test.rows; ++i) {
            AddRule(std::to_wstring(i), std::to_wstring(i), std::to_wstring(i + 100));
        }
        if (test.pressed >= 0) {
            PressOnRow(Control(kList1), test.pressed);
        } else {
            for (int list : {kList1, kList2, kList3}) SendMessageW(Control(list), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        }
        Click(Control(kCommand2));

        EXPECT_EQ(Rows(kList1), test.channels_left);
        ASSERT_EQ(Rows(kList2).size(), test.channels_left.size());
        ASSERT_EQ(Rows(kList3).size(), test.channels_left.size());
        for (std::size_t row = 0; row < test.channels_left.size(); ++row) {
            EXPECT_EQ(Rows(kList2)[row], test.channels_left[row]);
            EXPECT_EQ(Rows(kList3)[row], std::to_wstring(std::stoi(test.channels_left[row]) + 100));
        }
        EXPECT_EQ(Selections(), (std::vector<int>(3, test.selected_after)));
        EXPECT_TRUE(boxes_.boxes().empty());
    }
}

TEST_F(RuleEditorTest, AMousePressOnAnyListSelectsTheRowInTheOtherTwo) {
    ShowEditor();
    for (int i = 1; i <= 5; ++i) AddRule(std::to_wstring(i * 10), L"0", L"255");
    const struct {
        int list;
        int row;
        UINT button;
    } presses[] = {
        {kList2, 3, WM_LBUTTONDOWN},
        {kList1, 1, WM_LBUTTONDOWN},
        {kList3, 4, WM_LBUTTONDOWN},
        {kList2, 2, WM_LBUTTONDOWN},
    };
    for (const auto& press : presses) {
        SCOPED_TRACE(testing::Message() << "list " << press.list << " row " << press.row);
        PressOnRow(Control(press.list), press.row, press.button);
        EXPECT_EQ(Selections(), (std::vector<int>(3, press.row)));
    }
    // A right press leaves the list's own selection where it is; the others still agree.
    SendMessageW(Control(kList3), LB_SETCURSEL, 0, 0);
    PressOnRow(Control(kList3), 4, WM_RBUTTONDOWN);
    const int row = SelectionOf(kList3);
    EXPECT_EQ(Selections(), (std::vector<int>(3, row)));
}

TEST_F(RuleEditorTest, AKeyboardSelectionChangeIsMirrored) {
    ShowEditor();
    for (int i = 1; i <= 4; ++i) AddRule(std::to_wstring(i), L"0", L"255");
    PressOnRow(Control(kList3), 1);
    SetFocus(Control(kList3));
    PressKey(VK_DOWN);
    EXPECT_EQ(Selections(), (std::vector<int>{2, 2, 2}));
    SetFocus(Control(kList1));
    PressKey(VK_HOME);
    EXPECT_EQ(Selections(), (std::vector<int>{0, 0, 0}));
}

TEST_F(RuleEditorTest, ClosingDiscardsRulesCheckBoxAndInterval) {
    HWND first = ShowEditor();
    AddRule(L"1", L"2", L"3");
    Click(Control(kCheck1));
    SetInterval(L"40");
    ASSERT_NE(CheckState(Control(kCheck1)), BST_CHECKED);

    SendMessageW(first, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump(20);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(EditorLoaded());

    ShowEditor();
    EXPECT_TRUE(Rows(kList1).empty());
    EXPECT_TRUE(Rows(kList2).empty());
    EXPECT_TRUE(Rows(kList3).empty());
    EXPECT_EQ(CheckState(Control(kCheck1)), BST_CHECKED);
    // Ticking again, once a second, not at the 40 ms set before the close.
    AddRule(L"9", L"0", L"255");
    EXPECT_TRUE(TicksEvery(9, 1000));
}

TEST_F(RuleEditorTest, HideOnlyHides) {
    HWND window = ShowEditor();
    AddRule(L"9", L"0", L"1");
    CallByName(Editor().Get(), L"Hide");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(EditorLoaded());
    CallByName(Editor().Get(), L"Show");
    EXPECT_EQ(EditorWindow(), window);
    EXPECT_EQ(Rows(kList1), std::vector<std::wstring>{L"9"});
}

// What holds the module is told by the one count DllCanUnloadNow asks: the rule editor
// referenced from outside, each loaded window; the window instance alone does not.
TEST_F(RuleEditorTest, ModuleIsKeptWhileReferencedOrLoaded) {
    const long before = win::ModuleCount::Value();
    {
        ComPtr<IDispatch> outside = RuleEditorInstance();
        EXPECT_REF(outside.Get(), 1u) << "the component keeps a reference of its own";
        EXPECT_EQ(win::ModuleCount::Value(), before + 1) << "referenced";
    }
    EXPECT_EQ(win::ModuleCount::Value(), before) << "neither referenced nor loaded";
    HWND window = ShowEditor();
    EXPECT_EQ(win::ModuleCount::Value(), before + 1) << "the rule editor loaded";
    Click(Control(kCommand3));  // the about window
    EXPECT_EQ(win::ModuleCount::Value(), before + 2) << "both windows loaded";
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(win::ModuleCount::Value(), before + 1) << "the about window loaded";
    SendMessageW(AboutWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(win::ModuleCount::Value(), before) << "both closed";
}

// What a person sees: with a row pressed in one list, that row shows selected in all
// three, the others not. The picture is kept in screenshots/rule_editor.png.
TEST_F(RuleEditorTest, OnTheScreenThePressedRowShowsSelectedInAllThreeLists) {
    HWND window = ShowEditor();
    AddRule(L"1", L"0", L"255");
    AddRule(L"12", L"20", L"200");
    AddRule(L"512", L"64", L"128");
    TypeRule(L"7", L"10", L"");
    PressOnRow(Control(kList2), 1);
    const Screenshot shot(window, L"rule_editor");
    for (int list : {kList1, kList2, kList3}) {
        for (int row = 0; row < 3; ++row) {
            RECT item{};
            SendMessageW(Control(list), LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            // The right end of the row, past its text.
            EXPECT_EQ(shot.At(Control(list), item.right - 3, (item.top + item.bottom) / 2),
                      GetSysColor(row == 1 ? COLOR_HIGHLIGHT : COLOR_WINDOW))
                << "list " << list << ", row " << row;
        }
    }
}

}  // namespace
}  // namespace zorvane::ui::test
