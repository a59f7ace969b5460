#pragma once
// Arguments as a host hands them to late-bound members: plain VARIANTs that borrow what
// they point to (nothing to clear), for DISPPARAMS built on the stack.
#include <windows.h>
#include <oaidl.h>

namespace zorvane::test {

inline VARIANT LongVariant(LONG number) noexcept {
    VARIANT variant{};
    V_VT(&variant) = VT_I4;
    V_I4(&variant) = number;
    return variant;
}

inline VARIANT BoolVariant(bool flag) noexcept {
    VARIANT variant{};
    V_VT(&variant) = VT_BOOL;
    V_BOOL(&variant) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return variant;
}

// The host passes channels and values by reference: the callee may write through them.
inline VARIANT LongReference(LONG& number) noexcept {
    VARIANT variant{};
    V_VT(&variant) = VT_I4 | VT_BYREF;
    V_I4REF(&variant) = &number;
    return variant;
}

}  // namespace zorvane::test
