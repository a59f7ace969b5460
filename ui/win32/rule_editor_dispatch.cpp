// The rule editor's IDispatch: IVELTTool's members from the host's type information,
// and the window's own members (Show, Hide, hWnd, Visible, PluginConfigurationData)
// from the table below.
#include <cwchar>
#include <new>

#include "common/host_error.h"
#include "ui/win32/rule_editor_form.h"
#include "win/handles.h"

namespace zorvane::ui {
namespace {

struct OwnMember {
    const wchar_t* name;
    DISPID id;
};

constexpr OwnMember kOwnMembers[] = {
    {L"Show", kDispShow},
    {L"Hide", kDispHide},
    {L"hWnd", kDispHwnd},
    {L"Visible", kDispVisible},
    {L"PluginConfigurationData", kDispPluginConfigurationData},
};

const OwnMember* FindOwnMember(const wchar_t* name) noexcept {
    if (name == nullptr) return nullptr;
    for (const OwnMember& member : kOwnMembers) {
        if (CompareStringOrdinal(member.name, -1, name, -1, TRUE) == CSTR_EQUAL) return &member;
    }
    return nullptr;
}

bool IsOwnMember(DISPID id) noexcept {
    for (const OwnMember& member : kOwnMembers) {
        if (member.id == id) return true;
    }
    return false;
}

void FillException(EXCEPINFO* excep, HRESULT hr, const std::wstring& description) noexcept {
    if (excep == nullptr) return;
    *excep = EXCEPINFO{};
    excep->scode = hr;
    excep->bstrSource = SysAllocString(L"Zorvane");
    excep->bstrDescription = SysAllocString(description.c_str());
}

}  // namespace

HRESULT RuleEditorForm::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                      DISPID* ids) noexcept {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    if (const OwnMember* member = FindOwnMember(names[0])) {
        ids[0] = member->id;
        // None of the form's own members has named parameters.
        for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    return TypeInfoDispatch::GetIDsOfNames(iid, names, count, lcid, ids);
}

HRESULT RuleEditorForm::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
    if (!IsOwnMember(id)) {
        return TypeInfoDispatch::Invoke(id, iid, lcid, flags, params, result, excep, arg_error);
    }
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (params == nullptr) return E_INVALIDARG;
    if (result != nullptr) VariantInit(result);
    try {
        return InvokeOwnMember(id, flags, params, result, arg_error);
    } catch (const HostError& e) {
        HRESULT hr = static_cast<HRESULT>(e.code());
        if (SUCCEEDED(hr)) hr = E_FAIL;
        if (excep == nullptr) return hr;
        FillException(excep, hr, e.description());
        return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT RuleEditorForm::InvokeOwnMember(DISPID id, WORD flags, DISPPARAMS* params,
                                        VARIANT* result, UINT* arg_error) {
    const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    const bool get = (flags & DISPATCH_PROPERTYGET) != 0;
    const bool call = (flags & DISPATCH_METHOD) != 0;

    if (id == kDispVisible && put) {
        if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_PARAMNOTFOUND;
        }
        win::Variant value;
        if (FAILED(VariantChangeType(value.get(), &params->rgvarg[0], 0, VT_BOOL))) {
            if (arg_error != nullptr) *arg_error = 0;
            return DISP_E_TYPEMISMATCH;
        }
        SetVisible(V_BOOL(value.get()) != VARIANT_FALSE);
        return S_OK;
    }
    if (put) return DISP_E_MEMBERNOTFOUND;
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;

    switch (id) {
    case kDispShow:
    case kDispHide:
    case kDispPluginConfigurationData:
        if (!call) return DISP_E_MEMBERNOTFOUND;
        if (id == kDispShow) {
            Show();
        } else if (id == kDispHide) {
            Hide();
        } else {
            RunIntervalDialog();
        }
        return S_OK;
    case kDispHwnd:
        if (!get && !call) return DISP_E_MEMBERNOTFOUND;
        {
            HWND window = Handle();
            if (result != nullptr) {
                V_VT(result) = VT_I4;
                V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window));
            }
        }
        return S_OK;
    case kDispVisible:
        if (!get && !call) return DISP_E_MEMBERNOTFOUND;
        if (result != nullptr) {
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = Visible() ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace zorvane::ui
