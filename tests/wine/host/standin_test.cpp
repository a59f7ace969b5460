// The stand-in host itself: its universe, the helper's dispatch, the trace and the faults.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "host/standin/universe.h"
#include "tests/support/variants.h"
#include "win/handles.h"

namespace zorvane::standin {
namespace {

using Microsoft::WRL::ComPtr;
using win::Variant;

TEST(Universe, KeepsFaderValuesAndRecordsOnlyThePluginsWrites) {
    Universe universe;
    universe.SetFromFader(1, 17);
    universe.SetFromFader(512, 255);
    universe.WriteFromPlugin(3, 40, true);
    universe.WriteFromPlugin(1, 20, false);
    EXPECT_EQ(universe.Value(1), 20);
    EXPECT_EQ(universe.Value(512), 255);
    EXPECT_EQ(universe.Value(3), 40);
    EXPECT_EQ(universe.PluginWrites(), (std::vector<ChannelWrite>{{3, 40, true}, {1, 20, false}}));
    universe.ClearPluginWrites();
    EXPECT_TRUE(universe.PluginWrites().empty());
    EXPECT_EQ(universe.Value(3), 40);
}

TEST(Universe, RefusesChannelsAndValuesOutsideTheirRanges) {
    struct Case {
        int channel;
        int value;
    };
    const Case cases[] = {{0, 1}, {513, 1}, {-1, 1}, {1, -1}, {1, 256}};
    Universe universe;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channel << " " << c.value);
        EXPECT_THROW(universe.SetFromFader(c.channel, c.value), std::out_of_range);
        EXPECT_THROW(universe.WriteFromPlugin(c.channel, c.value, true), std::out_of_range);
    }
    EXPECT_THROW(universe.Value(0), std::out_of_range);
    EXPECT_TRUE(universe.PluginWrites().empty());
}

std::vector<int> Values(const Universe& universe) {
    std::vector<int> values;
    for (int channel = 1; channel <= Universe::kChannels; ++channel) values.push_back(universe.Value(channel));
    return values;
}

TEST(Universe, DriftIsSeededAndStaysInSmallStepsWithinRange) {
    Universe first;
    Universe second;
    Universe other;
    for (Universe* universe : {&first, &second, &other}) {
        for (int channel = 1; channel <= Universe::kChannels; ++channel)
            universe->SetFromFader(channel, (channel * 37) % 256);
    }
    first.StartDrift(7, 3);
    second.StartDrift(7, 3);
    other.StartDrift(8, 3);
    for (int step = 0; step < 50; ++step) {
        const std::vector<int> before = Values(first);
        first.Wander();
        second.Wander();
        other.Wander();
        const std::vector<int> after = Values(first);
        for (std::size_t i = 0; i < after.size(); ++i) {
            ASSERT_GE(after[i], 0);
            ASSERT_LE(after[i], 255);
            ASSERT_LE(std::abs(after[i] - before[i]), 3);
        }
    }
    EXPECT_EQ(Values(first), Values(second));
    EXPECT_NE(Values(first), Values(other));
    EXPECT_TRUE(first.PluginWrites().empty());

    first.StopDrift();
    const std::vector<int> stopped = Values(first);
    first.Wander();
    EXPECT_EQ(Values(first), stopped);
}

class HelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_shared<StandinHost>();
        helper_ = MakePluginHelper(host_);
    }

    DISPID IdOf(IDispatch* object, const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = 12345;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << name;
        return id;
    }

    // ChannelGetValue by name with the channel by reference; the answer and EXCEPINFO.
    HRESULT ReadByName(LONG& channel, Variant& result, EXCEPINFO& excep) {
        VARIANT argument = test::LongReference(channel);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        excep = EXCEPINFO{};
        return helper_->Invoke(IdOf(helper_.Get(), L"ChannelGetValue"), IID_NULL, LOCALE_USER_DEFAULT,
                               DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result.put(), &excep,
                               nullptr);
    }

    std::shared_ptr<StandinHost> host_;
    ComPtr<IVELTPluginHelper> helper_;
};

TEST_F(HelperTest, NamesAreFoundWhateverTheirCase) {
    struct Case {
        const wchar_t* name;
        bool on_stream;
        DISPID id;
    };
    const Case cases[] = {
        {L"ChannelGetValue", false, kChannelGetValueId},
        {L"channelgetvalue", false, kChannelGetValueId},
        {L"MYSTREAM", false, kMyStreamId},
        {L"UserInteraction", true, kUserInteractionId},
        {L"setchannel", true, kSetChannelId},
    };
    ComPtr<IDispatch> stream;
    ASSERT_EQ(helper_->get_MyStream(&stream), S_OK);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<const void*>(c.name));
        EXPECT_EQ(IdOf(c.on_stream ? stream.Get() : helper_.Get(), c.name), c.id);
    }

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"SetChannel")};
    DISPID id = 12345;
    EXPECT_EQ(helper_->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
}

