#include "common/number_text.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>

namespace zorvane {
namespace {

constexpr bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }
constexpr bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Every halfway point between two neighbouring doubles has at most 768 significant
// digits, so digits past the 800th can only tip the rounding by being nonzero: they are
// dropped and stand in as one trailing '1'. Long inputs cost a scan and nothing more.
constexpr std::size_t kKeptDigits = 800;

// With the first kept digit nonzero the value lies in [10^(e-1), 10^e). From 10^309
// up nothing is finite; below 10^-330 everything rounds to zero.
constexpr std::int64_t kLargestExponent = 309;
constexpr std::int64_t kSmallestExponent = -330;

// A typed exponent beyond this is as good as infinite; stop growing it.
constexpr std::int64_t kTypedExponentCap = 1'000'000'000'000;

// Significant digits of the mantissa, as 0.ddd... x 10^exponent.
struct Mantissa {
    std::array<char, kKeptDigits + 16> digits{};  // room for the sticky digit and "e-NNNN"
    std::size_t kept = 0;
    bool dropped_nonzero = false;
    bool any_digit = false;
    std::int64_t exponent = 0;

    void Take(wchar_t c, bool fraction) {
        any_digit = true;
        if (kept == 0 && c == L'0') {  // leading zero: only moves the point
            if (fraction) --exponent;
            return;
        }
        if (!fraction) ++exponent;
        if (kept < kKeptDigits) {
            digits[kept++] = static_cast<char>('0' + (c - L'0'));
        } else if (c != L'0') {
            dropped_nonzero = true;
        }
    }

    // Magnitude of the value, or no value when it is not finite.
    std::optional<double> Convert() {
        if (kept == 0) return 0.0;
        if (exponent > kLargestExponent) return std::nullopt;
        if (exponent < kSmallestExponent) return 0.0;
        if (dropped_nonzero) digits[kept++] = '1';

        // Integer digits and a decimal exponent: no decimal point, so the C library's
        // reading cannot depend on the process locale.
        std::size_t at = kept;
        digits[at++] = 'e';
        std::int64_t e = exponent - static_cast<std::int64_t>(kept);
        if (e < 0) {
            digits[at++] = '-';
            e = -e;
        }
        char reversed[8];
        std::size_t count = 0;
        do {
            reversed[count++] = static_cast<char>('0' + e % 10);
            e /= 10;
        } while (e != 0);
        while (count != 0) digits[at++] = reversed[--count];
        digits[at] = '\0';

        const int saved_errno = errno;  // underflow and overflow set it; the caller need not see that
        const double magnitude = std::strtod(digits.data(), nullptr);
        errno = saved_errno;
        if (!std::isfinite(magnitude)) return std::nullopt;
        return magnitude;
    }
};

}  // namespace

std::optional<double> ReadNumber(std::wstring_view text, const NumberFormat& format) {
    const std::size_t n = text.size();
    // One character cannot be both; the decimal reading wins.
    const bool grouping = format.group != format.decimal;
    std::size_t i = 0;

    while (i < n && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }

    Mantissa mantissa;
    while (i < n) {
        const wchar_t c = text[i];
        if (IsDigit(c)) {
            mantissa.Take(c, false);
            ++i;
        } else if (grouping && c == format.group && mantissa.any_digit && IsDigit(text[i - 1]) &&
                   i + 1 < n && IsDigit(text[i + 1])) {
            ++i;  // a group separator stands only between two digits
        } else {
            break;
        }
    }
    if (i < n && text[i] == format.decimal) {
        ++i;
        while (i < n && IsDigit(text[i])) {
            mantissa.Take(text[i], true);
            ++i;
        }
    }
    if (!mantissa.any_digit) return std::nullopt;

    if (i < n && (text[i] == L'e' || text[i] == L'E')) {
        ++i;
        bool exponent_negative = false;
        if (i < n && (text[i] == L'+' || text[i] == L'-')) {
            exponent_negative = text[i] == L'-';
            ++i;
        }
        if (i >= n || !IsDigit(text[i])) return std::nullopt;
        std::int64_t typed = 0;
        while (i < n && IsDigit(text[i])) {
            if (typed < kTypedExponentCap) typed = typed * 10 + (text[i] - L'0');
            ++i;
        }
        mantissa.exponent += exponent_negative ? -typed : typed;
    }

    while (i < n && IsBlank(text[i])) ++i;
    if (i != n) return std::nullopt;

    const std::optional<double> magnitude = mantissa.Convert();
    if (!magnitude) return std::nullopt;
    return negative ? -*magnitude : *magnitude;
}

std::optional<std::int32_t> RoundToInt32(double value) {
    // Both bounds are exact doubles; NaN fails the test too. The upper half rounds to
    // 2^31 (even), the lower one to -2^31 (even).
    if (!(value >= -2147483648.5 && value < 2147483647.5)) return std::nullopt;
    const double below = std::floor(value);
    const double fraction = value - below;  // exact: no bits beyond value's own
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) rounded += 1.0;
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> ReadInt32(std::wstring_view text, const NumberFormat& format) {
    const std::optional<double> value = ReadNumber(text, format);
    if (!value) return std::nullopt;
    return RoundToInt32(*value);
}

}  // namespace zorvane
