// clsVELTPlugIn as the host meets it: interfaces, the fixed answers by vtable and by
// name, PluginName on both interfaces, and Init's hold on the helper.
#include <gtest/gtest.h>

#include <memory>

#include "host/standin/plugin_helper.h"
#include "host/standin/standin_host.h"
#include "tests/wine/component/component_support.h"

namespace zorvane::test {
namespace {

TEST(PlugInTest, AnswersItsInterfacesAndNoOther) {
    const ComPtr<IUnknown> object = CreatePlugIn<IUnknown>();
    ASSERT_TRUE(object);
    struct Case {
        const char* name;
        IID iid;
        bool answered;
    };
    const Case cases[] = {
        {"IUnknown", IID_IUnknown, true},
        {"IDispatch", IID_IDispatch, true},
        {"_clsVELTPlugIn", __uuidof(_clsVELTPlugIn), true},
        {"IVELTModule", __uuidof(IVELTModule), true},
        {"IVELTPlugin", __uuidof(IVELTPlugin), true},
        {"ISupportErrorInfo", IID_ISupportErrorInfo, true},
        {"IVELTTool", __uuidof(IVELTTool), false},
        {"IVELTModuleInfo", __uuidof(IVELTModuleInfo), false},
        {"IClassFactory", IID_IClassFactory, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IUnknown> answer;
        const HRESULT hr = object->QueryInterface(c.iid, reinterpret_cast<void**>(answer.GetAddressOf()));
        if (c.answered) {
            ASSERT_EQ(hr, S_OK);
            ComPtr<IUnknown> identity;
            answer.As(&identity);
            EXPECT_EQ(identity.Get(), object.Get()) << "one identity for every interface";
        } else {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(answer.Get(), nullptr);
        }
    }
    ComPtr<IDispatch> dispatch;
    ComPtr<_clsVELTPlugIn> own;
    ASSERT_EQ(object.As(&dispatch), S_OK);
    ASSERT_EQ(object.As(&own), S_OK);
    EXPECT_EQ(static_cast<IDispatch*>(own.Get()), dispatch.Get()) << "IDispatch is the default interface";
}

TEST(PlugInTest, PluginNameOnBothInterfaces) {
    const ComPtr<_clsVELTPlugIn> own = CreatePlugIn<_clsVELTPlugIn>();
    ASSERT_TRUE(own);
    ComPtr<IVELTPlugin> plugin;
    ASSERT_EQ(own.As(&plugin), S_OK);
    win::Bstr name;
    ASSERT_EQ(own->get_PluginName(name.put()), S_OK);
    EXPECT_EQ(name.view(), L"Zorvane");
    ASSERT_EQ(plugin->get_PluginName(name.put()), S_OK);
    EXPECT_EQ(name.view(), L"Zorvane");
}

// A late-binding host: the identifier from the name, then the property read.
TEST(PlugInTest, PluginNameByNameThroughTheDefaultDispatch) {
    CLSID class_id{};
    ASSERT_EQ(CLSIDFromProgID(L"Zorvane.clsVELTPlugIn", &class_id), S_OK);
    EXPECT_EQ(class_id, kPlugInClassId);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dispatch)), S_OK);

    DISPID id = 0;
    LPOLESTR names[] = {const_cast<wchar_t*>(L"PluginName")};
    ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, 0x68030002);

    win::Variant result;
    DISPPARAMS none{};
    ASSERT_EQ(dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                               result.get(), nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(result.get()), L"Zorvane");

    names[0] = const_cast<wchar_t*>(L"NoSuchMember");
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
}

