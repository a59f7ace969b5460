// The shared module's late-bound calls, against the stand-in host's helper.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/native/allocation_count.h"
#include "clamp/clamp_cycle.h"
#include "clamp/rule_table.h"
#include "clamp/win32/velt_zorvane.h"
#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/support/host_members.h"
#include "tests/support/references.h"
#include "tests/support/standin_helper_test.h"
#include "win/com_error.h"
#include "win/com_object.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;
using zorvane::RuleTable;
using zorvane::RunClampTick;
using zorvane::standin::ArgumentSeen;
using zorvane::standin::ChannelWrite;
using zorvane::standin::Fault;
using zorvane::standin::FaultKind;
using zorvane::test::RefCount;
using Member = zorvane::test::HostMember;
using zorvane::win::ComError;
namespace vz = zorvane::velt_zorvane;

namespace {

constexpr HRESULT kObjectRequired = static_cast<HRESULT>(0x800A01A8);

class VeltZorvaneTest : public zorvane::test::StandinHelperTest {
protected:
    std::vector<std::wstring> Trace() const { return host_->trace.Texts(); }
};

TEST_F(VeltZorvaneTest, ReadChannelValuePassesTheCallersChannelByReference) {
    host_->universe.SetFromFader(5, 3);
    std::int32_t channel = 5;
    EXPECT_EQ(vz::HostChannels().ReadChannelValue(channel), 3.0);

    ASSERT_EQ(host_->trace.calls().size(), 1u);
    const auto& call = host_->trace.calls()[0];
    EXPECT_EQ(call.text, L"ChannelGetValue 5 -> 3");
    EXPECT_NE(call.flags & DISPATCH_METHOD, 0);
    ASSERT_EQ(call.arguments.size(), 1u);
    EXPECT_EQ(call.arguments[0].type, VT_I4 | VT_BYREF);
    EXPECT_EQ(call.arguments[0].reference, &channel);
    EXPECT_EQ(V_VT(&vz::ChannelValue()), VT_I4);
    EXPECT_EQ(V_I4(&vz::ChannelValue()), 3);
    EXPECT_EQ(channel, 5);
}

TEST_F(VeltZorvaneTest, SetChannelValueReadsTheStreamForEachCallAndKeepsNone) {
    std::int32_t channel = 5;
    std::int32_t value = 10;
    vz::SetChannelValue(channel, value);

    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"MyStream", L"UserInteraction", L"MyStream",
                                                  L"SetChannel 5, 10, true"}));
    const auto& calls = host_->trace.calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].flags, DISPATCH_PROPERTYGET);
    EXPECT_TRUE(calls[0].arguments.empty());
    EXPECT_EQ(calls[1].flags, DISPATCH_METHOD);
    EXPECT_TRUE(calls[1].arguments.empty());
    EXPECT_EQ(calls[2].flags, DISPATCH_PROPERTYGET);
    EXPECT_EQ(calls[3].flags, DISPATCH_METHOD);
    ASSERT_EQ(calls[3].arguments.size(), 3u);
    EXPECT_EQ(calls[3].arguments[0].type, VT_I4 | VT_BYREF);
    EXPECT_EQ(calls[3].arguments[0].reference, &channel);
    EXPECT_EQ(calls[3].arguments[1].type, VT_I4 | VT_BYREF);
    EXPECT_EQ(calls[3].arguments[1].reference, &value);
    EXPECT_EQ(calls[3].arguments[2].type, VT_BOOL);  // `true` in the text: VARIANT_TRUE, -1

    EXPECT_EQ(host_->universe.PluginWrites(), (std::vector<ChannelWrite>{{5, 10, true}}));
    EXPECT_EQ(host_->live_streams(), 0);
}

TEST_F(VeltZorvaneTest, HelperNamesAreLookedUpOncePerHelper) {
    std::int32_t channel = 1;
    vz::HostChannels().ReadChannelValue(channel);
    vz::HostChannels().ReadChannelValue(channel);
    std::int32_t value = 0;
    vz::SetChannelValue(channel, value);
    vz::SetChannelValue(channel, value);
    // ChannelGetValue and MyStream once; UserInteraction and SetChannel on each new stream.
    EXPECT_EQ(host_->name_lookups(), 2u + 2u * 2u);

    const auto first = host_;
    Connect();
    vz::HostChannels().ReadChannelValue(channel);
    EXPECT_EQ(host_->name_lookups(), 1u);
    EXPECT_EQ(first->calls_made(), 2u + 2u * 4u);
}

