#pragma once
// IDispatch for one dual interface, answered from that interface's type information.
// An object with several dual interfaces derives from one of these per interface, so
// that each vtable dispatches against its own interface.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

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
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        const HRESULT hr = Source::Get(&info);
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(info.Get(), names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_error) noexcept override {
        Microsoft::WRL::ComPtr<ITypeInfo> info;
        HRESULT hr = Source::Get(&info);
        if (FAILED(hr)) return hr;
        // The methods report failures through error info; ITypeInfo::Invoke turns that
        // into DISP_E_EXCEPTION with the EXCEPINFO filled for a late-binding caller.
        SetErrorInfo(0, nullptr);
        hr = info->Invoke(static_cast<Interface*>(this), id, flags, params, result, excep,
                          arg_error);
        return hr;
    }
};

}  // namespace zorvane::win
