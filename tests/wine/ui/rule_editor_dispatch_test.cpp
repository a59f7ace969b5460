// The rule editor object as the host sees it: IDispatch with IVELTTool's members by
// identifier and by name, and the window's own members by name.
#include <set>

#include "ui_fixture.h"
#include "win/handles.h"

namespace zorvane::ui::test {
namespace {

struct Invocation {
    HRESULT hr;
    win::Variant result;
};

class RuleEditorDispatchTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        dispatch_ = RuleEditorInstance();
    }
    void TearDown() override {
        dispatch_.Reset();
        UiTest::TearDown();
    }

    DISPID IdOf(const wchar_t* name) {
        DISPID id = 12345;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        last_hr_ = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        return id;
    }
    Invocation Call(DISPID id, WORD flags, VARIANT* args = nullptr, UINT count = 0) {
        DISPPARAMS params{args, nullptr, count, 0};
        DISPID put = DISPID_PROPERTYPUT;
        if (flags & DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &put;
            params.cNamedArgs = 1;
        }
        Invocation invocation;
        EXCEPINFO excep{};
        UINT arg_error = 0;
        invocation.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                          invocation.result.get(), &excep, &arg_error);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
        return invocation;
    }
    // The identifier a member's name answers; S_OK checked.
    DISPID KnownId(const wchar_t* name) {
        const DISPID id = IdOf(name);
        EXPECT_EQ(last_hr_, S_OK) << "name " << name;
        return id;
    }
    Invocation CallNamed(const wchar_t* name, WORD flags, VARIANT* args = nullptr, UINT count = 0) {
        return Call(KnownId(name), flags, args, count);
    }

    ComPtr<IDispatch> dispatch_;
    HRESULT last_hr_ = E_FAIL;
};