TEST_F(VeltZorvaneTest, OneStreamForAllReadsIsStillAskedForItsMembersEachTime) {
    host_->fresh_stream_per_read = false;
    std::int32_t channel = 2;
    std::int32_t value = 20;
    vz::SetChannelValue(channel, value);
    vz::SetChannelValue(channel, value);
    EXPECT_EQ(host_->universe.PluginWrites(), (std::vector<ChannelWrite>{{2, 20, true}, {2, 20, true}}));
    EXPECT_EQ(host_->live_streams(), 1);  // the host's own
}

TEST_F(VeltZorvaneTest, ReadingMakesNoAllocationOnceTheNameIsKnown) {
    host_->trace.enabled = false;
    std::int32_t channel = 9;
    vz::HostChannels().ReadChannelValue(channel);
    zorvane::velt_zorvane::HostChannels channels;
    zorvane::test::CountAllocations(true);
    for (int i = 0; i < 100; ++i) channels.ReadChannelValue(channel);
    zorvane::test::CountAllocations(false);
    EXPECT_EQ(zorvane::test::AllocationsCounted(), 0);
    EXPECT_EQ(host_->calls_made(), 101u);
}

TEST_F(VeltZorvaneTest, WorkedTickWithTwoRules) {
    RuleTable rules;
    rules.Append(L"5", L"10", L"200");
    rules.Append(L"7", L"0", L"100");
    host_->universe.SetFromFader(5, 3);
    host_->universe.SetFromFader(7, 150);

    vz::HostChannels channels;
    RunClampTick(rules, channels);

    EXPECT_EQ(Trace(), (std::vector<std::wstring>{
                           L"ChannelGetValue 5 -> 3", L"MyStream", L"UserInteraction", L"MyStream",
                           L"SetChannel 5, 10, true", L"ChannelGetValue 7 -> 150", L"MyStream",
                           L"UserInteraction", L"MyStream", L"SetChannel 7, 100, true"}));
    EXPECT_EQ(V_VT(&vz::ChannelValue()), VT_I4);
    EXPECT_EQ(V_I4(&vz::ChannelValue()), 150);
}

// The three-rule tick the faults are injected into, call by call.
struct ExpectedCall {
    const wchar_t* text;
    Member member;
    std::optional<int> value_read;
    std::optional<ChannelWrite> write;
};
const ExpectedCall kThreeRuleTick[] = {
    {L"ChannelGetValue 5 -> 3", Member::ChannelGetValue, 3, {}},
    {L"MyStream", Member::MyStream, {}, {}},
    {L"UserInteraction", Member::UserInteraction, {}, {}},
    {L"MyStream", Member::MyStream, {}, {}},
    {L"SetChannel 5, 10, true", Member::SetChannel, {}, ChannelWrite{5, 10, true}},
    {L"ChannelGetValue 7 -> 150", Member::ChannelGetValue, 150, {}},
    {L"MyStream", Member::MyStream, {}, {}},
    {L"UserInteraction", Member::UserInteraction, {}, {}},
    {L"MyStream", Member::MyStream, {}, {}},
    {L"SetChannel 7, 100, true", Member::SetChannel, {}, ChannelWrite{7, 100, true}},
    {L"ChannelGetValue 9 -> 42", Member::ChannelGetValue, 42, {}},
};

bool Fits(FaultKind kind, Member member) {
    switch (kind) {
        case FaultKind::StreamEmpty:
        case FaultKind::StreamNothing:
        case FaultKind::StreamNotObject: return member == Member::MyStream;
        case FaultKind::ValueNotNumber:
        case FaultKind::ValueEmpty:
        case FaultKind::ValueNull: return member == Member::ChannelGetValue;
        default: return true;
    }
}

const FaultKind kAllKinds[] = {
    FaultKind::MissingMember,   FaultKind::Exception,     FaultKind::ExceptionWCode,
    FaultKind::ExceptionDeferred, FaultKind::FailureCode, FaultKind::StreamEmpty,
    FaultKind::StreamNothing,   FaultKind::StreamNotObject, FaultKind::ValueNotNumber,
    FaultKind::ValueEmpty,      FaultKind::ValueNull,
};

