// A host's arguments as the real DLL places them, on both kinds of member it answers by
// name: IVELTPlugin's and IVELTTool's from the host library's type information, the
// form's own (Move, Caption...) from the rule editor's table. Both answer a call alike,
// and an argument at fault is named from the one conversion that refused it, made in
// the caller's locale.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/hosted_plugin.h"
#include "tests/wine/component/component_support.h"
#include "win/handles.h"
#include "win/plain_dispatch.h"

namespace zorvane::test {
namespace {

constexpr LCID kGerman = 0x0407;
constexpr LCID kEnglish = 0x0409;

// An object of the host's whose default member (DISPID_VALUE) gives a fixed value and
// counts its calls: converting the object to a number or a text calls that member.
class DefaultValueCounter final : public win::PlainDispatch<DefaultValueCounter> {
public:
    static constexpr bool kHoldsModule = false;
    explicit DefaultValueCounter(LONG number) {
        V_VT(value_.get()) = VT_I4;
        V_I4(value_.get()) = number;
    }
    explicit DefaultValueCounter(const wchar_t* text) {
        V_VT(value_.get()) = VT_BSTR;
        V_BSTR(value_.get()) = SysAllocString(text);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) noexcept override {
        if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
        ++calls_;
        lcid_ = lcid;
        if (result == nullptr) return S_OK;
        return VariantCopy(result, value_.get());
    }

    int calls() const noexcept { return calls_; }
    LCID lcid() const noexcept { return lcid_; }

private:
    win::Variant value_;
    int calls_ = 0;
    LCID lcid_ = 0xFFFFFFFF;
};

// The values of one call, alive as long as the call: texts, the variables that
// by-reference arguments point at, the objects.
class Values {
public:
    VARIANT Long(LONG number) {
        VARIANT value;
        V_VT(&value) = VT_I4;
        V_I4(&value) = number;
        return value;
    }
    VARIANT Text(const wchar_t* text) {
        texts_.emplace_back(text);
        VARIANT value;
        V_VT(&value) = VT_BSTR;
        V_BSTR(&value) = texts_.back().get();
        return value;
    }
    VARIANT Missing() {
        VARIANT value;
        V_VT(&value) = VT_ERROR;
        V_ERROR(&value) = DISP_E_PARAMNOTFOUND;
        return value;
    }
    // As Visual Basic passes an optional Variant that was not given on to another call.
    VARIANT MissingByReference() {
        variables_.push_back(Missing());
        VARIANT value;
        V_VT(&value) = VT_VARIANT | VT_BYREF;
        V_VARIANTREF(&value) = &variables_.back();
        return value;
    }
    VARIANT Object(IDispatch* object) {
        VARIANT value;
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = object;  // borrowed: the row holds it
        return value;
    }
    VARIANT ObjectByReference(IDispatch* object) {
        objects_.push_back(object);
        VARIANT value;
        V_VT(&value) = VT_DISPATCH | VT_BYREF;
        V_DISPATCHREF(&value) = &objects_.back();
        return value;
    }

private:
    std::deque<win::Bstr> texts_;
    std::deque<VARIANT> variables_;
    std::deque<IDispatch*> objects_;
};

enum class Target { Plugin, Tool };

struct Outcome {
    HRESULT hr = E_FAIL;
    UINT arg_error = 0;
};

// One call and what it must answer.
struct CallRow {
    const char* what;
    Target target;
    const wchar_t* member;
    WORD flags;
    std::function<std::vector<VARIANT>(Values&)> arguments;
    std::vector<DISPID> named;
    HRESULT hr;
    int arg_error = -1;  // -1: no argument to name
};

class DispatchArgumentsTest : public testing::Test {
protected:
    void SetUp() override {
        plugin_ = CreatePlugIn<IVELTPlugin>();
        ASSERT_TRUE(plugin_);
        info_ = ModuleInfoOf(plugin_.Get());
        tool_ = ToolWindowOf(info_.Get());
    }
    void TearDown() override {
        if (tool_) {
            const HWND window = WindowOf(tool_.Get());
            if (IsWindow(window)) SendMessageW(window, WM_CLOSE, 0, 0);
        }
        tool_.Reset();
        info_.Reset();
        plugin_.Reset();
    }

    IDispatch* TargetOf(Target target) const {
        return target == Target::Tool ? tool_.Get() : static_cast<IDispatch*>(plugin_.Get());
    }

