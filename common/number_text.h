#pragma once
// Reading numbers typed by a person, under the user's decimal and group separators.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zorvane {

struct NumberFormat {
    wchar_t decimal = L'.';
    wchar_t group = L',';
};

inline constexpr NumberFormat kEnglishFormat{L'.', L','};
inline constexpr NumberFormat kGermanFormat{L',', L'.'};

// Optional blanks, an optional sign, digits (group separators only between two digits
// of the integer part), an optional decimal part, an optional exponent, optional
// blanks; at least one digit; the value finite. Anything else: no value.
std::optional<double> ReadNumber(std::wstring_view text, const NumberFormat& format);

// Nearest whole number, an exact half to the even neighbour; no value outside int32.
std::optional<std::int32_t> RoundToInt32(double value);

// ReadNumber then RoundToInt32.
std::optional<std::int32_t> ReadInt32(std::wstring_view text, const NumberFormat& format);

}  // namespace zorvane
