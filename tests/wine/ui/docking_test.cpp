// The rule editor docked by a host into a pane of its own: SetParent, the style switched
// to a child window, then Move. Everything a user does keeps working there, boxes are
// modal to the host's frame, and the host may undock it or destroy the pane.
#include <windows.h>

#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

constexpr wchar_t kPaneClass[] = L"ZorvaneTestDockPane";

class DockingTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        WNDCLASSW pane_class{};
        pane_class.lpfnWndProc = DefWindowProcW;
        pane_class.hInstance = GetModuleHandleW(nullptr);
        pane_class.lpszClassName = kPaneClass;
        pane_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
        RegisterClassW(&pane_class);
        host_ = CreateWindowExW(0, kPaneClass, L"Stand-in-Pult", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                                20, 20, 900, 500, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        pane_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                400, 10, 480, 440, host_, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(pane_, nullptr);
        tool_ = RuleEditorInstance();
    }
    void TearDown() override {
        tool_.Reset();
        UiTest::TearDown();
        if (IsWindow(host_)) DestroyWindow(host_);
        UnregisterClassW(kPaneClass, GetModuleHandleW(nullptr));
    }

    HRESULT Call(const wchar_t* name, WORD flags, VARIANT* args = nullptr, UINT count = 0,
                 VARIANT* result = nullptr) {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        const HRESULT hr = tool_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        DISPPARAMS params{args, nullptr, count, 0};
        DISPID put = DISPID_PROPERTYPUT;
        if (flags & DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        return tool_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
    }
    HWND ToolWindow() {
        win::Variant handle;
        EXPECT_EQ(Call(L"hWnd", DISPATCH_PROPERTYGET, nullptr, 0, handle.get()), S_OK);
        return reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.get())));
    }
    // What a docking host does: the window becomes a child of its pane, placed in it.
    HWND Dock() {
        HWND window = ToolWindow();
        SetParent(window, pane_);
        LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        style &= ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
        style |= WS_CHILD;
        SetWindowLongPtrW(window, GWL_STYLE, style);
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        VARIANT place[2];  // Move 150, 75 (rgvarg lists them last first)
        V_VT(&place[0]) = VT_I4;
        V_I4(&place[0]) = 75;
        V_VT(&place[1]) = VT_I4;
        V_I4(&place[1]) = 150;
        EXPECT_EQ(Call(L"Move", DISPATCH_METHOD, place, 2), S_OK);
        EXPECT_EQ(Call(L"Show", DISPATCH_METHOD), S_OK);
        Pump(30);
        return window;
    }
    // A box's owner and whether the host's frame was disabled while it was up.
    BoxWatcher::Action NoteHostThen(BoxWatcher::Action then) {
        return [this, then](HWND box) {
            host_enabled_during_box_ = IsWindowEnabled(host_) != FALSE;
            then(box);
        };
    }
    static void Ok(HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); }

    HWND host_ = nullptr;
    HWND pane_ = nullptr;
    Microsoft::WRL::ComPtr<IDispatch> tool_;
    bool host_enabled_during_box_ = true;
};

TEST_F(DockingTest, DockedItSitsInThePaneWhereTheHostMovesIt) {
    HWND window = Dock();
    EXPECT_EQ(GetParent(window), pane_);
    EXPECT_EQ(GetAncestor(window, GA_ROOT), host_);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, pane_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, Pixels(150));
    EXPECT_EQ(rect.top, Pixels(75));
    win::Variant left;
    ASSERT_EQ(Call(L"Left", DISPATCH_PROPERTYGET, nullptr, 0, left.get()), S_OK);
    EXPECT_EQ(V_I4(left.get()), Twips(Pixels(150)));
}

TEST_F(DockingTest, TypingClickingAndMirroringWorkDocked) {
    Dock();
    AddRule(L"5", L"10", L"200");
    AddRule(L"7", L"0", L"100");
    EXPECT_EQ(Rows(kList1), (std::vector<std::wstring>{L"5", L"7"}));
    EXPECT_EQ(Rows(kList3), (std::vector<std::wstring>{L"200", L"100"}));
    PressOnRow(Control(kList2), 1);
    EXPECT_EQ(Selections(), (std::vector<int>{1, 1, 1}));
    Click(Control(kCommand2));
    EXPECT_EQ(Rows(kList2), std::vector<std::wstring>{L"10"});
}

