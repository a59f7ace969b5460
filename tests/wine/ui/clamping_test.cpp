// Timer1 and Check1: the rules added in the window are applied to the host's channels
// on every tick, and the check box turns that on and off.
#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

using ClampingTest = UiTest;

TEST_F(ClampingTest, ARuleAddedIsAppliedOnTheNextTick) {
    ShowEditor();
    SetInterval(L"5");
    SetChannel(10, 3);
    SetChannel(11, 250);
    SetChannel(12, 50);
    AddRule(L"10", L"20", L"100");
    AddRule(L"11", L"20", L"100");
    AddRule(L"12", L"20", L"100");
    ASSERT_TRUE(PumpUntil([&] { return Writes().size() >= 2; }, kPatienceMs));
    EXPECT_EQ(Channel(10), 20);
    EXPECT_EQ(Channel(11), 100);
    EXPECT_EQ(Channel(12), 50);
    // Inside the band the ticks go on reading and write nothing.
    host_->universe.ClearPluginWrites();
    EXPECT_TRUE(TicksEvery(12, 5));
    EXPECT_TRUE(Writes().empty());
}

TEST_F(ClampingTest, TheCheckBoxStopsAndResumesTheTicks) {
    ShowEditor();
    SetInterval(L"5");
    AddRule(L"4", L"100", L"200");
    HWND check = Control(kCheck1);

    const struct {
        LRESULT state;  // after one more click
        bool ticking;
    } steps[] = {
        {BST_INDETERMINATE, true},  // the third state changes nothing
        {BST_UNCHECKED, false},
        {BST_CHECKED, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << "state " << step.state);
        Click(check);
        ASSERT_EQ(CheckState(check), step.state);
        SetChannel(4, 0);
        if (step.ticking) {
            EXPECT_TRUE(TicksEvery(4, 5));
        } else {
            EXPECT_EQ(TicksSeenOver(4, 5, 20), 0);
        }
        EXPECT_EQ(Channel(4), step.ticking ? 100 : 0);
    }
}

TEST_F(ClampingTest, FailingTicksAreSwallowedAndTickingGoesOn) {
    ShowEditor();
    SetInterval(L"5");
    SetChannel(30, 99);
    SetChannel(31, 99);
    AddRule(L"30", L"10", L"20");
    AddRule(L"31", L"10", L"20");

    // Every tick fails on its first read: the value is no number.
    win::Variant no_number;
    V_VT(no_number.get()) = VT_BSTR;
    V_BSTR(no_number.get()) = SysAllocString(L"n/a");
    host_->SetChannelReply(30, *no_number.get());
    ClearReads();
    ASSERT_TRUE(PumpUntil([&] { return Reads() >= 3; }, kPatienceMs));
    EXPECT_TRUE(Writes().empty());
    EXPECT_TRUE(EditorLoaded());

    host_->ClearChannelReplies();
    ASSERT_TRUE(PumpUntil([&] { return Writes().size() >= 2; }, kPatienceMs));
    EXPECT_EQ(Channel(30), 20);
    EXPECT_EQ(Channel(31), 20);
}

TEST_F(ClampingTest, AHostExceptionEndsOnlyThatTick) {
    ShowEditor();
    SetChannel(40, 0);
    AddRule(L"40", L"5", L"6");
    standin::Fault fault;
    fault.call = host_->calls_made() + 1;
    fault.kind = standin::FaultKind::Exception;
    fault.code = E_ACCESSDENIED;
    host_->InjectFault(fault);
    SetInterval(L"5");
    ASSERT_TRUE(WriteComes());
    EXPECT_FALSE(host_->pending_fault().has_value());  // the fault did fire
    EXPECT_EQ(Channel(40), 5);
}

TEST_F(ClampingTest, TicksRunWhileTheWindowIsHiddenAndStopWhenItCloses) {
    HWND window = EditorWindow();
    SetInterval(L"5");
    AddRule(L"2", L"50", L"60");
    SetChannel(2, 1);
    EXPECT_TRUE(WriteComes());
    EXPECT_FALSE(IsWindowVisible(window));

    SendMessageW(window, WM_CLOSE, 0, 0);
    SetChannel(2, 1);
    host_->universe.ClearPluginWrites();
    EXPECT_EQ(TicksSeenOver(2, 5, 20), 0);
    EXPECT_TRUE(Writes().empty());
}

TEST_F(ClampingTest, EnglishSeparatorsReadACommaAsDigitGrouping) {
    ShowEditor();
    SetInterval(L"5");
    AddRule(L"1,5", L"0", L"10");
    EXPECT_EQ(Rows(kList1), std::vector<std::wstring>{L"1,5"});
    SetChannel(15, 40);
    ASSERT_TRUE(WriteComes());
    EXPECT_EQ(Writes().front(), (standin::ChannelWrite{15, 10, true}));
}

}  // namespace
}  // namespace zorvane::ui::test