class ThreeRuleTick : public VeltZorvaneTest {
protected:
    void SetUp() override {
        VeltZorvaneTest::SetUp();
        rules_.Append(L"5", L"10", L"200");
        rules_.Append(L"7", L"0", L"100");
        rules_.Append(L"9", L"0", L"255");
        SetValues();
    }
    void SetValues() {
        host_->universe.SetFromFader(5, 3);
        host_->universe.SetFromFader(7, 150);
        host_->universe.SetFromFader(9, 42);
    }

    RuleTable rules_;
};

TEST_F(ThreeRuleTick, RunsAsExpectedWithoutFaults) {
    vz::HostChannels channels;
    RunClampTick(rules_, channels);
    std::vector<std::wstring> expected;
    for (const auto& call : kThreeRuleTick) expected.push_back(call.text);
    EXPECT_EQ(Trace(), expected);
}

TEST_F(ThreeRuleTick, AFaultEndsTheTickAtItsCall) {
    for (unsigned position = 1; position <= std::size(kThreeRuleTick); ++position) {
        const ExpectedCall& failing = kThreeRuleTick[position - 1];
        for (const FaultKind kind : kAllKinds) {
            if (!Fits(kind, failing.member)) continue;
            SCOPED_TRACE(testing::Message() << "call " << position << " kind " << static_cast<int>(kind));
            vz::Release();
            Connect();
            SetValues();

            Fault fault;
            fault.call = position;
            fault.kind = kind;
            fault.code = static_cast<HRESULT>(0x800A0000 + 4000 + position);
            fault.wcode = static_cast<WORD>(2000 + position);
            fault.source = L"Pult " + std::to_wstring(position);
            fault.description = L"Kanal gesperrt bei Aufruf " + std::to_wstring(position);
            if (kind == FaultKind::FailureCode) fault.code = E_ACCESSDENIED;
            host_->InjectFault(fault);

            std::optional<ComError> error;
            try {
                vz::HostChannels channels;
                RunClampTick(rules_, channels);
            } catch (const ComError& e) {
                error = e;
            }
            ASSERT_TRUE(error.has_value());

            // The calls before the fault as usual, the failing one last, nothing after it.
            const auto trace = Trace();
            ASSERT_EQ(trace.size(), position);
            for (unsigned i = 0; i + 1 < position; ++i) EXPECT_EQ(trace[i], kThreeRuleTick[i].text);
            EXPECT_EQ(trace.back().rfind(NameOf(failing.member), 0), 0u) << trace.back();

            std::vector<ChannelWrite> writes;
            std::optional<int> last_read;
            for (unsigned i = 0; i + 1 < position; ++i) {
                if (kThreeRuleTick[i].write) writes.push_back(*kThreeRuleTick[i].write);
                if (kThreeRuleTick[i].value_read) last_read = kThreeRuleTick[i].value_read;
            }
            EXPECT_EQ(host_->universe.PluginWrites(), writes);
            EXPECT_EQ(host_->live_streams(), 0);

            const VARIANT& value = vz::ChannelValue();
            switch (kind) {
                case FaultKind::ValueNotNumber:
                    ASSERT_EQ(V_VT(&value), VT_BSTR);
                    EXPECT_STREQ(V_BSTR(&value), L"n/a");
                    break;
                case FaultKind::ValueEmpty: EXPECT_EQ(V_VT(&value), VT_EMPTY); break;
                case FaultKind::ValueNull: EXPECT_EQ(V_VT(&value), VT_NULL); break;
                default:
                    if (last_read) {
                        ASSERT_EQ(V_VT(&value), VT_I4);
                        EXPECT_EQ(V_I4(&value), *last_read);
                    } else {
                        EXPECT_EQ(V_VT(&value), VT_EMPTY);
                    }
            }

            switch (kind) {
                case FaultKind::MissingMember:
                    EXPECT_EQ(error->hr(), host_->trace.calls().back().result);
                    EXPECT_TRUE(error->hr() == DISP_E_UNKNOWNNAME || error->hr() == DISP_E_MEMBERNOTFOUND);
                    EXPECT_NE(error->description().find(NameOf(failing.member)), std::wstring::npos);
                    break;
                case FaultKind::Exception:
                case FaultKind::ExceptionDeferred:
                case FaultKind::ExceptionWCode:
                    EXPECT_EQ(error->hr(), kind == FaultKind::ExceptionWCode
                                               ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, fault.wcode)
                                               : fault.code);
                    EXPECT_EQ(error->description(), fault.description);
                    EXPECT_EQ(error->source(), fault.source);
                    break;
                case FaultKind::FailureCode: EXPECT_EQ(error->hr(), fault.code); break;
                case FaultKind::StreamEmpty:
                case FaultKind::StreamNothing:
                case FaultKind::StreamNotObject:
                    EXPECT_EQ(error->hr(), kObjectRequired);
                    EXPECT_EQ(error->description(), L"Objekt erforderlich");
                    break;
                case FaultKind::ValueNotNumber:
                case FaultKind::ValueEmpty:
                case FaultKind::ValueNull: EXPECT_EQ(error->hr(), DISP_E_TYPEMISMATCH); break;
            }

            // The fault has fired: the next tick runs through.
            host_->trace.Clear();
            host_->universe.ClearPluginWrites();
            SetValues();
            vz::HostChannels channels;
            EXPECT_NO_THROW(RunClampTick(rules_, channels));
            EXPECT_EQ(Trace().size(), std::size(kThreeRuleTick));
            EXPECT_EQ(host_->universe.PluginWrites().size(), 2u);
        }
    }
}