    // Arguments in the caller's order; named: the identifiers of the first ones, which
    // DISPPARAMS then holds first, the others last first. Checks what every call must
    // show: the caller's arguments as they were, the result empty and words for it after
    // a failure.
    Outcome Call(Target target, const wchar_t* member, WORD flags, const std::vector<VARIANT>& arguments,
                 const std::vector<DISPID>& named, LCID lcid = LOCALE_USER_DEFAULT) {
        IDispatch* dispatch = TargetOf(target);
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
        std::vector<VARIANT> rgvarg(arguments.begin(), arguments.begin() + static_cast<std::ptrdiff_t>(named.size()));
        for (std::size_t i = arguments.size(); i-- > named.size();) rgvarg.push_back(arguments[i]);
        std::vector<DISPID> identifiers = named;
        DISPPARAMS params{rgvarg.empty() ? nullptr : rgvarg.data(), identifiers.empty() ? nullptr : identifiers.data(),
                          static_cast<UINT>(rgvarg.size()), static_cast<UINT>(identifiers.size())};
        const std::vector<VARIANT> before = rgvarg;
        VARIANT result;
        std::memset(&result, 0xCC, sizeof result);
        EXCEPINFO excep{};
        Outcome outcome;
        outcome.arg_error = 0xDEADBEEF;
        SetErrorInfo(0, nullptr);
        outcome.hr = dispatch->Invoke(id, IID_NULL, lcid, flags, &params, &result, &excep, &outcome.arg_error);
        EXPECT_EQ(std::memcmp(before.data(), rgvarg.data(), rgvarg.size() * sizeof(VARIANT)), 0)
            << "the caller's arguments were changed";
        if (FAILED(outcome.hr)) {
            EXPECT_EQ(V_VT(&result), VT_EMPTY) << "a failed call left a result";
            ComPtr<IErrorInfo> info;
            EXPECT_EQ(GetErrorInfo(0, &info), S_OK) << "no words for the failure";
        } else {
            VariantClear(&result);
        }
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        return outcome;
    }

    void Check(const CallRow& row) {
        SCOPED_TRACE(row.what);
        Values values;
        const Outcome outcome = Call(row.target, row.member, row.flags, row.arguments(values), row.named);
        EXPECT_EQ(outcome.hr, row.hr);
        if (row.arg_error >= 0) {
            EXPECT_EQ(outcome.arg_error, static_cast<UINT>(row.arg_error));
        }
    }

