#pragma once
// An IDispatch without type information, as many a host's own objects are: names and
// calls are all there is. Derived answers GetIDsOfNames and Invoke.
#include <windows.h>
#include <oaidl.h>

#include "win/com_object.h"

namespace zorvane::win {

template <class Derived>
class PlainDispatch : public ComObject<Derived, IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info != nullptr) *info = nullptr;
        return DISP_E_BADINDEX;
    }
};

}  // namespace zorvane::win
