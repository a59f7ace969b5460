// Channel values the host reports as text, read under a German user locale (the test
// runs with LC_ALL=de_DE.UTF-8, which Wine turns into the user locale de-DE).
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "clamp/clamp_cycle.h"
#include "clamp/rule_table.h"
#include "clamp/win32/velt_zorvane.h"
#include "host/standin/standin_host.h"
#include "tests/support/standin_helper_test.h"
#include "win/com_error.h"
#include "win/handles.h"

using zorvane::standin::ChannelWrite;
using zorvane::win::ComError;
namespace vz = zorvane::velt_zorvane;

namespace {

class GermanLocaleTest : public zorvane::test::StandinHelperTest {
protected:
    void SetUp() override {
        wchar_t decimal[4] = {};
        wchar_t group[4] = {};
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 4);
        GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group, 4);
        ASSERT_STREQ(decimal, L",") << "the test needs a German user locale";
        ASSERT_STREQ(group, L".");
        StandinHelperTest::SetUp();
    }

    void Reply(int channel, const wchar_t* text) {
        zorvane::win::Variant value;
        V_VT(value.get()) = VT_BSTR;
        V_BSTR(value.get()) = SysAllocString(text);
        host_->SetChannelReply(channel, *value.get());
    }
};

TEST_F(GermanLocaleTest, TextRepliesAreReadWithDecimalCommaAndGroupPoint) {
    struct Case {
        const wchar_t* text;
        double number;
    };
    const Case cases[] = {{L"7,5", 7.5}, {L"1.234,5", 1234.5}, {L"-0,25", -0.25}, {L" 200 ", 200}};
    // Under English separators "7,5" would be 75 and "1.234,5" no number at all.
    vz::HostChannels channels;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.number);
        Reply(8, c.text);
        std::int32_t channel = 8;
        EXPECT_DOUBLE_EQ(channels.ReadChannelValue(channel), c.number);
    }
}

TEST_F(GermanLocaleTest, ATickComparesTheTextAsItsNumber) {
    zorvane::RuleTable rules(zorvane::kGermanFormat);
    rules.Append(L"5", L"10", L"10");
    rules.Append(L"6", L"10", L"10");
    rules.Append(L"7", L"10", L"10");
    Reply(5, L"10,5");
    Reply(6, L"9,75");
    Reply(7, L"10,0");
    vz::HostChannels channels;
    zorvane::RunClampTick(rules, channels);
    EXPECT_EQ(host_->universe.PluginWrites(), (std::vector<ChannelWrite>{{5, 10, true}, {6, 10, true}}));
    ASSERT_EQ(V_VT(&vz::ChannelValue()), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&vz::ChannelValue()), L"10,0");
}

}  // namespace