TEST_F(HelperTest, ChannelGetValueTakesTheChannelByReferenceOrByValue) {
    host_->universe.SetFromFader(9, 99);
    LONG channel = 9;
    Variant result;
    EXCEPINFO excep;
    ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
    EXPECT_EQ(result.type(), VT_I4);
    EXPECT_EQ(V_I4(result.get()), 99);

    VARIANT by_value;
    V_VT(&by_value) = VT_I4;
    V_I4(&by_value) = 9;
    DISPPARAMS params{&by_value, nullptr, 1, 0};
    ASSERT_EQ(helper_->Invoke(kChannelGetValueId, IID_NULL, LOCALE_USER_DEFAULT,
                              DISPATCH_METHOD, &params, result.put(), nullptr, nullptr),
              S_OK);
    EXPECT_EQ(V_I4(result.get()), 99);

    Variant through_vtable;
    ASSERT_EQ(helper_->ChannelGetValue(&channel, through_vtable.get()), S_OK);
    EXPECT_EQ(V_I4(through_vtable.get()), 99);

    EXPECT_EQ(host_->trace.Texts(), (std::vector<std::wstring>{L"ChannelGetValue 9 -> 99", L"ChannelGetValue 9 -> 99",
                                                               L"ChannelGetValue 9 -> 99"}));
    EXPECT_EQ(host_->trace.calls()[1].arguments[0].type, VT_I4);
    EXPECT_EQ(host_->trace.calls()[2].flags, 0);
}