TEST_F(RuleEditorDispatchTest, NamesAnswerInAnyCaseWithDistinctIds) {
    // IVELTTool's members answer with the identifiers of the host's type library.
    const struct {
        const wchar_t* name;
        DISPID id;
    } tool[] = {
        {L"ClearProjectData", 0x60030001}, {L"loadprojectdata", 0x60030002},     {L"SAVEPROJECTDATA", 0x60030003},
        {L"AskToSaveProjectData", 0x60030004}, {L"ViewMode", 0x68030000},
    };
    std::set<DISPID> ids;
    for (const auto& entry : tool) {
        SCOPED_TRACE(testing::Message() << entry.name);
        EXPECT_EQ(IdOf(entry.name), entry.id);
        EXPECT_EQ(last_hr_, S_OK);
        ids.insert(entry.id);
    }
    // The window's own members, in any case, each with an identifier of its own.
    const struct {
        const wchar_t* name;
        const wchar_t* other_case;
    } own[] = {
        {L"Show", L"show"}, {L"Hide", L"HIDE"}, {L"hWnd", L"HWND"}, {L"Visible", L"visible"},
        {L"PluginConfigurationData", L"pluginconfigurationdata"},
    };
    for (const auto& entry : own) {
        SCOPED_TRACE(testing::Message() << entry.name);
        const DISPID id = KnownId(entry.name);
        EXPECT_EQ(KnownId(entry.other_case), id);
        EXPECT_TRUE(ids.insert(id).second) << "an identifier another member has";
    }
    EXPECT_EQ(IdOf(L"Unload"), DISPID_UNKNOWN);
    EXPECT_EQ(last_hr_, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(Call(0x60049999, DISPATCH_METHOD).hr, DISP_E_MEMBERNOTFOUND);
}

TEST_F(RuleEditorDispatchTest, ProjectDataMembersDoNothingAndNeedNoSaving) {
    for (DISPID id : {0x60030001, 0x60030002, 0x60030003}) {
        const Invocation call = Call(id, DISPATCH_METHOD);
        EXPECT_EQ(call.hr, S_OK) << std::hex << id;
        EXPECT_EQ(call.result.type(), VT_EMPTY);
    }
    for (bool by_name : {false, true}) {
        const Invocation ask = by_name ? CallNamed(L"asktosaveprojectdata", DISPATCH_METHOD)
                                       : Call(0x60030004, DISPATCH_METHOD);
        EXPECT_EQ(ask.hr, S_OK);
        ASSERT_EQ(ask.result.type(), VT_BOOL);
        EXPECT_EQ(V_BOOL(ask.result.get()), VARIANT_FALSE);
    }
    VARIANT mode;
    V_VT(&mode) = VT_I4;
    V_I4(&mode) = 2;
    EXPECT_EQ(Call(0x68030000, DISPATCH_PROPERTYPUT, &mode, 1).hr, S_OK);
    EXPECT_EQ(CallNamed(L"ViewMode", DISPATCH_PROPERTYPUT, &mode, 1).hr, S_OK);
    EXPECT_FALSE(EditorLoaded());
}

TEST_F(RuleEditorDispatchTest, ShowHideVisibleAndHwndDriveTheWindow) {
    Invocation visible = CallNamed(L"Visible", DISPATCH_PROPERTYGET);
    ASSERT_EQ(visible.hr, S_OK);
    EXPECT_EQ(V_BOOL(visible.result.get()), VARIANT_FALSE);
    EXPECT_FALSE(EditorLoaded());

    const Invocation handle = CallNamed(L"hWnd", DISPATCH_PROPERTYGET);
    ASSERT_EQ(handle.hr, S_OK);
    ASSERT_EQ(handle.result.type(), VT_I4);
    const std::vector<HWND> loaded = ThreadWindows(kEditorCaption);
    ASSERT_EQ(loaded.size(), 1u) << "hWnd loads the window";
    const HWND window = loaded[0];
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.result.get()))), window);
    EXPECT_FALSE(IsWindowVisible(window));

    EXPECT_EQ(CallNamed(L"Show", DISPATCH_METHOD).hr, S_OK);
    Pump(20);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetActiveWindow(), window);
    const DISPID visible_id = KnownId(L"Visible");
    visible = Call(visible_id, DISPATCH_PROPERTYGET | DISPATCH_METHOD);
    EXPECT_EQ(V_BOOL(visible.result.get()), VARIANT_TRUE);

    EXPECT_EQ(CallNamed(L"Hide", DISPATCH_METHOD).hr, S_OK);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindow(window));

    VARIANT value;
    V_VT(&value) = VT_BOOL;
    V_BOOL(&value) = VARIANT_TRUE;
    EXPECT_EQ(Call(visible_id, DISPATCH_PROPERTYPUT, &value, 1).hr, S_OK);
    EXPECT_TRUE(IsWindowVisible(window));
    V_VT(&value) = VT_I4;
    V_I4(&value) = 0;
    EXPECT_EQ(Call(visible_id, DISPATCH_PROPERTYPUT, &value, 1).hr, S_OK);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(RuleEditorDispatchTest, WrongUseOfTheOwnMembersIsRefused) {
    VARIANT argument;
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = 1;
    EXPECT_EQ(Call(KnownId(L"Show"), DISPATCH_METHOD, &argument, 1).hr, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(KnownId(L"hWnd"), DISPATCH_PROPERTYPUT, &argument, 1).hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(KnownId(L"Hide"), DISPATCH_PROPERTYGET).hr, DISP_E_MEMBERNOTFOUND);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = nullptr;
    win::Bstr text(L"vielleicht");
    V_BSTR(&argument) = text.get();
    EXPECT_EQ(Call(KnownId(L"Visible"), DISPATCH_PROPERTYPUT, &argument, 1).hr, DISP_E_TYPEMISMATCH);
    EXPECT_FALSE(EditorLoaded());
}

TEST_F(RuleEditorDispatchTest, PluginConfigurationDataRunsTheIntervalBox) {
    boxes_.Then(TypeAndClick(L"42", IDOK));
    EXPECT_EQ(CallNamed(L"PluginConfigurationData", DISPATCH_METHOD).hr, S_OK);
    ASSERT_EQ(boxes_.boxes().size(), 1u);
    EXPECT_EQ(boxes_.boxes()[0].title, L"Plugin: Zorvane Einstellungen");
    AddRule(L"42", L"0", L"255");
    EXPECT_TRUE(TicksEvery(42, 42));
}

}  // namespace
}  // namespace zorvane::ui::test
