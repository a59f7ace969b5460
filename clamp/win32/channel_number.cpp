#include "clamp/win32/channel_number.h"

#include <oleauto.h>

#include <string_view>

#include "clamp/win32/late_bound_call.h"
#include "common/number_text.h"
#include "win/handles.h"
#include "win/user_number_format.h"

namespace zorvane::velt_zorvane {

double ChannelNumber(const VARIANT& value) {
    switch (V_VT(&value)) {
        case VT_I1: return V_I1(&value);
        case VT_I2: return V_I2(&value);
        case VT_I4: return V_I4(&value);
        case VT_INT: return V_INT(&value);
        case VT_I8: return static_cast<double>(V_I8(&value));
        case VT_UI1: return V_UI1(&value);
        case VT_UI2: return V_UI2(&value);
        case VT_UI4: return V_UI4(&value);
        case VT_UINT: return V_UINT(&value);
        case VT_UI8: return static_cast<double>(V_UI8(&value));
        case VT_R4: return V_R4(&value);
        case VT_R8: return V_R8(&value);
        case VT_BOOL: return V_BOOL(&value);  // true compares as -1, as automation has it
        case VT_CY: return static_cast<double>(V_CY(&value).int64) / 10000.0;
        case VT_DECIMAL: {
            double number = 0;
            // VarR8FromDec reads its source only; it is declared to take it mutable.
            DECIMAL decimal = V_DECIMAL(&value);
            if (FAILED(VarR8FromDec(&decimal, &number))) ThrowTypeMismatch();
            return number;
        }
        case VT_BSTR: {
            const std::wstring_view text(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value)));
            if (const auto number = ReadNumber(text, win::UserNumberFormat())) return *number;
            ThrowTypeMismatch();
        }
        default:
            break;
    }
    if (V_VT(&value) & VT_BYREF) {
        win::Variant copy;
        if (SUCCEEDED(win::CopyDereferenced(value, *copy.get()))) return ChannelNumber(*copy.get());
    }
    // Empty, null, objects, errors, dates, arrays: not a channel value.
    ThrowTypeMismatch();
}

}  // namespace zorvane::velt_zorvane
