#include "host/standin/variant_text.h"

#include <cstdio>

namespace zorvane::standin {
namespace {

// The conversion functions leave their source alone but are declared to take it mutable.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }

const wchar_t* TypeName(VARTYPE base) {
    switch (base) {
        case VT_EMPTY: return L"VT_EMPTY";
        case VT_NULL: return L"VT_NULL";
        case VT_I1: return L"VT_I1";
        case VT_I2: return L"VT_I2";
        case VT_I4: return L"VT_I4";
        case VT_I8: return L"VT_I8";
        case VT_UI1: return L"VT_UI1";
        case VT_UI2: return L"VT_UI2";
        case VT_UI4: return L"VT_UI4";
        case VT_UI8: return L"VT_UI8";
        case VT_INT: return L"VT_INT";
        case VT_UINT: return L"VT_UINT";
        case VT_R4: return L"VT_R4";
        case VT_R8: return L"VT_R8";
        case VT_CY: return L"VT_CY";
        case VT_DATE: return L"VT_DATE";
        case VT_BSTR: return L"VT_BSTR";
        case VT_DISPATCH: return L"VT_DISPATCH";
        case VT_UNKNOWN: return L"VT_UNKNOWN";
        case VT_ERROR: return L"VT_ERROR";
        case VT_BOOL: return L"VT_BOOL";
        case VT_VARIANT: return L"VT_VARIANT";
        case VT_DECIMAL: return L"VT_DECIMAL";
        default: return nullptr;
    }
}

std::wstring TypeText(VARTYPE type) {
    const wchar_t* base = TypeName(type & VT_TYPEMASK);
    std::wstring text = base ? base : L"VT_" + std::to_wstring(type & VT_TYPEMASK);
    if (type & VT_BYREF) text += L"|VT_BYREF";
    if (type & VT_ARRAY) text += L"|VT_ARRAY";
    return text;
}

bool IsMissing(const VARIANT& value) {
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

std::wstring HexCode(HRESULT code) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(code));
    return text;
}

std::wstring DescribeBool(VARIANT_BOOL value) {
    if (value == VARIANT_TRUE) return L"true";
    if (value == VARIANT_FALSE) return L"false";
    return L"<bool " + std::to_wstring(value) + L">";
}

std::wstring DescribeVariant(const VARIANT& value) {
    const VARIANT* shown = &value;
    if (V_VT(shown) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(shown) != nullptr)
        shown = V_VARIANTREF(shown);
    if (IsMissing(*shown)) return L"<missing>";
    switch (V_VT(shown)) {
        case VT_EMPTY: return L"<empty>";
        case VT_NULL: return L"<null>";
        case VT_BOOL: return DescribeBool(V_BOOL(shown));
        case VT_BOOL | VT_BYREF: return DescribeBool(*V_BOOLREF(shown));
        case VT_BSTR: return L"\"" + std::wstring(V_BSTR(shown), SysStringLen(V_BSTR(shown))) + L"\"";
        case VT_DISPATCH: return V_DISPATCH(shown) ? L"<object>" : L"<nothing>";
        case VT_UNKNOWN: return V_UNKNOWN(shown) ? L"<object>" : L"<nothing>";
        case VT_I4: return std::to_wstring(V_I4(shown));
        case VT_I4 | VT_BYREF: return std::to_wstring(*V_I4REF(shown));
        default: break;
    }
    if (V_VT(shown) & VT_ARRAY) return L"<vt " + TypeText(V_VT(shown)) + L">";
    // Other scalars: their text in the invariant locale (a decimal point).
    VARIANT text;
    VariantInit(&text);
    std::wstring described;
    if (SUCCEEDED(VariantChangeTypeEx(&text, Source(*shown), MAKELCID(LANG_INVARIANT, SORT_DEFAULT), 0,
                                      VT_BSTR))) {
        described.assign(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    } else {
        described = L"<vt " + TypeText(V_VT(shown)) + L">";
    }
    VariantClear(&text);
    return described;
}

std::wstring DescribeVariantWithType(const VARIANT& value) {
    if (IsMissing(value)) return L"<missing>";
    return DescribeVariant(value) + L" [" + TypeText(V_VT(&value)) + L"]";
}

}  // namespace zorvane::standin
