#include "plugin/module_info.h"

#include <utility>

#include "contract/host_call.h"
#include "plugin/plugin_identity.h"
#include "ui/win32/rule_editor_tool.h"
#include "win/com_error.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane {
namespace {

inline constexpr wchar_t kModuleGuid[] = L"{b61b4c42-17ed-11da-94c3-00e08161165f}";
inline constexpr wchar_t kModuleDescription[] =
    L"Erlaubt das Setzen von Minimal- und Maximalwerte f\u00fcr Kan\u00e4le.";
inline constexpr wchar_t kModuleAuthor[] = L"Jorvin Ulvmar";
inline constexpr wchar_t kToolWindowName[] = L"frmZorvane";
inline constexpr LONG kModuleType = 2;
inline constexpr LONG kCapabilities[] = {3, 15};

template <class Call>
void CallInfo(IVELTModuleInfo* info, Call&& call) {
    CallHost(info, __uuidof(IVELTModuleInfo), std::forward<Call>(call));
}

void PutText(IVELTModuleInfo* info, HRESULT (STDMETHODCALLTYPE IVELTModuleInfo::*put)(BSTR),
             const wchar_t* text) {
    const win::Bstr value(text);
    CallInfo(info, [&] { return (info->*put)(value.get()); });
}

void PutFlag(IVELTModuleInfo* info,
             HRESULT (STDMETHODCALLTYPE IVELTModuleInfo::*put)(VARIANT_BOOL), bool flag) {
    CallInfo(info, [&] { return (info->*put)(flag ? VARIANT_TRUE : VARIANT_FALSE); });
}

void AddCapability(IVELTCollection* collection, LONG capability) {
    win::Variant item;
    V_VT(item.get()) = VT_I4;
    V_I4(item.get()) = capability;
    // Key, Before and After left out, as an automation caller leaves them out.
    win::Variant missing[3];
    for (win::Variant& argument : missing) {
        V_VT(argument.get()) = VT_ERROR;
        V_ERROR(argument.get()) = DISP_E_PARAMNOTFOUND;
    }
    CallHost(collection, __uuidof(IVELTCollection),
             [&] { return collection->Add(item.get(), missing[0].get(), missing[1].get(), missing[2].get()); });
}

}  // namespace

ComPtr<IVELTModuleInfo> CreateModuleInfo() {
    ComPtr<IVELTModuleInfo> info;
    CallHost(nullptr, __uuidof(IVELTModuleInfo), [&] {
        return CoCreateInstance(CLSID_VELTModuleInfo, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                IID_PPV_ARGS(&info));
    });
    IVELTModuleInfo* const target = info.Get();

    PutText(target, &IVELTModuleInfo::put_ModuleGUID, kModuleGuid);
    PutText(target, &IVELTModuleInfo::put_ModuleName, kComponentName);
    PutText(target, &IVELTModuleInfo::put_ModuleDescription, kModuleDescription);
    PutText(target, &IVELTModuleInfo::put_ModuleAuthor, kModuleAuthor);
    PutFlag(target, &IVELTModuleInfo::put_Enabled, true);
    PutFlag(target, &IVELTModuleInfo::put_Configurable, true);
    CallInfo(target, [&] { return target->put_ModuleType(kModuleType); });
    PutText(target, &IVELTModuleInfo::put_ToolWindowName, kToolWindowName);
    const ComPtr<IDispatch> window = ui::RuleEditorInstance();
    CallInfo(target, [&] { return target->putref_ToolWindow(window.Get()); });
    PutFlag(target, &IVELTModuleInfo::put_ToolWindowDocked, false);
    PutFlag(target, &IVELTModuleInfo::put_ToolWindowModal, false);
    PutFlag(target, &IVELTModuleInfo::put_ShowInToolsMenu, true);
    PutFlag(target, &IVELTModuleInfo::put_ShowInPluginList, true);

    ComPtr<IVELTCollection> capabilities;
    CallInfo(target, [&] { return target->get_Capabilities(&capabilities); });
    if (!capabilities) throw win::ComError(kObjectRequired, L"Objekt erforderlich");
    for (const LONG capability : kCapabilities) AddCapability(capabilities.Get(), capability);
    return info;
}

}  // namespace zorvane
