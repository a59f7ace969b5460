// Under a German user locale the decimal separator is a comma: the rule editor accepts
// and applies numbers as a German user types them.
#include "ui_fixture.h"

namespace zorvane::ui::test {
namespace {

using GermanLocaleTest = UiTest;

TEST_F(GermanLocaleTest, TheUserLocaleIsGerman) {
    wchar_t decimal[4] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 4);
    ASSERT_STREQ(decimal, L",") << "run with LC_ALL=de_DE.UTF-8";
}

TEST_F(GermanLocaleTest, ADecimalCommaIsAcceptedKeptAsTypedAndRounded) {
    ShowEditor();
    SetInterval(L"5");
    const struct {
        const wchar_t* channel;
        int channel_read;  // to even on an exact half
    } cases[] = {
        {L"1,5", 2},
        {L"4,5", 4},
        {L"1.0", 10},  // a point groups digits here
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(testing::Message() << test.channel);
        AddRule(test.channel, L"0,4", L"10,6");
        EXPECT_TRUE(boxes_.boxes().empty());
        EXPECT_EQ(Rows(kList1).back(), test.channel);
        EXPECT_EQ(Rows(kList2).back(), L"0,4");
        ClearReads();
        SetChannel(test.channel_read, 200);
        ASSERT_TRUE(WriteComes());
        EXPECT_EQ(Writes().front(), (standin::ChannelWrite{test.channel_read, 11, true}));
        Click(Control(kCommand2));  // row 0, the only one, is selected after an add
    }
}

TEST_F(GermanLocaleTest, ANumberThatIsNoNumberHereIsRefused) {
    ShowEditor();
    AddRule(L"1,2,3", L"0", L"10");
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].text, L"Bitte einen numerischen Wert als Kanal eintragen.");
    EXPECT_TRUE(Rows(kList1).empty());
}

}  // namespace
}  // namespace zorvane::ui::test
