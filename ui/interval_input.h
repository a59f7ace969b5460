#pragma once
// The poll-interval dialog's decision on the text the user confirmed.
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/number_text.h"

namespace zorvane {

struct IntervalCheck {
    std::optional<std::int32_t> interval_ms; // set when accepted
    std::wstring_view message;               // set when refused
};

// Cancel is passed as the empty text.
IntervalCheck CheckInterval(std::wstring_view text, const NumberFormat& format);

}  // namespace zorvane
