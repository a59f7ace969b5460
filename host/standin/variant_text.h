#pragma once
// Automation values as the stand-in host writes them into its records.
#include <windows.h>
#include <oaidl.h>

#include <string>

namespace zorvane::standin {

// 3, "text", true/false (other booleans as <bool N>), <empty>, <null>, <missing> (an
// omitted optional argument), <object> or <nothing>; anything else as <vt 0xNNNN>.
// A reference is followed to its value.
std::wstring DescribeVariant(const VARIANT& value);

// The same followed by the kind, as in `3 [VT_I4]` or `5 [VT_I4|VT_BYREF]`; an omitted
// optional argument stays `<missing>`.
std::wstring DescribeVariantWithType(const VARIANT& value);

std::wstring DescribeBool(VARIANT_BOOL value);

// `0x80020009`.
std::wstring HexCode(HRESULT code);

}  // namespace zorvane::standin
