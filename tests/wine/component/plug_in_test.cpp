// clsVELTPlugIn as the host meets it: interfaces, the fixed answers by vtable and by
// name, PluginName on both interfaces, Init's hold on the helper, and what a host that
// calls wrongly gets.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <functional>
#include <memory>
#include <vector>

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

// Error information another call left on the thread, which a failure must not pass on.
ComPtr<IErrorInfo> StaleErrorInfo() {
    ComPtr<ICreateErrorInfo> create;
    EXPECT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<wchar_t*>(L"Worte eines fr\u00FCheren Aufrufs"));
    ComPtr<IErrorInfo> info;
    create.As(&info);
    return info;
}

// The description of the thread's error information, taken; empty when there is none.
std::wstring TakeErrorDescription() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) return {};
    win::Bstr description;
    info->GetDescription(description.put());
    return std::wstring(description.view());
}

// Every member with an out-parameter, given none: E_POINTER with words of its own, and
// nothing done (Configure shows no box).
TEST(PlugInTest, NullOutPointersAreRefusedWithErrorInformation) {
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    ComPtr<_clsVELTPlugIn> own;
    ComPtr<IVELTModule> module;
    ASSERT_EQ(plugin.As(&own), S_OK);
    ASSERT_EQ(plugin.As(&module), S_OK);
    const struct {
        const char* what;
        std::function<HRESULT()> call;
    } rows[] = {
        {"Enable", [&] { return plugin->Enable(nullptr); }},
        {"Disable", [&] { return plugin->Disable(nullptr); }},
        {"Term", [&] { return plugin->Term(nullptr); }},
        {"Configure", [&] { return plugin->Configure(nullptr); }},
        {"MessageHandle", [&] { return plugin->MessageHandle(1, 2, 3, nullptr); }},
        {"Init", [&] { return plugin->Init(nullptr, nullptr, nullptr, nullptr); }},
        {"IVELTPlugin.PluginName", [&] { return plugin->get_PluginName(nullptr); }},
        {"_clsVELTPlugIn.PluginName", [&] { return own->get_PluginName(nullptr); }},
        {"ModuleInfo", [&] { return module->get_ModuleInfo(nullptr); }},
    };
    const ComPtr<IErrorInfo> stale = StaleErrorInfo();
    BoxAnswerer answerer;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        SetErrorInfo(0, stale.Get());
        EXPECT_EQ(row.call(), E_POINTER);
        const std::wstring words = TakeErrorDescription();
        EXPECT_FALSE(words.empty()) << "no error information";
        EXPECT_NE(words, L"Worte eines fr\u00FCheren Aufrufs") << "another call's words passed on";
    }
    EXPECT_TRUE(answerer.captions().empty()) << "a box came up";
}

// Windows of this thread with one of the captions are refused their creation while this
// lives: a system short of windows, for the one window Configure needs.
class RefusedWindows {
public:
    explicit RefusedWindows(const wchar_t* caption) {
        caption_ = caption;
        hook_.reset(SetWindowsHookExW(WH_CBT, Refuse, nullptr, GetCurrentThreadId()));
        EXPECT_TRUE(hook_) << "no CBT hook";
    }
    ~RefusedWindows() { caption_ = nullptr; }
    RefusedWindows(const RefusedWindows&) = delete;
    RefusedWindows& operator=(const RefusedWindows&) = delete;

    static int refused() noexcept { return refused_; }

private:
    static LRESULT CALLBACK Refuse(int code, WPARAM wparam, LPARAM lparam) noexcept {
        if (code == HCBT_CREATEWND && caption_ != nullptr) {
            const wchar_t* name = reinterpret_cast<CBT_CREATEWNDW*>(lparam)->lpcs->lpszName;
            if (name != nullptr && !IS_INTRESOURCE(name) && std::wcscmp(name, caption_) == 0) {
                ++refused_;
                return 1;
            }
        }
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }

    static inline const wchar_t* caption_ = nullptr;
    static inline int refused_ = 0;
    win::UniqueHook hook_;
};

