// ModuleInfo against a recording module-information class: the calls in order, the
// window handed over, and a failure at every step.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/wine/component/component_support.h"
#include "tests/wine/component/host_doubles.h"

namespace zorvane::test {
namespace {

class ModuleInfoTest : public testing::Test {
protected:
    // Every test starts from a component with no window instance and no helper.
    void SetUp() override { ASSERT_EQ(dll_.CanUnloadNow(), S_OK) << "an earlier test left something alive"; }

    ZorvaneDll dll_;
    ModuleInfoRecord record_;
    RecordingModuleInfoClass recording_class_{record_};
};

// Also before any Init: no helper is needed.
TEST_F(ModuleInfoTest, FillsTheObjectInOrderAndHandsItOver) {
    const ComPtr<IVELTModule> module = CreatePlugIn<IVELTModule>();
    ASSERT_TRUE(module);
    ComPtr<IVELTModuleInfo> info;
    ASSERT_EQ(module->get_ModuleInfo(&info), S_OK);
    ASSERT_TRUE(info);
    EXPECT_EQ(record_.calls, ExpectedModuleInfoCalls());
    EXPECT_EQ(CountOf(info.Get()), 1u) << "the caller holds the one reference";
    info.Reset();
    EXPECT_EQ(record_.live_objects, 0);
}

TEST_F(ModuleInfoTest, TwoReadsGiveTwoObjectsWithOneWindow) {
    const ComPtr<IVELTModule> module = CreatePlugIn<IVELTModule>();
    ASSERT_TRUE(module);
    ComPtr<IVELTModuleInfo> first;
    ComPtr<IVELTModuleInfo> second;
    ASSERT_EQ(module->get_ModuleInfo(&first), S_OK);
    ASSERT_EQ(module->get_ModuleInfo(&second), S_OK);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(record_.live_objects, 2);
    ASSERT_EQ(record_.tool_windows.size(), 2u);
    ASSERT_TRUE(record_.tool_windows[0]);
    EXPECT_EQ(record_.tool_windows[0].Get(), record_.tool_windows[1].Get());

    // The window is handed over, not shown.
    win::Variant visible;
    EXCEPINFO exception{};
    ASSERT_EQ(InvokeByName(record_.tool_windows[0].Get(), L"Visible", DISPATCH_PROPERTYGET, {},
                           visible.get(), &exception),
              S_OK);
    ASSERT_EQ(VariantChangeType(visible.get(), visible.get(), 0, VT_BOOL), S_OK);
    EXPECT_EQ(V_BOOL(visible.get()), VARIANT_FALSE);
}

// Configure makes the window instance when there is none; ModuleInfo then hands over
// that instance instead of making another. An accepted interval loads the instance's
// window, so its handle tells the instance apart.
TEST_F(ModuleInfoTest, ConfigureBeforeModuleInfoMakesTheWindowItHandsOver) {
    const ComPtr<IVELTPlugin> plugin = CreatePlugIn<IVELTPlugin>();
    ASSERT_TRUE(plugin);
    std::vector<HWND> made_by_configure;
    {
        BoxAnswerer answerer(L"250");
        VARIANT_BOOL result = VARIANT_FALSE;
        EXPECT_EQ(plugin->Configure(&result), S_OK);
        EXPECT_EQ(result, VARIANT_TRUE);
        PumpMessages();
        EXPECT_EQ(answerer.captions(), std::vector<std::wstring>{L"Plugin: Zorvane Einstellungen"})
            << "the poll-interval box, and no message after it";
        made_by_configure = answerer.created_windows();
    }
    ComPtr<IVELTModule> module;
    ASSERT_EQ(plugin.As(&module), S_OK);
    ComPtr<IVELTModuleInfo> info;
    ASSERT_EQ(module->get_ModuleInfo(&info), S_OK);
    ASSERT_EQ(record_.tool_windows.size(), 1u);
    ASSERT_TRUE(record_.tool_windows[0]);

    win::Variant handle;
    EXCEPINFO exception{};
    ASSERT_EQ(InvokeByName(record_.tool_windows[0].Get(), L"hWnd", DISPATCH_PROPERTYGET, {}, handle.get(),
                           &exception),
              S_OK);
    ASSERT_EQ(VariantChangeType(handle.get(), handle.get(), 0, VT_I4), S_OK);
    const HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.get())));
    EXPECT_NE(std::find(made_by_configure.begin(), made_by_configure.end(), window), made_by_configure.end())
        << "the window handed over is not the one Configure loaded";
    EXPECT_FALSE(IsWindowVisible(window));

    // Closing unloads it, so that the module may go again.
    SendMessageW(window, WM_CLOSE, 0, 0);
    PumpMessages();
}