TEST(PlugInTest, LifecycleAnswersByVtable) {
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    struct Case {
        const char* name;
        HRESULT (STDMETHODCALLTYPE IVELTPlugin::*call)(VARIANT_BOOL*);
        VARIANT_BOOL expected;
    };
    const Case cases[] = {
        {"Enable", &IVELTPlugin::Enable, VARIANT_TRUE},
        {"Disable", &IVELTPlugin::Disable, VARIANT_FALSE},
        {"Term", &IVELTPlugin::Term, VARIANT_TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT_BOOL result = 0x1234;
        EXPECT_EQ((plugin.Get()->*c.call)(&result), S_OK);
        EXPECT_EQ(result, c.expected);
        EXPECT_EQ((plugin.Get()->*c.call)(nullptr), E_POINTER);
    }
    for (const LONG message : {0L, 1L, -1L, 0x7FFFFFFFL}) {
        LONG result = 0x1234;
        EXPECT_EQ(plugin->MessageHandle(message, message + 1, message - 1, &result), S_OK);
        EXPECT_EQ(result, 0);
    }
}

// The host's dispatch on IVELTPlugin, answered from the host library's type information.
TEST(PlugInTest, LifecycleAnswersByName) {
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    auto long_value = [](LONG value) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return v;
    };
    struct Case {
        const wchar_t* name;
        WORD flags;
        std::vector<VARIANT> arguments;
        VARTYPE type;
        LONG value;  // booleans as -1 and 0
        const wchar_t* text;
    };
    const Case cases[] = {
        {L"Enable", DISPATCH_METHOD, {}, VT_BOOL, VARIANT_TRUE, nullptr},
        {L"Disable", DISPATCH_METHOD, {}, VT_BOOL, VARIANT_FALSE, nullptr},
        {L"Term", DISPATCH_METHOD, {}, VT_BOOL, VARIANT_TRUE, nullptr},
        {L"MessageHandle", DISPATCH_METHOD, {long_value(5), long_value(6), long_value(7)}, VT_I4, 0, nullptr},
        {L"PluginName", DISPATCH_PROPERTYGET, {}, VT_BSTR, 0, L"Zorvane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        win::Variant result;
        EXCEPINFO exception{};
        ASSERT_EQ(InvokeByName(plugin.Get(), c.name, c.flags, c.arguments, result.get(), &exception), S_OK);
        ASSERT_EQ(result.type(), c.type);
        if (c.type == VT_BOOL) {
            EXPECT_EQ(V_BOOL(result.get()), c.value);
        } else if (c.type == VT_I4) {
            EXPECT_EQ(V_I4(result.get()), c.value);
        } else {
            EXPECT_STREQ(V_BSTR(result.get()), c.text);
        }
    }
}

// Init keeps one counted reference to the latest helper, lets the one before go, and
// asks nothing of either.
TEST(PlugInTest, InitHoldsOnlyTheLatestHelper) {
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    const auto host = std::make_shared<standin::StandinHost>();
    const ComPtr<IVELTPluginHelper> first = standin::MakePluginHelper(host);
    const ComPtr<IVELTPluginHelper> second = standin::MakePluginHelper(host);
    const win::Bstr title(L"Host");
    const win::Bstr file(L"Zorvane.dll");

    IVELTPluginHelper* argument = first.Get();
    VARIANT_BOOL result = VARIANT_FALSE;
    ASSERT_EQ(plugin->Init(title.get(), file.get(), &argument, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(argument, first.Get()) << "the in/out argument comes back unchanged";
    EXPECT_EQ(CountOf(first.Get()), 2u);

    argument = second.Get();
    ASSERT_EQ(plugin->Init(title.get(), file.get(), &argument, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(CountOf(first.Get()), 1u);
    EXPECT_EQ(CountOf(second.Get()), 2u);

    // Another object shares the stored helper: its Init replaces it for all.
    const ComPtr<IVELTPlugin> other = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(other);
    argument = first.Get();
    ASSERT_EQ(other->Init(title.get(), file.get(), &argument, &result), S_OK);
    EXPECT_EQ(CountOf(second.Get()), 1u);
    EXPECT_EQ(CountOf(first.Get()), 2u);

    // An empty reference, given either way, is stored as empty: still true.
    IVELTPluginHelper* empty = nullptr;
    ASSERT_EQ(plugin->Init(title.get(), file.get(), &empty, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);
    EXPECT_EQ(CountOf(first.Get()), 1u);
    result = VARIANT_FALSE;
    ASSERT_EQ(plugin->Init(nullptr, nullptr, nullptr, &result), S_OK);
    EXPECT_EQ(result, VARIANT_TRUE);

    EXPECT_EQ(host->calls_made(), 0u);
    EXPECT_EQ(host->name_lookups(), 0u);
}

// Init by name, as a late-binding host passes the helper: by reference.
TEST(PlugInTest, InitByNameTakesTheHelperByReference) {
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    const auto host = std::make_shared<standin::StandinHost>();
    const ComPtr<IVELTPluginHelper> helper = standin::MakePluginHelper(host);
    IDispatch* slot = helper.Get();
    std::vector<VARIANT> arguments(3);
    V_VT(&arguments[0]) = VT_BSTR;
    V_BSTR(&arguments[0]) = nullptr;
    V_VT(&arguments[1]) = VT_BSTR;
    V_BSTR(&arguments[1]) = nullptr;
    V_VT(&arguments[2]) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&arguments[2]) = &slot;
    win::Variant result;
    EXCEPINFO exception{};
    ASSERT_EQ(InvokeByName(plugin.Get(), L"Init", DISPATCH_METHOD, arguments, result.get(), &exception), S_OK);
    ASSERT_EQ(result.type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(result.get()), VARIANT_TRUE);
    EXPECT_EQ(CountOf(helper.Get()), 2u);

    VARIANT_BOOL done = VARIANT_FALSE;
    ASSERT_EQ(plugin->Init(nullptr, nullptr, nullptr, &done), S_OK);
    EXPECT_EQ(CountOf(helper.Get()), 1u);
    EXPECT_EQ(host->calls_made(), 0u);
}

}  // namespace
}  // namespace zorvane::test
