// A host process that already has the shared libgcc loaded, as one with a plug-in built
// by MinGW does: a failure inside Zorvane must still come back to the host as an error,
// not end the host's process. (On 32 bits the C runtime then registers Zorvane's unwind
// tables with that DLL, not with the unwinder Zorvane throws with; on 64 bits the system
// unwinds, and the DLL must not get in its way.)
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "tests/support/hosted_plugin.h"
#include "win/handles.h"

namespace zorvane::test {
namespace {

TEST(SharedUnwinderTest, AFailureInsideZorvaneComesBackAsAnError) {
    ASSERT_EQ(LoadedModule(), nullptr) << "Zorvane.dll must load after the shared libgcc";
    const win::UniqueModule libgcc(LoadLibraryW(ZORVANE_SHARED_LIBGCC));
    ASSERT_TRUE(libgcc) << "the shared libgcc beside the test";

    const ComPtr<IVELTPlugin> plugin = CreatePlugInByProgId();
    const ComPtr<IDispatch> tool = ToolWindowOf(ModuleInfoOf(plugin.Get()).Get());
    // SetFocus on a hidden window: refused by an exception inside the rule editor.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SetFocus")};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(tool->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO excep{};
    EXPECT_EQ(tool->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, &excep, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, static_cast<HRESULT>(0x800A0005));
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);

    // A bad Init helper fails inside too; and the plug-in goes on answering.
    VARIANT_BOOL answer = VARIANT_FALSE;
    EXPECT_EQ(plugin->Enable(&answer), S_OK);
    EXPECT_EQ(answer, VARIANT_TRUE);
    InvokeByName(tool.Get(), L"Hide", DISPATCH_METHOD);
}

}  // namespace
}  // namespace zorvane::test