TEST_F(DockingTest, TabShiftTabEnterAndEscWorkWithoutTheHostsDialogLoop) {
    Dock();
    SetFocus(Control(kCommand2));
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Control(kCommand1));
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), Control(kText3));
    PressKey(VK_TAB, /*shift=*/true);
    EXPECT_EQ(GetFocus(), Control(kCommand1));

    TypeRule(L"12", L"50", L"50");
    SetFocus(Control(kCommand1));
    PressKey(VK_RETURN);
    EXPECT_EQ(Rows(kList1), std::vector<std::wstring>{L"12"});
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(IsWindow(Control(kList1))) << "Esc closed the docked window";
    EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(DockingTest, BoxesAreModalToTheHostsFrame) {
    Dock();
    boxes_.Then(NoteHostThen(&DockingTest::Ok));
    AddRule(L"513", L"0", L"255");
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].title, L"Fehler!");
    EXPECT_EQ(boxes_.boxes()[0].owner, host_);
    EXPECT_FALSE(host_enabled_during_box_);
    EXPECT_TRUE(IsWindowEnabled(host_));

    // The interval box, as the host's configure command opens it with its frame active.
    SetActiveWindow(host_);
    host_enabled_during_box_ = true;
    boxes_.Clear();
    boxes_.Then(NoteHostThen(TypeAndClick(L"20", IDOK)));
    ASSERT_EQ(Call(L"PluginConfigurationData", DISPATCH_METHOD), S_OK);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].owner, host_);
    EXPECT_FALSE(host_enabled_during_box_);
    EXPECT_TRUE(IsWindowEnabled(host_));
}

TEST_F(DockingTest, TicksRunDockedAndTheAboutWindowIsItsOwn) {
    Dock();
    boxes_.Then(TypeAndClick(L"20", IDOK));
    ASSERT_EQ(Call(L"PluginConfigurationData", DISPATCH_METHOD), S_OK);
    SetChannel(5, 3);
    AddRule(L"5", L"10", L"200");
    ASSERT_TRUE(WriteComes());
    EXPECT_EQ(Channel(5), 10);

    Click(Control(kCommand3));
    Pump(30);
    HWND about = AboutWindow();
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(GetAncestor(about, GA_ROOT), about);
    EXPECT_EQ(GetWindow(about, GW_OWNER), nullptr);
    SendMessageW(about, WM_CLOSE, 0, 0);
}

TEST_F(DockingTest, UndockedItIsATopLevelWindowAgain) {
    HWND window = Dock();
    SetParent(window, nullptr);
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    style &= ~static_cast<LONG_PTR>(WS_CHILD);
    style |= WS_CAPTION | WS_SYSMENU;
    SetWindowLongPtrW(window, GWL_STYLE, style);
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    VARIANT left;
    V_VT(&left) = VT_I4;
    V_I4(&left) = 1500;
    ASSERT_EQ(Call(L"Left", DISPATCH_PROPERTYPUT, &left, 1), S_OK);
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD), S_OK);
    Pump(30);
    EXPECT_EQ(GetAncestor(window, GA_ROOT), window);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, Pixels(1500));  // screen coordinates again
    EXPECT_EQ(GetActiveWindow(), window);

    boxes_.Then(&DockingTest::Ok);
    AddRule(L"0", L"0", L"0");
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].owner, window);
}

TEST_F(DockingTest, DestroyingThePaneClosesTheWindowAndTheNextShowStartsAfresh) {
    Dock();
    boxes_.Then(TypeAndClick(L"20", IDOK));
    ASSERT_EQ(Call(L"PluginConfigurationData", DISPATCH_METHOD), S_OK);
    AddRule(L"5", L"10", L"200");
    SendMessageW(Control(kCheck1), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(PumpUntil([this] { return Reads() > 0; }, 2000));

    DestroyWindow(pane_);
    EXPECT_FALSE(EditorLoaded());
    ClearReads();
    Pump(200);
    EXPECT_EQ(Reads(), 0u) << "the timer outlived the window";

    HWND window = ToolWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetAncestor(window, GA_ROOT), window);
    EXPECT_TRUE(Rows(kList1).empty());
    EXPECT_EQ(SendMessageW(Control(kCheck1), BM_GETCHECK, 0, 0), BST_CHECKED);
    ASSERT_EQ(Call(L"Show", DISPATCH_METHOD), S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
}

}  // namespace
}  // namespace zorvane::ui::test