TEST_F(VeltZorvaneTest, WithoutAHelperObjectEveryCallNeedsAnObject) {
    struct Case {
        const char* name;
        bool store_empty_reference;
        VARTYPE helper_type;
    };
    const Case cases[] = {{"never stored", false, VT_EMPTY}, {"empty reference", true, VT_DISPATCH}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        vz::Release();
        Connect();
        host_->universe.SetFromFader(4, 77);
        std::int32_t channel = 4;
        vz::HostChannels().ReadChannelValue(channel);
        if (c.store_empty_reference) {
            vz::StorePluginHelper(nullptr);
        } else {
            vz::Release();  // as at load: nothing stored
        }
        const VARTYPE value_type = V_VT(&vz::ChannelValue());
        EXPECT_EQ(V_VT(&vz::PluginHelper()), c.helper_type);
        EXPECT_REF(helper_.Get(), 1u);

        std::int32_t value = 1;
        for (int step = 0; step < 3; ++step) {
            try {
                if (step == 0) vz::HostChannels().ReadChannelValue(channel);
                if (step == 1) vz::SetChannelValue(channel, value);
                if (step == 2) {
                    RuleTable rules;
                    rules.Append(L"4", L"0", L"10");
                    vz::HostChannels channels;
                    RunClampTick(rules, channels);
                }
                ADD_FAILURE() << "step " << step << " did not fail";
            } catch (const ComError& e) {
                EXPECT_EQ(e.hr(), kObjectRequired);
                EXPECT_EQ(e.description(), L"Objekt erforderlich");
            }
        }
        EXPECT_EQ(V_VT(&vz::ChannelValue()), value_type);
        EXPECT_EQ(host_->calls_made(), 1u);

        // No rules: no host call, nothing to fail.
        RuleTable no_rules;
        vz::HostChannels channels;
        EXPECT_NO_THROW(RunClampTick(no_rules, channels));
    }
}

TEST_F(VeltZorvaneTest, ASecondHelperReplacesTheFirstAndTheFirstIsReleased) {
    const auto first_host = host_;
    const ComPtr<IVELTPluginHelper> first = helper_;
    helper_.Reset();
    vz::Release();
    const ULONG before = RefCount(first.Get());

    vz::StorePluginHelper(first.Get());
    EXPECT_REF(first.Get(), before + 1);
    std::int32_t channel = 3;
    vz::HostChannels().ReadChannelValue(channel);

    Connect();  // stores a second helper
    EXPECT_REF(first.Get(), before);
    EXPECT_EQ(V_DISPATCH(&vz::PluginHelper()), static_cast<IDispatch*>(helper_.Get()));
    const ULONG second_before = RefCount(helper_.Get());

    host_->universe.SetFromFader(3, 33);
    vz::HostChannels().ReadChannelValue(channel);
    std::int32_t value = 30;
    vz::SetChannelValue(channel, value);
    EXPECT_EQ(first_host->calls_made(), 1u);
    EXPECT_EQ(host_->calls_made(), 5u);
    EXPECT_EQ(V_I4(&vz::ChannelValue()), 33);

    vz::Release();
    EXPECT_REF(helper_.Get(), second_before - 1);
    EXPECT_EQ(V_VT(&vz::PluginHelper()), VT_EMPTY);
    EXPECT_EQ(V_VT(&vz::ChannelValue()), VT_EMPTY);
}

