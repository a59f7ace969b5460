// Hosts that are not ours: the clamp cycle of the real DLL against helpers unlike the
// stand-in's, one table of them, each handed over with Init and met by a real tick of the
// rule editor's Timer1. Every helper is a plain IDispatch without type information
// (tests/support/scripted_helper.h); the rows vary what ChannelGetValue answers, how the
// methods take their arguments and what MyStream hands out.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/box_watcher.h"
#include "tests/support/debug_output.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/input.h"
#include "tests/support/pump.h"
#include "tests/support/references.h"
#include "tests/support/rule_editor.h"
#include "tests/support/scripted_helper.h"
#include "tests/support/ticks.h"
#include "tests/wine/reliability/printable_text.h"
#include "tests/wine/reliability/three_rules.h"

namespace zorvane::reliability {
namespace {

using namespace test;

// Rules 5: 10..200, 7: 0..100, 9: 0..255; each row answers channel 5 below its band,
// 7 above it and 9 inside it, in the row's own form.
const std::vector<std::wstring> kClampingTick = {
    L"ChannelGetValue 5", L"MyStream", L"UserInteraction", L"MyStream", L"SetChannel 5, 10, true",
    L"ChannelGetValue 7", L"MyStream", L"UserInteraction", L"MyStream", L"SetChannel 7, 100, true",
    L"ChannelGetValue 9",
};

struct Values {
    double below;   // channel 5
    double above;   // channel 7
    double inside;  // channel 9
};

double ValueOf(LONG channel, const Values& values) {
    return channel == 5 ? values.below : channel == 7 ? values.above : values.inside;
}

// ChannelGetValue answers each channel's value as fill puts it into the result.
void Answer(ScriptedHelper& helper, Values values, void (*fill)(double value, VARIANT& result)) {
    helper.script().channel_get_value = [values, fill](LONG channel, VARIANT& result) {
        fill(ValueOf(channel, values), result);
        return S_OK;
    };
}

// ChannelGetValue answers one value, whatever the channel.
void AnswerAlways(ScriptedHelper& helper, void (*fill)(VARIANT& result)) {
    helper.script().channel_get_value = [fill](LONG, VARIANT& result) {
        fill(result);
        return S_OK;
    };
}

// ChannelGetValue answers a reference into memory the helper keeps: VT_BYREF|VT_VARIANT
// to a variant holding the value, or VT_BYREF|VT_I4 to the value.
void AnswerByReference(ScriptedHelper& helper, Values values, bool to_variant) {
    auto variants = std::make_shared<std::map<LONG, VARIANT>>();
    auto longs = std::make_shared<std::map<LONG, LONG>>();
    helper.script().channel_get_value = [=](LONG channel, VARIANT& result) {
        const LONG value = static_cast<LONG>(ValueOf(channel, values));
        if (to_variant) {
            VARIANT& held = (*variants)[channel];
            V_VT(&held) = VT_I4;
            V_I4(&held) = value;
            V_VT(&result) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&result) = &held;
        } else {
            LONG& held = (*longs)[channel];
            held = value;
            V_VT(&result) = VT_BYREF | VT_I4;
            V_I4REF(&result) = &held;
        }
        return S_OK;
    };
}

struct HostCase {
    const char* name;
    void (*arrange)(ScriptedHelper& helper);
    bool clamps;  // else the first read is no number: the tick fails there, writing nothing
};

const HostCase kHosts[] = {
    {"plain IDispatch without type information answering VT_I4", [](ScriptedHelper&) {}, true},
    {"VT_I2",
     [](ScriptedHelper& h) {
         Answer(h, {-3, 150, 42}, [](double v, VARIANT& r) { V_VT(&r) = VT_I2; V_I2(&r) = static_cast<SHORT>(v); });
     },
     true},
    {"VT_UI1",
     [](ScriptedHelper& h) {
         Answer(h, {3, 150, 42}, [](double v, VARIANT& r) { V_VT(&r) = VT_UI1; V_UI1(&r) = static_cast<BYTE>(v); });
     },
     true},
    // Fractions just past a bound: a reading rounded or cut to whole numbers first would
    // find them inside.
    {"VT_R8",
     [](ScriptedHelper& h) {
         Answer(h, {9.75, 100.25, 42.5}, [](double v, VARIANT& r) { V_VT(&r) = VT_R8; V_R8(&r) = v; });
     },
     true},
    {"VT_DECIMAL",
     [](ScriptedHelper& h) {
         Answer(h, {9.9, 100.1, 42}, [](double v, VARIANT& r) {
             DECIMAL decimal{};
             VarDecFromR8(v, &decimal);
             V_DECIMAL(&r) = decimal;  // overwrites the type too
             V_VT(&r) = VT_DECIMAL;
         });
     },
     true},
    {"numeric text",
     [](ScriptedHelper& h) {
         h.script().channel_get_value = [](LONG channel, VARIANT& result) {
             V_VT(&result) = VT_BSTR;
             V_BSTR(&result) = SysAllocString(channel == 5 ? L"9.5" : channel == 7 ? L" 1.005e2" : L"42");
             return S_OK;
         };
     },
     true},
    {"VT_BYREF|VT_VARIANT", [](ScriptedHelper& h) { AnswerByReference(h, {3, 150, 42}, true); }, true},
    {"VT_BYREF|VT_I4", [](ScriptedHelper& h) { AnswerByReference(h, {3, 150, 42}, false); }, true},
    {"text that is no number",
     [](ScriptedHelper& h) {
         AnswerAlways(h, [](VARIANT& r) {
             V_VT(&r) = VT_BSTR;
             V_BSTR(&r) = SysAllocString(L"hoch");
         });
     },
     false},
    {"VT_EMPTY", [](ScriptedHelper& h) { AnswerAlways(h, [](VARIANT& r) { V_VT(&r) = VT_EMPTY; }); }, false},
    {"VT_NULL", [](ScriptedHelper& h) { AnswerAlways(h, [](VARIANT& r) { V_VT(&r) = VT_NULL; }); }, false},
    {"VT_ERROR, a missing value",
     [](ScriptedHelper& h) {
         AnswerAlways(h, [](VARIANT& r) {
             V_VT(&r) = VT_ERROR;
             V_ERROR(&r) = DISP_E_PARAMNOTFOUND;
         });
     },
     false},
    {"an object",
     [](ScriptedHelper& h) {
         // Itself, as the object: ChannelValue holds it until the next read or the unload.
         IDispatch* const object = h.object();
         h.script().channel_get_value = [object](LONG, VARIANT& result) {
             object->AddRef();
             V_VT(&result) = VT_DISPATCH;
             V_DISPATCH(&result) = object;
             return S_OK;
         };
     },
     false},
    {"methods taking their arguments by value", [](ScriptedHelper& h) { h.script().arguments_by_value = true; },
     true},
    {"a new stream object on every MyStream read",
     [](ScriptedHelper& h) { h.script().new_stream_each_read = true; }, true},
    {"always the same stream object", [](ScriptedHelper& h) { h.script().new_stream_each_read = false; }, true},
};


void PrintTo(const HostCase& c, std::ostream* out) { *out << c.name; }

class HostsUnlikeOursTest : public testing::TestWithParam<HostCase> {
protected:
    void SetUp() override {
        for (ScriptedHelper* helper : {&first_, &row_}) {
            helper->values() = {{5, 3}, {7, 150}, {9, 42}};
            helper->script().new_stream_each_read = true;
        }
        opened_ = OpenedPlugIn::Open(first_.as_helper());
        ASSERT_TRUE(AddThreeRulesAtShortestInterval(RuleEditor(opened_.window), opened_.plugin.Get(), boxes_));
        ASSERT_TRUE(RunOneTick(opened_.window));
        ASSERT_FALSE(first_.calls().empty()) << "the set-up's helper was not called";
        boxes_.Clear();
        output_.Clear();
    }