// A failure at any step ends the read there: the partly filled object is gone, the
// caller gets the code, its error information and no object.
TEST_F(ModuleInfoTest, AFailureAtAnyStepEndsTheRead) {
    const ComPtr<IVELTModule> module = CreatePlugIn<IVELTModule>();
    ASSERT_TRUE(module);
    const std::vector<std::wstring> expected = ExpectedModuleInfoCalls();
    const HRESULT code = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    for (size_t step = 0; step < expected.size(); ++step) {
        SCOPED_TRACE(testing::Message() << "failing call: " << expected[step].c_str());
        record_ = ModuleInfoRecord{};
        record_.failure = InjectedFailure{step, code, L"VELTHost", L"Schritt fehlgeschlagen"};

        IVELTModuleInfo* info = reinterpret_cast<IVELTModuleInfo*>(static_cast<uintptr_t>(0xDEADBEEF));
        EXPECT_EQ(module->get_ModuleInfo(&info), code);
        EXPECT_EQ(info, nullptr);
        EXPECT_EQ(std::vector<std::wstring>(expected.begin(), expected.begin() + step + 1), record_.calls)
            << "nothing after the failing call";
        EXPECT_EQ(record_.live_objects, 0) << "the partly filled object is released";

        ComPtr<IErrorInfo> error;
        ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
        win::Bstr source;
        win::Bstr description;
        error->GetSource(source.put());
        error->GetDescription(description.put());
        if (step == 0) {
            // Creation failed: there is no object to vouch for any error information.
            EXPECT_EQ(source.view(), L"Zorvane");
        } else {
            EXPECT_EQ(source.view(), L"VELTHost");
            EXPECT_EQ(description.view(), L"Schritt fehlgeschlagen");
        }
    }
}

// What a late-binding host sees of a failure: DISP_E_EXCEPTION with the words filled
// in, the host's own when it left some, otherwise the component's.
TEST_F(ModuleInfoTest, ALateBindingCallerSeesTheFailureInExcepInfo) {
    const ComPtr<IVELTModule> module = CreatePlugIn<IVELTModule>();
    ASSERT_TRUE(module);
    struct Case {
        const char* what;
        InjectedFailure failure;
        const wchar_t* source;
    };
    const Case cases[] = {
        {"with the host's words", {3, E_ACCESSDENIED, L"VELTHost", L"Zugriff verweigert"}, L"VELTHost"},
        {"without words", {0, REGDB_E_CLASSNOTREG, L"", L""}, L"Zorvane"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        record_ = ModuleInfoRecord{};
        record_.failure = c.failure;
        win::Variant result;
        EXCEPINFO exception{};
        EXPECT_EQ(InvokeByName(module.Get(), L"ModuleInfo", DISPATCH_PROPERTYGET, {}, result.get(), &exception),
                  DISP_E_EXCEPTION);
        EXPECT_EQ(exception.scode, c.failure.code);
        ASSERT_NE(exception.bstrSource, nullptr);
        EXPECT_STREQ(exception.bstrSource, c.source);
        if (!c.failure.description.empty()) {
            EXPECT_EQ(std::wstring(exception.bstrDescription), c.failure.description);
        }
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        EXPECT_EQ(record_.live_objects, 0);
    }
}

}  // namespace
}  // namespace zorvane::test
