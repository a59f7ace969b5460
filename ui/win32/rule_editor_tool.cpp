#include "ui/win32/rule_editor_tool.h"

#include <new>

#include "common/component_title.h"
#include "contract/type_libraries.h"
#include "ui/win32/form_members.h"
#include "ui/win32/plugin_configuration.h"
#include "ui/win32/rule_editor_form.h"
#include "win/com_error.h"
#include "win/com_object.h"
#include "win/module_count.h"
#include "win/type_info_dispatch.h"

namespace zorvane::ui {
namespace {

constexpr DISPID kDispPluginConfigurationData = 0x60050001;

void CallPluginConfigurationData(Form&, win::Call&) {
    RunPluginConfigurationData();
}

// The rule editor's own member, looked up before the members every form has.
constexpr FormMember kOwnMembers[] = {
    {L"PluginConfigurationData", kDispPluginConfigurationData, {win::kMethod, 0, {}},
     &CallPluginConfigurationData, nullptr},
};

const FormMember* FindAnyMember(const wchar_t* name) noexcept {
    const FormMember* member = FindMember(kOwnMembers, name);
    return member != nullptr ? member : FindMember(StandardFormMembers(), name);
}

const FormMember* FindAnyMember(DISPID id) noexcept {
    const FormMember* member = FindMember(kOwnMembers, id);
    return member != nullptr ? member : FindMember(StandardFormMembers(), id);
}

class RuleEditorTool final
    : public win::ComObject<RuleEditorTool, win::TypeInfoDispatch<IVELTTool, HostTypeInfoOf<IVELTTool>>,
                            ISupportErrorInfo> {
public:
    ~RuleEditorTool() override;

    // IDispatch: IVELTTool's names from the host's type information, the form's members
    // and PluginConfigurationData from our own tables.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) noexcept override {
        if (names == nullptr || ids == nullptr) return E_POINTER;
        if (count == 0) return E_INVALIDARG;
        if (const FormMember* member = FindAnyMember(names[0])) {
            ids[0] = member->id;
            return win::ParameterIds(member->shape, names, count, ids);
        }
        return TypeInfoDispatch::GetIDsOfNames(iid, names, count, lcid, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept override {
        // Ours to set on every path, whatever the caller left in it.
        if (result != nullptr) VariantInit(result);
        // A member may show a box or run a modal loop: the host may let go of us meanwhile.
        const Microsoft::WRL::ComPtr<RuleEditorTool> keep(this);
        const win::ModuleHold hold;
        const FormMember* member = FindAnyMember(id);
        if (member == nullptr) {
            return TypeInfoDispatch::Invoke(id, iid, lcid, flags, params, result, excep, arg_error);
        }
        if (iid != IID_NULL) return Refused(DISP_E_UNKNOWNINTERFACE);
        RuleEditorForm* form = nullptr;
        const HRESULT made = win::ComBoundary(__uuidof(IVELTTool), kComponentTitle, [&] {
            form = &RuleEditorForm::Instance();
            return S_OK;
        });
        if (FAILED(made)) return made;
        return InvokeFormMember(*member, *form, flags, params, result, excep, arg_error, lcid,
                                __uuidof(IVELTTool));
    }

    // IVELTTool: the rules are not part of the host's project.
    HRESULT STDMETHODCALLTYPE ClearProjectData() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LoadProjectData() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SaveProjectData() noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AskToSaveProjectData(VARIANT_BOOL* result) noexcept override {
        if (result == nullptr) {
            // Refused with error information, as every failure of ours is.
            return win::ComBoundary(__uuidof(IVELTTool), kComponentTitle,
                                    []() -> HRESULT { win::ThrowHr(E_POINTER); });
        }
        *result = VARIANT_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE put_ViewMode(LONG) noexcept override { return S_OK; }

    // ISupportErrorInfo: every failure of ours carries error information.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(IVELTTool) || iid == __uuidof(IDispatch) ? S_OK : S_FALSE;
    }
};

// Not a reference: the object goes when its last holder lets go, and says so here.
RuleEditorTool* g_tool = nullptr;

RuleEditorTool::~RuleEditorTool() {
    if (g_tool == this) g_tool = nullptr;
}

}  // namespace

Microsoft::WRL::ComPtr<IDispatch> RuleEditorInstance() {
    RuleEditorForm::Instance();
    Microsoft::WRL::ComPtr<RuleEditorTool> tool(g_tool);
    if (!tool) {
        tool = win::Make<RuleEditorTool>();
        g_tool = tool.Get();
    }
    return Microsoft::WRL::ComPtr<IDispatch>(static_cast<IVELTTool*>(tool.Get()));
}

}  // namespace zorvane::ui
