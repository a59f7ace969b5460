#pragma once
// A channel value from the host as a number to compare with a rule's bounds.
#include <windows.h>
#include <oaidl.h>

namespace zorvane::velt_zorvane {

// Numeric variants (a boolean true as -1), text the number reader accepts under the
// user's separators, and references to either; anything else throws win::ComError
// (type mismatch).
double ChannelNumber(const VARIANT& value);

}  // namespace zorvane::velt_zorvane
