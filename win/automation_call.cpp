#include "win/automation_call.h"

#include <new>

#include "common/host_error.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::win {
namespace {

MemberKind KindOf(const MemberShape& shape, WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (shape.kinds & kPropertyPut) return kPropertyPut;
    } else if ((flags & DISPATCH_METHOD) && (shape.kinds & kMethod)) {
        return kMethod;
    } else if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) && (shape.kinds & kPropertyGet)) {
        // A property read may come as a method call, as Visual Basic sends it.
        return kPropertyGet;
    }
    throw DispatchFault{DISP_E_MEMBERNOTFOUND};
}

bool IsMissing(const VARIANT& value) noexcept {
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

std::size_t MemberShape::ParameterCount() const noexcept {
    std::size_t count = 0;
    while (count < parameters.size() && parameters[count] != nullptr) ++count;
    return count;
}

Call::Call(const MemberShape& shape, WORD flags, const DISPPARAMS* params, LCID lcid, VARIANT* result)
    : params_(params), lcid_(lcid), result_(result) {
    if (result_ != nullptr) VariantInit(result_);
    if (params == nullptr) throw DispatchFault{E_INVALIDARG};
    const UINT count = params->cArgs;
    const UINT named = params->cNamedArgs;
    if ((count > 0 && params->rgvarg == nullptr) || named > count ||
        (named > 0 && params->rgdispidNamedArgs == nullptr)) {
        throw DispatchFault{E_INVALIDARG};
    }
    kind_ = KindOf(shape, flags);
    const std::size_t parameters = shape.ParameterCount();

    for (UINT k = 0; k < named; ++k) {
        const DISPID id = params->rgdispidNamedArgs[k];
        int* slot = nullptr;
        if (id == DISPID_PROPERTYPUT && kind_ == kPropertyPut) {
            slot = &slots_[kPutValue];
        } else if (id >= 0 && static_cast<std::size_t>(id) < parameters) {
            slot = &slots_[static_cast<std::size_t>(id)];
        }
        if (slot == nullptr || *slot >= 0) throw DispatchFault{DISP_E_PARAMNOTFOUND, static_cast<int>(k)};
        *slot = static_cast<int>(k);
    }
    UINT positional = count - named;
    if (kind_ == kPropertyPut && slots_[kPutValue] < 0) {
        // Some callers pass the new value without naming it: then it is the last argument.
        if (positional == 0) throw DispatchFault{DISP_E_PARAMNOTFOUND};
        slots_[kPutValue] = static_cast<int>(named);
        --positional;
    }
    if (positional > parameters) throw DispatchFault{DISP_E_BADPARAMCOUNT};
    for (UINT p = 0; p < positional; ++p) {
        // rgvarg holds the arguments last first.
        const int index = static_cast<int>(count - 1 - p);
        if (slots_[p] >= 0) throw DispatchFault{DISP_E_PARAMNOTFOUND, slots_[p]};
        slots_[p] = index;
    }
    for (std::size_t p = 0; p < shape.required; ++p) {
        if (slots_[p] < 0) {
            throw DispatchFault{named == 0 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTFOUND};
        }
        if (IsMissing(params->rgvarg[slots_[p]])) throw DispatchFault{DISP_E_PARAMNOTFOUND, slots_[p]};
    }
}

const VARIANT* Call::Slot(std::size_t i) const noexcept {
    const int index = ArgumentIndex(i);
    return index < 0 ? nullptr : &params_->rgvarg[index];
}

int Call::ArgumentIndex(std::size_t i) const noexcept {
    return i < slots_.size() ? slots_[i] : -1;
}

bool Call::Has(std::size_t i) const noexcept {
    const VARIANT* slot = Slot(i);
    if (slot == nullptr || IsMissing(*slot)) return false;
    // A missing argument may also come by reference.
    if (V_VT(slot) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(slot) != nullptr) {
        return !IsMissing(*V_VARIANTREF(slot));
    }
    return true;
}

const VARIANT& Call::Value(std::size_t i) const {
    const VARIANT* value = Slot(i);
    if (value == nullptr) throw DispatchFault{DISP_E_PARAMNOTFOUND};
    const DispatchFault mismatch{DISP_E_TYPEMISMATCH, ArgumentIndex(i)};
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) {
        value = V_VARIANTREF(value);
        // One level only, and never a reference to nothing.
        if (value == nullptr || V_VT(value) == (VT_VARIANT | VT_BYREF)) throw mismatch;
    }
    if ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr) throw mismatch;
    return *value;
}

void Call::Coerce(std::size_t i, VARTYPE type, VARIANT& out) const {
    const VARIANT& value = Value(i);
    if (V_VT(&value) & VT_ARRAY) throw DispatchFault{DISP_E_TYPEMISMATCH, ArgumentIndex(i)};
    const USHORT flags = type == VT_BOOL ? VARIANT_LOCALBOOL : 0;
    const HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(&value), lcid_, flags, type);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr) || V_VT(&out) != type) {
        throw DispatchFault{hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH,
                            ArgumentIndex(i)};
    }
}

std::int32_t Call::Long(std::size_t i) const {
    Variant out;
    Coerce(i, VT_I4, *out.get());
    return V_I4(out.get());
}

bool Call::Bool(std::size_t i) const {
    Variant out;
    Coerce(i, VT_BOOL, *out.get());
    return V_BOOL(out.get()) != VARIANT_FALSE;
}

std::wstring Call::Text(std::size_t i) const {
    Variant out;
    Coerce(i, VT_BSTR, *out.get());
    const BSTR text = V_BSTR(out.get());
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

void Call::Return(std::int32_t value) noexcept {
    if (result_ == nullptr) return;
    V_VT(result_) = VT_I4;
    V_I4(result_) = value;
}

void Call::Return(bool value) noexcept {
    if (result_ == nullptr) return;
    V_VT(result_) = VT_BOOL;
    V_BOOL(result_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Call::Return(std::wstring_view text) {
    if (result_ == nullptr) return;
    Bstr value(text);
    V_VT(result_) = VT_BSTR;
    V_BSTR(result_) = value.release();
}

HRESULT ParameterIds(const MemberShape& shape, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    HRESULT hr = S_OK;
    const std::size_t parameters = shape.ParameterCount();
    for (UINT n = 1; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        for (std::size_t p = 0; p < parameters; ++p) {
            if (SameName(names[n], shape.parameters[p])) ids[n] = static_cast<DISPID>(p);
        }
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT InvokeFailed(EXCEPINFO* excep, UINT* arg_error, REFIID iid, const wchar_t* source) noexcept {
    try {
        throw;
    } catch (const DispatchFault& fault) {
        if (fault.argument >= 0 && arg_error != nullptr) *arg_error = static_cast<UINT>(fault.argument);
        return SetErrorInfoFor(iid, fault.hr, source, ErrorText(fault.hr));
    } catch (...) {
        // Error information first: it also tells the code and the words to report.
        const HRESULT hr = HresultFromCaughtException(iid, source);
        if (excep == nullptr) return hr;
        *excep = EXCEPINFO{};
        excep->scode = hr;
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
            info->GetSource(&excep->bstrSource);
            info->GetDescription(&excep->bstrDescription);
            // Handed back, so that a caller reading it after Invoke finds it too.
            SetErrorInfo(0, info);
            info->Release();
        }
        return DISP_E_EXCEPTION;
    }
}

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
    return a != nullptr && b != nullptr && CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace zorvane::win
