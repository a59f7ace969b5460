#include "win/argument_match.h"

#include <oleauto.h>

namespace zorvane::win {
namespace {

bool IsMissingValue(const VARIANT& value) noexcept {
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

ArgumentMatch Refusal(HRESULT hr, int arg_error = -1) {
    ArgumentMatch refused;
    refused.hr = hr;
    refused.arg_error = arg_error;
    return refused;
}

}  // namespace

bool IsWellFormed(const DISPPARAMS* params) noexcept {
    if (params == nullptr) return false;
    if (params->cArgs > 0 && params->rgvarg == nullptr) return false;
    if (params->cNamedArgs > params->cArgs) return false;
    return params->cNamedArgs == 0 || params->rgdispidNamedArgs != nullptr;
}

bool IsMissingArgument(const VARIANT& argument) noexcept {
    if (IsMissingValue(argument)) return true;
    return V_VT(&argument) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(&argument) != nullptr &&
           IsMissingValue(*V_VARIANTREF(&argument));
}

ArgumentMatch MatchArguments(const ParameterShape& shape, WORD flags, const DISPPARAMS* params) {
    if (!IsWellFormed(params)) return Refusal(E_INVALIDARG);
    const bool put_asked = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
    if (put_asked != shape.put) return Refusal(DISP_E_MEMBERNOTFOUND);

    const std::size_t parameters = shape.parameters.size();
    // Where each parameter's argument is in rgvarg, then the put's value: -1 when left out.
    std::vector<int> slots(parameters + (shape.put ? 1 : 0), -1);
    const UINT count = params->cArgs;
    const UINT named = params->cNamedArgs;
    for (UINT k = 0; k < named; ++k) {
        const DISPID id = params->rgdispidNamedArgs[k];
        int* slot = nullptr;
        if (id == DISPID_PROPERTYPUT && shape.put) {
            slot = &slots.back();
        } else if (id >= 0 && static_cast<std::size_t>(id) < parameters) {
            slot = &slots[static_cast<std::size_t>(id)];
        }
        if (slot == nullptr || *slot >= 0) return Refusal(DISP_E_PARAMNOTFOUND, static_cast<int>(k));
        *slot = static_cast<int>(k);
    }
    UINT positional = count - named;
    if (shape.put && slots.back() < 0 && positional > 0) {
        // Some callers pass the value without naming it: then it is the last argument.
        slots.back() = static_cast<int>(named);
        --positional;
    }
    if (positional > parameters) return Refusal(DISP_E_BADPARAMCOUNT);
    for (UINT p = 0; p < positional; ++p) {
        if (slots[p] >= 0) return Refusal(DISP_E_PARAMNOTFOUND, slots[p]);
        slots[p] = static_cast<int>(count - 1 - p);
    }

    ArgumentMatch match;
    match.arguments.resize(slots.size());
    for (std::size_t p = 0; p < slots.size(); ++p) {
        const bool required = p == parameters || !shape.parameters[p].optional;
        const int index = slots[p];
        const bool missing = index < 0 || IsMissingArgument(params->rgvarg[index]);
        if (required && index < 0) return Refusal(named == 0 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTFOUND);
        if (required && missing) return Refusal(DISP_E_PARAMNOTFOUND, index);
        match.arguments[p] = {index, missing};
    }
    return match;
}

HRESULT ConvertArgument(const VARIANT& argument, VARTYPE type, LCID lcid, VARIANT& out) noexcept {
    const VARIANT* value = &argument;
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) {
        value = V_VARIANTREF(value);
        if (value == nullptr || V_VT(value) == (VT_VARIANT | VT_BYREF)) return DISP_E_TYPEMISMATCH;
    }
    if ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr) return DISP_E_TYPEMISMATCH;
    if ((V_VT(value) & VT_ARRAY) && !(type & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    VariantInit(&out);
    const USHORT flags = type == VT_BOOL ? VARIANT_LOCALBOOL : 0;
    const HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(value), lcid, flags, type);
    if (SUCCEEDED(hr) && V_VT(&out) == type) return S_OK;
    VariantClear(&out);
    if (hr == E_OUTOFMEMORY || hr == DISP_E_OVERFLOW) return hr;
    return DISP_E_TYPEMISMATCH;
}

}  // namespace zorvane::win