// A text reply written with the user's own separators, {d} decimal and {g} group: the
// programs of a run share one Wine prefix, whose user locale can change under them.
void Text(VARIANT& value, std::wstring pattern) {
    wchar_t decimal[4] = {};
    wchar_t group[4] = {};
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 4);
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, group, 4);
    for (const auto& [mark, separator] : {std::pair{L"{d}", decimal}, std::pair{L"{g}", group}}) {
        for (auto at = pattern.find(mark); at != std::wstring::npos; at = pattern.find(mark))
            pattern.replace(at, 3, separator);
    }
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = SysAllocString(pattern.c_str());
}

// Builds one reply value for ChannelGetValue.
struct Reply {
    const char* name;
    void (*make)(VARIANT&);
    double number;
};

constexpr int kReplyChannel = 12;

// The host answers reads of kReplyChannel with what the reply makes; the answer's type.
VARTYPE AnswerReads(zorvane::standin::StandinHost& host, const Reply& reply) {
    zorvane::win::Variant value;
    reply.make(*value.get());
    host.SetChannelReply(kReplyChannel, *value.get());
    return value.type();
}

TEST_F(VeltZorvaneTest, NumericRepliesCompareAsTheirNumber) {
    const Reply replies[] = {
        {"VT_I4", [](VARIANT& v) { V_VT(&v) = VT_I4; V_I4(&v) = 200; }, 200},
        {"VT_UI1", [](VARIANT& v) { V_VT(&v) = VT_UI1; V_UI1(&v) = 255; }, 255},
        {"VT_I2", [](VARIANT& v) { V_VT(&v) = VT_I2; V_I2(&v) = -12; }, -12},
        {"VT_I1", [](VARIANT& v) { V_VT(&v) = VT_I1; V_I1(&v) = -3; }, -3},
        {"VT_UI2", [](VARIANT& v) { V_VT(&v) = VT_UI2; V_UI2(&v) = 60000; }, 60000},
        {"VT_UI4", [](VARIANT& v) { V_VT(&v) = VT_UI4; V_UI4(&v) = 4000000000u; }, 4000000000.0},
        {"VT_I8", [](VARIANT& v) { V_VT(&v) = VT_I8; V_I8(&v) = -5000000000ll; }, -5000000000.0},
        {"VT_UI8", [](VARIANT& v) { V_VT(&v) = VT_UI8; V_UI8(&v) = 6000000000ull; }, 6000000000.0},
        {"VT_R4", [](VARIANT& v) { V_VT(&v) = VT_R4; V_R4(&v) = 10.5f; }, 10.5},
        {"VT_R8", [](VARIANT& v) { V_VT(&v) = VT_R8; V_R8(&v) = 99.25; }, 99.25},
        {"VT_CY", [](VARIANT& v) { V_VT(&v) = VT_CY; V_CY(&v).int64 = 1234500; }, 123.45},
        {"VT_DECIMAL", [](VARIANT& v) { VarDecFromR8(7.75, &V_DECIMAL(&v)); V_VT(&v) = VT_DECIMAL; }, 7.75},
        {"VT_BOOL true", [](VARIANT& v) { V_VT(&v) = VT_BOOL; V_BOOL(&v) = VARIANT_TRUE; }, -1},
        {"VT_BOOL false", [](VARIANT& v) { V_VT(&v) = VT_BOOL; V_BOOL(&v) = VARIANT_FALSE; }, 0},
        {"VT_BSTR", [](VARIANT& v) { Text(v, L" 1{g}234{d}5 "); }, 1234.5},
        {"VT_BSTR negative", [](VARIANT& v) { Text(v, L"-0{d}5"); }, -0.5},
    };
    vz::HostChannels channels;
    for (const auto& reply : replies) {
        SCOPED_TRACE(reply.name);
        const VARTYPE type = AnswerReads(*host_, reply);
        std::int32_t channel = kReplyChannel;
        EXPECT_DOUBLE_EQ(channels.ReadChannelValue(channel), reply.number);
        EXPECT_EQ(V_VT(&vz::ChannelValue()), type);
    }
}

