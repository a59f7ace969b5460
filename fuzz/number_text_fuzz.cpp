// Fuzzes the number reader and checks what must hold for every input, not only that it
// survives: finite results, ReadInt32 agreeing with ReadNumber, separators that can be
// renamed or dropped without changing the value, and agreement with the C library on
// plain ASCII numbers.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "common/number_text.h"

namespace {

using zorvane::NumberFormat;

constexpr NumberFormat kFormats[] = {
    zorvane::kEnglishFormat,
    zorvane::kGermanFormat,
    {L',', L'\u00A0'},
    {L'.', L'.'},
    {L',', L' '},
};
constexpr std::size_t kFormatCount = sizeof(kFormats) / sizeof(kFormats[0]);

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

bool SameNumber(const std::optional<double>& a, const std::optional<double>& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return std::memcmp(&*a, &*b, sizeof(double)) == 0;
}

void CheckReading(const std::wstring& text, const NumberFormat& format) {
    const std::optional<double> value = zorvane::ReadNumber(text, format);
    if (value) Require(std::isfinite(*value), "an accepted number is finite");

    const std::optional<std::int32_t> whole = zorvane::ReadInt32(text, format);
    const std::optional<std::int32_t> rounded =
        value ? zorvane::RoundToInt32(*value) : std::optional<std::int32_t>();
    Require(whole == rounded, "ReadInt32 is ReadNumber then RoundToInt32");
    if (whole) {
        const double distance = std::fabs(static_cast<double>(*whole) - *value);
        Require(distance <= 0.5, "rounding moves by half a unit at most");
        if (distance == 0.5) Require(*whole % 2 == 0, "an exact half goes to the even neighbour");
    }

    // Group separators carry no value: dropping them all keeps an accepted number.
    if (value && format.group != format.decimal && text.find(format.group) != std::wstring::npos) {
        std::wstring plain;
        for (wchar_t c : text) {
            if (c != format.group) plain += c;
        }
        Require(SameNumber(value, zorvane::ReadNumber(plain, format)),
                "dropping group separators keeps the value");
    }
}

// English text without group separators reads the same once its decimal point is
// written as a German comma, accepted or not.
void CheckRenaming(const std::wstring& text) {
    if (text.find(L',') != std::wstring::npos) return;
    std::wstring german = text;
    for (wchar_t& c : german) {
        if (c == L'.') c = L',';
    }
    Require(SameNumber(zorvane::ReadNumber(text, zorvane::kEnglishFormat),
                       zorvane::ReadNumber(german, zorvane::kGermanFormat)),
            "English and German agree on the same number");
}

// On digits, point, signs and exponents alone, the C library (in the "C" locale, as
// this program never changes it) is the reference for acceptance and for the value.
void CheckAgainstStrtod(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) {
        if (!((c >= L'0' && c <= L'9') || c == L'.' || c == L'e' || c == L'E' || c == L'+' || c == L'-')) {
            return;
        }
        narrow += static_cast<char>(c);
    }
    const char* begin = narrow.c_str();
    char* end = nullptr;
    errno = 0;
    const double reference = std::strtod(begin, &end);
    const bool accepted = !narrow.empty() && end != begin &&
                          end == begin + narrow.size() && std::isfinite(reference);
    const std::optional<double> expected = accepted ? std::optional<double>(reference) : std::nullopt;
    Require(SameNumber(expected, zorvane::ReadNumber(text, zorvane::kEnglishFormat)),
            "agrees with strtod on plain ASCII numbers");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: the format, and whether the rest is bytes or 16-bit units.
    const NumberFormat& format = kFormats[(data[0] & 0x7F) % kFormatCount];
    const bool wide = (data[0] & 0x80) != 0;
    std::wstring text;
    if (wide) {
        for (std::size_t i = 1; i + 1 < size; i += 2) {
            text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        }
    } else {
        for (std::size_t i = 1; i < size; ++i) text += static_cast<wchar_t>(data[i]);
    }

    CheckReading(text, format);
    CheckRenaming(text);
    CheckAgainstStrtod(text);
    return 0;
}