// Configure fails where its box or its window cannot be made: the failure reaches the
// host with its words, and the answer is false, never true beside a failure.
TEST(PlugInTest, ConfigureThatFailsAnswersFalse) {
    const struct {
        const char* what;
        const wchar_t* refused;  // the caption of the window that cannot be made
        const wchar_t* typed;    // into the input box, with OK
    } rows[] = {
        {"the input box cannot be made", L"Plugin: Zorvane Einstellungen", L""},
        {"an accepted interval, the rule editor window cannot be made", L"Zorvane", L"300"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
        ASSERT_TRUE(plugin);
        BoxAnswerer answerer(row.typed);
        const int refused_before = RefusedWindows::refused();
        HRESULT hr = S_OK;
        VARIANT_BOOL result = VARIANT_TRUE;  // what an earlier call left in the host's variable
        {
            const RefusedWindows refusing(row.refused);
            SetErrorInfo(0, nullptr);
            hr = plugin->Configure(&result);
        }
        ASSERT_EQ(RefusedWindows::refused(), refused_before + 1) << "the window was not asked for";
        EXPECT_TRUE(FAILED(hr)) << "Configure answered " << std::hex << hr;
        EXPECT_EQ(result, VARIANT_FALSE) << "true beside a failure";
        EXPECT_FALSE(TakeErrorDescription().empty()) << "no words for the failure";
    }
}

// A call through one of the plug-in's dispatch interfaces as a host that does everything
// wrong makes it: the arguments in the caller's order, named ones first in rgvarg as
// DISPPARAMS has them, the result filled with junk.
struct WrongCall {
    const char* what;
    IID iid;
    DISPID id;
    WORD flags;
    std::function<std::vector<VARIANT>(IDispatch* helper)> arguments;
    std::vector<DISPID> names;  // of the first arguments
    enum class Shape { Normal, NamesWithoutIdentifiers, CountWithoutArguments, MoreNamesThanArguments } shape;
    bool odd_iid;
    HRESULT expected;
    int arg_error;  // -1: none named
};

// Texts of the calls, as BSTRs that live as long as the test program.
VARIANT Text(const wchar_t* text) {
    static std::vector<win::Bstr> texts;
    texts.emplace_back(text);
    VARIANT value;
    V_VT(&value) = VT_BSTR;
    V_BSTR(&value) = texts.back().get();
    return value;
}

VARIANT Long(LONG number) {
    VARIANT value;
    V_VT(&value) = VT_I4;
    V_I4(&value) = number;
    return value;
}

VARIANT Object(IDispatch* object, VARTYPE type = VT_DISPATCH) {
    VARIANT value;
    V_VT(&value) = type;
    V_DISPATCH(&value) = object;  // borrowed
    return value;
}

// Each row a call the automation fuzzer found answered against the rules, crashing in the
// platform, leaking or changing the host's arguments. Every call leaves the result empty
// on failure, the host's arguments as they were, words for its failure and no reference
// to the helper behind.
TEST(PlugInTest, WrongCallsByNameGetTheAnswersOfTheAutomationRules) {
    using Shape = WrongCall::Shape;
    constexpr DISPID kInit = 0x6003000B;
    const auto none = [](IDispatch*) { return std::vector<VARIANT>{}; };
    const WrongCall rows[] = {
        {"riid not IID_NULL", IID_IDispatch, 0x68030002, DISPATCH_PROPERTYGET, none, {}, Shape::Normal, true,
         DISP_E_UNKNOWNINTERFACE, -1},
        {"an identifier it has not", IID_IDispatch, 12345, DISPATCH_METHOD, none, {}, Shape::Normal, false,
         DISP_E_MEMBERNOTFOUND, -1},
        {"PluginName written", __uuidof(IVELTPlugin), 0x68030007, DISPATCH_PROPERTYPUT,
         [](IDispatch*) { return std::vector<VARIANT>{Text(L"Andere")}; }, {DISPID_PROPERTYPUT}, Shape::Normal, false,
         DISP_E_MEMBERNOTFOUND, -1},
        {"named arguments without their identifiers", __uuidof(IVELTPlugin), 0x60030009, DISPATCH_METHOD,
         [](IDispatch*) { return std::vector<VARIANT>{Long(1)}; }, {0}, Shape::NamesWithoutIdentifiers, false,
         E_INVALIDARG, -1},
        {"a count of arguments without them", __uuidof(IVELTPlugin), 0x60030009, DISPATCH_METHOD, none, {},
         Shape::CountWithoutArguments, false, E_INVALIDARG, -1},
        {"more named arguments than arguments", __uuidof(IVELTPlugin), 0x60030009, DISPATCH_METHOD,
         [](IDispatch*) { return std::vector<VARIANT>{Long(1)}; }, {0}, Shape::MoreNamesThanArguments, false,
         E_INVALIDARG, -1},
        {"MessageHandle with an object for Msg", __uuidof(IVELTPlugin), 0x6003000C, DISPATCH_METHOD,
         [](IDispatch* helper) { return std::vector<VARIANT>{Object(helper), Long(1), Long(2)}; }, {}, Shape::Normal,
         false, DISP_E_TYPEMISMATCH, 2},
        {"Init with a number for the helper", __uuidof(IVELTPlugin), kInit, DISPATCH_METHOD,
         [](IDispatch*) { return std::vector<VARIANT>{Text(L"Pult"), Text(L"Zorvane.dll"), Long(5)}; }, {},
         Shape::Normal, false, DISP_E_TYPEMISMATCH, 0},
        {"Init named, the helper first and then an object for the title", __uuidof(IVELTPlugin), kInit,
         DISPATCH_METHOD,
         [](IDispatch* helper) {
             return std::vector<VARIANT>{Object(helper), Object(helper), Text(L"Zorvane.dll")};
         },
         {2, 0, 1}, Shape::Normal, false, DISP_E_TYPEMISMATCH, 1},
        {"Init named with a parameter it has not", __uuidof(IVELTPlugin), kInit, DISPATCH_METHOD,
         [](IDispatch* helper) { return std::vector<VARIANT>{Text(L"Pult"), Text(L"Zorvane.dll"), Object(helper)}; },
         {7, 1, 2}, Shape::Normal, false, DISP_E_PARAMNOTFOUND, 0},
        {"Init named in its order", __uuidof(IVELTPlugin), kInit, DISPATCH_METHOD,
         [](IDispatch* helper) { return std::vector<VARIANT>{Text(L"Pult"), Text(L"Zorvane.dll"), Object(helper)}; },
         {0, 1, 2}, Shape::Normal, false, S_OK, -1},
        {"Init with the helper by value as IUnknown", __uuidof(IVELTPlugin), kInit, DISPATCH_METHOD,
         [](IDispatch* helper) {
             return std::vector<VARIANT>{Text(L"Pult"), Text(L"Zorvane.dll"), Object(helper, VT_UNKNOWN)};
         },
         {}, Shape::Normal, false, S_OK, -1},
    };
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    const auto host = std::make_shared<standin::StandinHost>();
    const ComPtr<IVELTPluginHelper> helper = standin::MakePluginHelper(host);
    for (const WrongCall& row : rows) {
        SCOPED_TRACE(row.what);
        ComPtr<IDispatch> target;
        ASSERT_EQ(plugin->QueryInterface(row.iid, reinterpret_cast<void**>(target.GetAddressOf())), S_OK);
        const std::vector<VARIANT> arguments = row.arguments(helper.Get());
        std::vector<VARIANT> rgvarg;
        for (std::size_t i = 0; i < row.names.size(); ++i) rgvarg.push_back(arguments[i]);
        for (std::size_t i = arguments.size(); i-- > row.names.size();) rgvarg.push_back(arguments[i]);
        std::vector<DISPID> names = row.names;
        DISPPARAMS params{rgvarg.data(), names.empty() ? nullptr : names.data(), static_cast<UINT>(rgvarg.size()),
                          static_cast<UINT>(names.size())};
        switch (row.shape) {
            case Shape::NamesWithoutIdentifiers: params.rgdispidNamedArgs = nullptr; break;
            case Shape::CountWithoutArguments: params.rgvarg = nullptr; params.cArgs = 2; break;
            case Shape::MoreNamesThanArguments: names.push_back(1); params.rgdispidNamedArgs = names.data(); params.cNamedArgs = 2; break;
            case Shape::Normal: break;
        }
        const std::vector<VARIANT> before = rgvarg;
        VARIANT result;
        std::memset(&result, 0xCC, sizeof result);
        EXCEPINFO excep{};
        UINT arg_error = 0xDEADBEEF;
        SetErrorInfo(0, nullptr);
        const HRESULT hr = target->Invoke(row.id, row.odd_iid ? IID_IDispatch : IID_NULL, LOCALE_USER_DEFAULT, row.flags,
                                          &params, &result, &excep, &arg_error);
        EXPECT_EQ(hr, row.expected);
        if (row.arg_error >= 0) {
            EXPECT_EQ(arg_error, static_cast<UINT>(row.arg_error));
        }
        EXPECT_EQ(std::memcmp(before.data(), rgvarg.data(), rgvarg.size() * sizeof(VARIANT)), 0)
            << "the host's arguments were changed";
        if (FAILED(hr)) {
            EXPECT_EQ(V_VT(&result), VT_EMPTY) << "the result is left as it was";
            EXPECT_FALSE(TakeErrorDescription().empty()) << "no words for the failure";
        } else {
            EXPECT_NE(V_VT(&result), 0xCCCC) << "the result is left as it was";
            VariantClear(&result);
        }
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        // Whatever Init stored goes; then no reference of the helper may be left.
        VARIANT_BOOL done = VARIANT_FALSE;
        ASSERT_EQ(plugin->Init(nullptr, nullptr, nullptr, &done), S_OK);
        EXPECT_EQ(CountOf(helper.Get()), 1u) << "a reference to the helper was kept";
    }
}

// Names as the automation rules answer them: arrays that are not there refused, a name
// that is not there no name.
TEST(PlugInTest, WrongNameLookupsAreRefused) {
    const ComPtr<IDispatch> dispatch = CreatePlugIn<IDispatch>();
    ASSERT_TRUE(dispatch);
    LPOLESTR plugin_name = const_cast<LPOLESTR>(L"PluginName");
    const struct {
        const char* what;
        std::vector<LPOLESTR> names;
        bool names_given;
        bool ids_given;
        HRESULT expected;
        std::vector<DISPID> ids;
    } rows[] = {
        {"no names", {plugin_name}, false, true, E_POINTER, {}},
        {"nowhere to put the identifiers", {plugin_name}, true, false, E_POINTER, {}},
        {"a null member name", {nullptr}, true, true, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN}},
        {"a null parameter name", {plugin_name, nullptr}, true, true, DISP_E_UNKNOWNNAME, {0x68030002, DISPID_UNKNOWN}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<LPOLESTR> names = row.names;
        std::vector<DISPID> ids(names.size(), 0x5A5A);
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, row.names_given ? names.data() : nullptr,
                                          static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT,
                                          row.ids_given ? ids.data() : nullptr),
                  row.expected);
        if (!row.ids.empty()) {
            EXPECT_EQ(ids, row.ids);
        }
    }
}

}  // namespace
}  // namespace zorvane::test