    void TearDown() override {
        opened_.Close();
        Pump(20);
        if (const HMODULE module = LoadedModule()) {
            EXPECT_EQ(CanUnloadNow(module), S_OK) << "something of the DLL is still held";
        }
        EXPECT_REF(first_.object(), 1u) << "the DLL still holds the first helper";
        EXPECT_REF(row_.object(), 1u) << "the DLL still holds the row's helper";
        EXPECT_EQ(first_.live_streams(), 0);
        EXPECT_LE(row_.live_streams(), 1);
        EXPECT_LE(row_.kept_stream_references(), 1u) << "a reference to the stream is left";
    }

    ScriptedHelper first_;
    ScriptedHelper row_;
    OpenedPlugIn opened_;
    BoxWatcher boxes_;
    DebugOutput output_;
};

// The helper handed over with Init, then ticks of the editor's own timer: a number in any
// form is clamped as the rules say, anything else ends the tick at the read, quietly,
// with nothing written; no stream is left referenced either way.
TEST_P(HostsUnlikeOursTest, ATickClampsWhatIsANumberAndFailsQuietlyOnWhatIsNot) {
    const HostCase& c = GetParam();
    c.arrange(row_);
    ASSERT_TRUE(InitPlugIn(opened_.plugin.Get(), row_.as_helper()));
    first_.ClearCalls();
    for (int tick = 0; tick < 2; ++tick) {
        SCOPED_TRACE(testing::Message() << "tick " << tick);
        row_.ClearCalls();
        row_.values() = {{5, 3}, {7, 150}, {9, 42}};
        ASSERT_TRUE(RunOneTick(opened_.window)) << "the timer has stopped";
        if (c.clamps) {
            EXPECT_EQ(row_.calls(), kClampingTick);
        } else {
            EXPECT_EQ(row_.calls(), std::vector<std::wstring>{L"ChannelGetValue 5"});
        }
        EXPECT_EQ(row_.deepest(), 1);
        if (row_.script().new_stream_each_read) {
            EXPECT_EQ(row_.live_streams(), 0) << "a stream is still referenced";
        } else {
            EXPECT_EQ(row_.live_streams(), 1);
            EXPECT_EQ(row_.kept_stream_references(), 1u) << "the DLL still references the stream";
        }
    }
    EXPECT_TRUE(first_.calls().empty()) << "the helper before Init was called";
    const std::vector<std::string> lines = output_.Lines();
    if (c.clamps) {
        EXPECT_TRUE(lines.empty()) << lines.front();
    } else {
        // The same failure on both ticks, reported once.
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind(TickFailureHead(DISP_E_TYPEMISMATCH), 0), 0u) << lines[0];
    }
    EXPECT_TRUE(boxes_.boxes().empty()) << "a box for a tick";
}

INSTANTIATE_TEST_SUITE_P(Helpers, HostsUnlikeOursTest, testing::ValuesIn(kHosts),
                         [](const testing::TestParamInfo<HostCase>& info) { return TestNameOf(info.param.name); });

}  // namespace
}  // namespace zorvane::reliability
