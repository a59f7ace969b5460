#pragma once
// IDispatch for one dual interface, answered from that interface's type information.
// An object with several dual interfaces derives from one of these per interface, so
// that each vtable dispatches against its own interface.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <new>
#include <vector>

#include "common/component_title.h"
#include "win/automation_call.h"
#include "win/com_error.h"

namespace zorvane::win {

// Source is a type with `static HRESULT Get(ITypeInfo** info) noexcept` that yields
// the type information of Interface.
template <class Interface, class Source>
class TypeInfoDispatch : public Interface {
public:
    using InterfaceType = Interface;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
        if (info == nullptr) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return Source::Get(info);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        // The type information writes through both arrays without looking.
        if (names == nullptr || ids == nullptr) return E_POINTER;
        if (count == 0) return E_INVALIDARG;
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT hr = Source::Get(&info);
        if (FAILED(hr)) return hr;
        for (UINT i = 0; i < count; ++i) {
            if (names[i] == nullptr) return NamesWithoutNull(info.Get(), names, count, ids);
        }
        return DispGetIDsOfNames(info.Get(), names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_error) noexcept override {
        // Ours to set, whatever the caller left in it: ITypeInfo::Invoke leaves it as it
        // found it when it refuses the call.
        if (result != nullptr) VariantInit(result);
        if (iid != IID_NULL) return Refused(DISP_E_UNKNOWNINTERFACE);
        // ITypeInfo::Invoke reads DISPPARAMS as it says, even where it points nowhere.
        if (!IsWellFormed(params)) return Refused(E_INVALIDARG);
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        HRESULT hr = Source::Get(&info);
        if (FAILED(hr)) return hr;
        // The methods report failures through error info; ITypeInfo::Invoke turns that
        // into DISP_E_EXCEPTION with the EXCEPINFO filled for a late-binding caller.
        SetErrorInfo(0, nullptr);
        hr = InvokeThroughTypeInfo(info.Get(), static_cast<Interface*>(this), id, flags, params, lcid, result,
                                   excep, arg_error);
        if (FAILED(hr)) {
            // A failed call hands out nothing: ITypeInfo::Invoke may have copied the
            // member's empty answer.
            if (result != nullptr) VariantClear(result);
            Explain(hr, excep);
        }
        return hr;
    }

protected:
    // A call refused before it reaches a member, with error information as every failure of ours.
    static HRESULT Refused(HRESULT hr) noexcept {
        try {
            return SetErrorInfoFor(__uuidof(Interface), hr, kComponentTitle, ErrorText(hr));
        } catch (...) {
            return hr;  // no words without memory; the code still goes back
        }
    }

private:
    // A null name is no name: the type information would match it to an unnamed parameter.
    static HRESULT NamesWithoutNull(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
        try {
            wchar_t nothing[] = L"";
            std::vector<LPOLESTR> named(names, names + count);
            for (LPOLESTR& name : named) {
                if (name == nullptr) name = nothing;
            }
            const HRESULT hr = DispGetIDsOfNames(info, named.data(), count, ids);
            return FAILED(hr) ? hr : DISP_E_UNKNOWNNAME;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    // Every failure leaves error information, as our own members' failures do: the
    // member's words when the EXCEPINFO took them, else the words for the code.
    static void Explain(HRESULT hr, const EXCEPINFO* excep) noexcept {
        Microsoft::WRL::ComPtr<IErrorInfo> left;
        if (GetErrorInfo(0, &left) == S_OK && left) {
            SetErrorInfo(0, left.Get());
            return;
        }
        if (hr == DISP_E_EXCEPTION && excep != nullptr && excep->bstrDescription != nullptr) {
            try {
                SetErrorInfoFor(__uuidof(Interface), excep->scode != 0 ? excep->scode : hr,
                                excep->bstrSource != nullptr ? excep->bstrSource : kComponentTitle,
                                excep->bstrDescription);
                return;
            } catch (...) {
            }
        }
        Refused(hr);
    }
};

}  // namespace zorvane::win