    ComPtr<IVELTPlugin> plugin_;
    ComPtr<IVELTModuleInfo> info_;
    ComPtr<IDispatch> tool_;
};

// A parameter left out, or given as the missing value (VT_ERROR DISP_E_PARAMNOTFOUND,
// also by reference), answered alike whichever kind of member is called.
TEST_F(DispatchArgumentsTest, MissingArgumentsAreAnsweredAlikeByBothKindsOfMember) {
    constexpr WORD kMethod = DISPATCH_METHOD;
    constexpr WORD kPut = DISPATCH_PROPERTYPUT;
    constexpr DISPID kValue = DISPID_PROPERTYPUT;
    const CallRow rows[] = {
        {"Move, Left missing by reference", Target::Tool, L"Move", kMethod,
         [](Values& v) { return std::vector{v.MissingByReference()}; }, {}, DISP_E_PARAMNOTFOUND, 0},
        {"Move, Left missing by reference and Top given", Target::Tool, L"Move", kMethod,
         [](Values& v) { return std::vector{v.MissingByReference(), v.Long(300)}; }, {}, DISP_E_PARAMNOTFOUND, 1},
        {"Move, Left named and missing by reference", Target::Tool, L"Move", kMethod,
         [](Values& v) { return std::vector{v.MissingByReference()}; }, {0}, DISP_E_PARAMNOTFOUND, 0},
        {"Move, Left missing", Target::Tool, L"Move", kMethod, [](Values& v) { return std::vector{v.Missing()}; },
         {}, DISP_E_PARAMNOTFOUND, 0},
        {"MessageHandle, Arg1 missing by reference", Target::Plugin, L"MessageHandle", kMethod,
         [](Values& v) { return std::vector{v.Long(0), v.MissingByReference(), v.Long(2)}; }, {},
         DISP_E_PARAMNOTFOUND, 1},
        {"MessageHandle, Msg missing", Target::Plugin, L"MessageHandle", kMethod,
         [](Values& v) { return std::vector{v.Missing(), v.Long(1), v.Long(2)}; }, {}, DISP_E_PARAMNOTFOUND, 2},
        {"MessageHandle, Arg2 left out", Target::Plugin, L"MessageHandle", kMethod,
         [](Values& v) { return std::vector{v.Long(0), v.Long(1)}; }, {}, DISP_E_BADPARAMCOUNT, -1},
        {"MessageHandle, Arg2 named and Msg left out", Target::Plugin, L"MessageHandle", kMethod,
         [](Values& v) { return std::vector{v.Long(2)}; }, {2}, DISP_E_PARAMNOTFOUND, -1},
        {"Caption put without a value", Target::Tool, L"Caption", kPut, [](Values&) { return std::vector<VARIANT>{}; },
         {}, DISP_E_BADPARAMCOUNT, -1},
        {"ViewMode put without a value", Target::Tool, L"ViewMode", kPut,
         [](Values&) { return std::vector<VARIANT>{}; }, {}, DISP_E_BADPARAMCOUNT, -1},
        {"Caption put, the value missing", Target::Tool, L"Caption", kPut,
         [](Values& v) { return std::vector{v.Missing()}; }, {kValue}, DISP_E_PARAMNOTFOUND, 0},
        {"ViewMode put, the value missing", Target::Tool, L"ViewMode", kPut,
         [](Values& v) { return std::vector{v.Missing()}; }, {kValue}, DISP_E_PARAMNOTFOUND, 0},
        {"Caption put, the value missing by reference", Target::Tool, L"Caption", kPut,
         [](Values& v) { return std::vector{v.MissingByReference()}; }, {kValue}, DISP_E_PARAMNOTFOUND, 0},
        {"ViewMode put, the value missing by reference", Target::Tool, L"ViewMode", kPut,
         [](Values& v) { return std::vector{v.MissingByReference()}; }, {kValue}, DISP_E_PARAMNOTFOUND, 0},
        {"Caption put, the value named and a parameter it has not", Target::Tool, L"Caption", kPut,
         [](Values& v) { return std::vector{v.Text(L"Regeln"), v.Long(1)}; }, {kValue, 0}, DISP_E_PARAMNOTFOUND, 1},
        {"ViewMode put, the value named and a parameter it has not", Target::Tool, L"ViewMode", kPut,
         [](Values& v) { return std::vector{v.Long(2), v.Long(1)}; }, {kValue, 0}, DISP_E_PARAMNOTFOUND, 1},
        {"ZOrder, the optional Position missing by reference", Target::Tool, L"ZOrder", kMethod,
         [](Values& v) { return std::vector{v.MissingByReference()}; }, {}, S_OK, -1},
    };
    for (const auto& row : rows) Check(row);
}

// The kind of call a member takes, answered alike by both kinds of member: a property
// read may come as a method call (as Visual Basic sends it), and a put by reference is
// only for a property that holds an object, which neither the form's nor the plug-in's
// properties do.
TEST_F(DispatchArgumentsTest, TheKindOfCallIsAnsweredAlikeByBothKindsOfMember) {
    constexpr DISPID kValue = DISPID_PROPERTYPUT;
    const CallRow rows[] = {
        {"Caption read as a method call", Target::Tool, L"Caption", DISPATCH_METHOD,
         [](Values&) { return std::vector<VARIANT>{}; }, {}, S_OK},
        {"PluginName read as a method call", Target::Plugin, L"PluginName", DISPATCH_METHOD,
         [](Values&) { return std::vector<VARIANT>{}; }, {}, S_OK},
        {"Caption put by reference alone", Target::Tool, L"Caption", DISPATCH_PROPERTYPUTREF,
         [](Values& v) { return std::vector{v.Text(L"Regeln")}; }, {kValue}, DISP_E_MEMBERNOTFOUND},
        {"ViewMode put by reference alone", Target::Tool, L"ViewMode", DISPATCH_PROPERTYPUTREF,
         [](Values& v) { return std::vector{v.Long(1)}; }, {kValue}, DISP_E_MEMBERNOTFOUND},
        {"Caption put, also allowed by reference", Target::Tool, L"Caption",
         DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF, [](Values& v) { return std::vector{v.Text(L"Regeln")}; },
         {kValue}, S_OK},
    };
    for (const auto& row : rows) Check(row);
}

// A text that reads as a number under one locale's separators and not under the other's,
// and an object whose default member gives the value: the argument at fault is the one
// whose conversion failed, converted once and in the caller's locale.
TEST_F(DispatchArgumentsTest, TheArgumentAtFaultIsNamedFromItsOneConversionInTheCallersLocale) {
    constexpr WORD kMethod = DISPATCH_METHOD;
    // One million with group separators: German groups with points, English with commas.
    // Read under the other locale's separators each has two decimal separators, which no
    // conversion takes (a misplaced group separator, as in "1,000.5" read in German, is
    // taken by some runtimes and cannot tell the locales apart).
    const wchar_t* const german = L"1.000.000";
    const wchar_t* const english = L"1,000,000";
    const struct {
        const char* what;
        Target target;
        const wchar_t* member;
        LCID lcid;
        std::function<std::vector<VARIANT>(Values&, IDispatch* counter)> arguments;
        const wchar_t* counter_text;  // what the object's default member gives; null: the number 5
        HRESULT hr;
        int arg_error;  // -1: no argument to name
    } rows[] = {
        {"MessageHandle in German, an English Msg", Target::Plugin, L"MessageHandle", kGerman,
         [&](Values& v, IDispatch*) { return std::vector{v.Text(english), v.Text(german), v.Long(0)}; }, nullptr,
         DISP_E_TYPEMISMATCH, 2},
        {"MessageHandle in English, a German Arg1", Target::Plugin, L"MessageHandle", kEnglish,
         [&](Values& v, IDispatch*) { return std::vector{v.Text(english), v.Text(german), v.Long(0)}; }, nullptr,
         DISP_E_TYPEMISMATCH, 1},
        {"MessageHandle in German, German numbers", Target::Plugin, L"MessageHandle", kGerman,
         [&](Values& v, IDispatch*) { return std::vector{v.Text(german), v.Text(german), v.Long(0)}; }, nullptr,
         S_OK, -1},
        {"MessageHandle in English, English numbers", Target::Plugin, L"MessageHandle", kEnglish,
         [&](Values& v, IDispatch*) { return std::vector{v.Text(english), v.Text(english), v.Long(0)}; }, nullptr,
         S_OK, -1},
        {"Move in German, an English Left", Target::Tool, L"Move", kGerman,
         [&](Values& v, IDispatch*) { return std::vector{v.Text(english), v.Text(german)}; }, nullptr,
         DISP_E_TYPEMISMATCH, 1},
        {"Move in English, a German Top", Target::Tool, L"Move", kEnglish,
         [&](Values& v, IDispatch*) { return std::vector{v.Text(english), v.Text(german)}; }, nullptr,
         DISP_E_TYPEMISMATCH, 0},
        {"MessageHandle, an object for Msg and a word for Arg1", Target::Plugin, L"MessageHandle", kGerman,
         [](Values& v, IDispatch* counter) { return std::vector{v.Object(counter), v.Text(L"viel"), v.Long(0)}; },
         nullptr, DISP_E_TYPEMISMATCH, 1},
        {"MessageHandle, an object whose value is a word for Msg", Target::Plugin, L"MessageHandle", kEnglish,
         [](Values& v, IDispatch* counter) { return std::vector{v.Object(counter), v.Long(1), v.Long(2)}; },
         L"viel", DISP_E_TYPEMISMATCH, 2},
        {"MessageHandle, an object by reference for Arg2", Target::Plugin, L"MessageHandle", kGerman,
         [](Values& v, IDispatch* counter) {
             return std::vector{v.Long(0), v.Long(1), v.ObjectByReference(counter)};
         },
         nullptr, S_OK, -1},
        {"Init, an object for the title and a number for the helper", Target::Plugin, L"Init", kEnglish,
         [](Values& v, IDispatch* counter) { return std::vector{v.Object(counter), v.Text(L"Zorvane.dll"), v.Long(5)}; },
         nullptr, DISP_E_TYPEMISMATCH, 0},
        {"Move, an object for Left and a word for Top", Target::Tool, L"Move", kGerman,
         [](Values& v, IDispatch* counter) { return std::vector{v.Object(counter), v.Text(L"viel")}; }, nullptr,
         DISP_E_TYPEMISMATCH, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const ComPtr<DefaultValueCounter> counter = row.counter_text != nullptr
                                                        ? win::Make<DefaultValueCounter>(row.counter_text)
                                                        : win::Make<DefaultValueCounter>(5);
        Values values;
        const std::vector<VARIANT> arguments = row.arguments(values, counter.Get());
        const bool has_object = std::any_of(arguments.begin(), arguments.end(), [](const VARIANT& a) {
            return (V_VT(&a) & ~VT_BYREF) == VT_DISPATCH;
        });
        const Outcome outcome = Call(row.target, row.member, kMethod, arguments, {}, row.lcid);
        EXPECT_EQ(outcome.hr, row.hr);
        if (row.arg_error >= 0) {
            EXPECT_EQ(outcome.arg_error, static_cast<UINT>(row.arg_error));
        }
        if (has_object) {
            EXPECT_EQ(counter->calls(), 1) << "the object's default member called more or less than once";
            EXPECT_EQ(counter->lcid(), row.lcid) << "the object's value read in another locale";
        }
    }
}

}  // namespace
}  // namespace zorvane::test