TEST_F(HelperTest, AChannelOutsideTheUniverseIsRefusedWithAGermanException) {
    LONG channel = 0;
    Variant result;
    EXCEPINFO excep;
    ASSERT_EQ(ReadByName(channel, result, excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, E_INVALIDARG);
    EXPECT_STREQ(excep.bstrDescription, L"Kanal 0 gibt es nicht (1 bis 512).");
    EXPECT_STREQ(excep.bstrSource, L"Stand-in host");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    EXPECT_EQ(host_->trace.Texts(), (std::vector<std::wstring>{L"ChannelGetValue 0 -> error 0x80020009"}));
}

TEST_F(HelperTest, WritesGoThroughTheStreamByNameAndThroughItsVtable) {
    ComPtr<IDispatch> stream;
    ASSERT_EQ(helper_->get_MyStream(&stream), S_OK);
    LONG channel = 12;
    LONG value = 200;
    VARIANT arguments[3] = {test::BoolVariant(false), test::LongReference(value), test::LongReference(channel)};
    DISPPARAMS params{arguments, nullptr, 3, 0};
    ASSERT_EQ(stream->Invoke(IdOf(stream.Get(), L"SetChannel"), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                             &params, nullptr, nullptr, nullptr),
              S_OK);

    ComPtr<IVELTOutputStream> typed;
    ASSERT_EQ(stream.As(&typed), S_OK);
    channel = 13;
    value = 256;
    EXPECT_EQ(typed->SetChannel(&channel, &value, VARIANT_TRUE), E_INVALIDARG);
    value = 255;
    EXPECT_EQ(typed->SetChannel(&channel, &value, VARIANT_TRUE), S_OK);
    EXPECT_EQ(typed->UserInteraction(), S_OK);

    EXPECT_EQ(host_->universe.PluginWrites(), (std::vector<ChannelWrite>{{12, 200, false}, {13, 255, true}}));
    EXPECT_EQ(host_->trace.Texts(),
              (std::vector<std::wstring>{L"MyStream", L"SetChannel 12, 200, false",
                                         L"SetChannel 13, 256, true -> error 0x80020009",
                                         L"SetChannel 13, 255, true", L"UserInteraction"}));
}

TEST_F(HelperTest, EachReadOfMyStreamYieldsANewStreamUnlessOneServesAll) {
    for (const bool fresh : {true, false}) {
        SCOPED_TRACE(fresh);
        host_->fresh_stream_per_read = fresh;
        ComPtr<IDispatch> first;
        ComPtr<IDispatch> second;
        ASSERT_EQ(helper_->get_MyStream(&first), S_OK);
        ASSERT_EQ(helper_->get_MyStream(&second), S_OK);
        EXPECT_EQ(first.Get() != second.Get(), fresh);
    }
}

TEST_F(HelperTest, ExceptionFaultsFillExcepInfoTheWayTheirKindSays) {
    struct Case {
        FaultKind kind;
        HRESULT scode;
        WORD wcode;
        bool deferred;
    };
    const Case cases[] = {{FaultKind::Exception, static_cast<HRESULT>(0x800A0BB8), 0, false},
                          {FaultKind::ExceptionWCode, S_OK, 3001, false},
                          {FaultKind::ExceptionDeferred, static_cast<HRESULT>(0x800A0BB9), 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        Fault fault;
        fault.call = host_->calls_made() + 1;
        fault.kind = c.kind;
        fault.code = c.scode;
        fault.wcode = c.wcode;
        fault.description = L"Ger\u00E4t antwortet nicht";
        host_->InjectFault(fault);

        LONG channel = 1;
        Variant result;
        EXCEPINFO excep;
        ASSERT_EQ(ReadByName(channel, result, excep), DISP_E_EXCEPTION);
        EXPECT_EQ(excep.pfnDeferredFillIn != nullptr, c.deferred);
        if (excep.pfnDeferredFillIn != nullptr) {
            EXPECT_EQ(excep.bstrDescription, nullptr);
            ASSERT_EQ(excep.pfnDeferredFillIn(&excep), S_OK);
        }
        EXPECT_EQ(excep.scode, c.scode);
        EXPECT_EQ(excep.wCode, c.wcode);
        EXPECT_STREQ(excep.bstrDescription, fault.description.c_str());
        EXPECT_STREQ(excep.bstrSource, fault.source.c_str());
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrSource);

        // A fault fires once.
        ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
        EXPECT_FALSE(host_->pending_fault().has_value());
    }
}

TEST_F(HelperTest, AMissingMemberFailsTheLookupOrTheInvocationOfItsCall) {
    // Call 1 is looked up afresh: unknown name. Call 2 comes with a known identifier.
    host_->InjectFault({1, FaultKind::MissingMember});
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"MyStream")};
    DISPID id = 0;
    EXPECT_EQ(helper_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(helper_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);

    host_->InjectFault({2, FaultKind::MissingMember});
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant result;
    EXPECT_EQ(helper_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.put(), nullptr,
                              nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(host_->trace.Texts(),
              (std::vector<std::wstring>{L"MyStream -> error 0x80020006", L"MyStream -> error 0x80020003"}));
}

TEST_F(HelperTest, OddRepliesAndFaultsThatDoNotFitTheirCall) {
    struct Case {
        FaultKind kind;
        bool on_stream_read;
        VARTYPE type;
    };
    const Case cases[] = {
        {FaultKind::StreamEmpty, true, VT_EMPTY},       {FaultKind::StreamNothing, true, VT_DISPATCH},
        {FaultKind::StreamNotObject, true, VT_I4},      {FaultKind::ValueNotNumber, false, VT_BSTR},
        {FaultKind::ValueEmpty, false, VT_EMPTY},       {FaultKind::ValueNull, false, VT_NULL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        // First on a call it does not fit: dropped, the call goes through.
        host_->InjectFault({host_->calls_made() + 1, c.kind});
        Variant result;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        LONG channel = 2;
        EXCEPINFO excep;
        if (c.on_stream_read) {
            ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
            EXPECT_EQ(result.type(), VT_I4);
        } else {
            ASSERT_EQ(helper_->Invoke(kMyStreamId, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                      result.put(), nullptr, nullptr),
                      S_OK);
            EXPECT_EQ(result.type(), VT_DISPATCH);
        }
        EXPECT_FALSE(host_->pending_fault().has_value());

        host_->InjectFault({host_->calls_made() + 1, c.kind});
        if (c.on_stream_read) {
            ASSERT_EQ(helper_->Invoke(kMyStreamId, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                      result.put(), nullptr, nullptr),
                      S_OK);
            if (c.type == VT_DISPATCH) {
                EXPECT_EQ(V_DISPATCH(result.get()), nullptr);
            }
        } else {
            ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
        }
        EXPECT_EQ(result.type(), c.type);
    }
}

TEST_F(HelperTest, WithTheTraceOffCallsAreCountedButNotRecorded) {
    host_->trace.enabled = false;
    LONG channel = 1;
    Variant result;
    EXCEPINFO excep;
    ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
    ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
    EXPECT_TRUE(host_->trace.calls().empty());
    EXPECT_EQ(host_->calls_made(), 2u);
}

TEST_F(HelperTest, AReplySetForAChannelReplacesItsValue) {
    Variant reply;
    V_VT(reply.get()) = VT_BSTR;
    V_BSTR(reply.get()) = SysAllocString(L"12,5");
    host_->SetChannelReply(4, *reply.get());
    LONG channel = 4;
    Variant result;
    EXCEPINFO excep;
    ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
    ASSERT_EQ(result.type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(result.get()), L"12,5");
    host_->ClearChannelReplies();
    ASSERT_EQ(ReadByName(channel, result, excep), S_OK);
    EXPECT_EQ(result.type(), VT_I4);
    EXPECT_EQ(host_->trace.Texts(),
              (std::vector<std::wstring>{L"ChannelGetValue 4 -> \"12,5\"", L"ChannelGetValue 4 -> 0"}));
}

}  // namespace
}  // namespace zorvane::standin
