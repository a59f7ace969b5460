#include "ui/interval_input.h"

namespace zorvane {
namespace {

constexpr std::wstring_view kNotNumeric = L"Bitte einen numerischen Wert eingeben!";
constexpr std::wstring_view kTooLarge = L"Bitte einen Wert unter 10000 eingeben!";
constexpr std::wstring_view kTooSmall = L"Bitte einen Wert \u00FCber 0 eingeben!";

}  // namespace

IntervalCheck CheckInterval(std::wstring_view text, const NumberFormat& format) {
    const std::optional<double> value = ReadNumber(text, format);
    if (!value) return {std::nullopt, kNotNumeric};
    if (*value > 10000) return {std::nullopt, kTooLarge};
    if (*value < 1) return {std::nullopt, kTooSmall};
    // Within [1, 10000] the rounding cannot fail.
    return {RoundToInt32(*value), {}};
}

}  // namespace zorvane