TEST_F(VeltZorvaneTest, RepliesThatAreNoNumberAreATypeMismatchAndStayInChannelValue) {
    const Reply replies[] = {
        {"VT_EMPTY", [](VARIANT&) {}, 0},
        {"VT_NULL", [](VARIANT& v) { V_VT(&v) = VT_NULL; }, 0},
        {"text", [](VARIANT& v) { V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(L"zehn"); }, 0},
        {"empty text", [](VARIANT& v) { V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(L""); }, 0},
        {"two decimal separators", [](VARIANT& v) { Text(v, L"7{d}5{d}1"); }, 0},
        {"VT_ERROR", [](VARIANT& v) { V_VT(&v) = VT_ERROR; V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }, 0},
        {"VT_DATE", [](VARIANT& v) { V_VT(&v) = VT_DATE; V_DATE(&v) = 45000.0; }, 0},
        {"VT_DISPATCH null", [](VARIANT& v) { V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = nullptr; }, 0},
    };
    vz::HostChannels channels;
    for (const auto& reply : replies) {
        SCOPED_TRACE(reply.name);
        const VARTYPE type = AnswerReads(*host_, reply);
        std::int32_t channel = kReplyChannel;
        try {
            channels.ReadChannelValue(channel);
            ADD_FAILURE() << "no error";
        } catch (const ComError& e) {
            EXPECT_EQ(e.hr(), DISP_E_TYPEMISMATCH);
            EXPECT_FALSE(e.description().empty());
        }
        EXPECT_EQ(V_VT(&vz::ChannelValue()), type);
    }
}

TEST_F(VeltZorvaneTest, AnObjectAsChannelValueIsATypeMismatch) {
    zorvane::win::Variant object;
    V_VT(object.get()) = VT_DISPATCH;
    V_DISPATCH(object.get()) = helper_.Get();
    helper_->AddRef();
    host_->SetChannelReply(6, *object.get());
    std::int32_t channel = 6;
    vz::HostChannels channels;
    try {
        channels.ReadChannelValue(channel);
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), DISP_E_TYPEMISMATCH);
    }
    EXPECT_EQ(V_VT(&vz::ChannelValue()), VT_DISPATCH);
}

TEST_F(VeltZorvaneTest, TheHostsOwnRefusalReachesTheCaller) {
    std::int32_t channel = 513;
    try {
        vz::HostChannels().ReadChannelValue(channel);
        ADD_FAILURE() << "no error";
    } catch (const ComError& e) {
        EXPECT_EQ(e.hr(), E_INVALIDARG);
        EXPECT_NE(e.description().find(L"513"), std::wstring::npos);
        EXPECT_EQ(e.source(), L"Stand-in host");
    }
    EXPECT_EQ(V_VT(&vz::ChannelValue()), VT_EMPTY);
}

}  // namespace

// A helper that, while answering its first read, stands for a host that calls Init again
// with another helper in the middle of a tick.
class HandingOverHelper final : public zorvane::win::ComObject<HandingOverHelper, IDispatch> {
public:
    explicit HandingOverHelper(IDispatch* next) : next_(next) {}
    int reads = 0;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        if (count != 1 || _wcsicmp(names[0], L"ChannelGetValue") != 0) return DISP_E_UNKNOWNNAME;
        ids[0] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) noexcept override {
        ++reads;
        if (next_) {
            vz::StorePluginHelper(next_.Get());  // lets go of this helper's stored reference
            next_.Reset();
        }
        V_VT(result) = VT_I4;
        V_I4(result) = 100;
        return S_OK;
    }

private:
    ComPtr<IDispatch> next_;
};

TEST_F(VeltZorvaneTest, AHelperReplacedDuringATickServesNoFurtherReadsAndIsReleased) {
    vz::Release();
    const ComPtr<HandingOverHelper> first = zorvane::win::Make<HandingOverHelper>(helper_.Get());
    const ULONG before = RefCount(first.Get());
    vz::StorePluginHelper(first.Get());
    RuleTable rules;
    rules.Append(L"5", L"10", L"200");
    rules.Append(L"7", L"0", L"100");
    host_->universe.SetFromFader(7, 150);

    {
        vz::HostChannels channels;
        RunClampTick(rules, channels);
    }

    EXPECT_EQ(first->reads, 1);
    EXPECT_EQ(Trace(), (std::vector<std::wstring>{L"ChannelGetValue 7 -> 150", L"MyStream",
                                                  L"UserInteraction", L"MyStream",
                                                  L"SetChannel 7, 100, true"}));
    EXPECT_EQ(V_DISPATCH(&vz::PluginHelper()), static_cast<IDispatch*>(helper_.Get()));
    EXPECT_REF(first.Get(), before);
}
