#include "win/handles.h"

#include <new>

namespace zorvane::win {

Bstr::Bstr(std::wstring_view text)
    : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
    if (value_ == nullptr) throw std::bad_alloc();
}

HRESULT CopyDereferenced(const VARIANT& from, VARIANT& to) noexcept {
    const VARIANT* value = &from;
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) {
        value = V_VARIANTREF(value);
        if (value == nullptr || V_VT(value) == (VT_VARIANT | VT_BYREF)) return DISP_E_TYPEMISMATCH;
    }
    if ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr) return DISP_E_TYPEMISMATCH;
    VariantClear(&to);
    return VariantCopyInd(&to, const_cast<VARIANT*>(value));
}

}  // namespace zorvane::win
