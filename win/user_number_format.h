#pragma once
// The user's decimal and group separators, as the regional settings give them now.
#include "common/number_text.h"

namespace zorvane::win {

// Read anew on every call: the user may change the settings while the host runs. A
// locale without a group separator groups nothing.
NumberFormat UserNumberFormat() noexcept;

}  // namespace zorvane::win
