#include "common/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/native/allocation_count.h"

namespace zorvane {
namespace {

constexpr NumberFormat kG = kGermanFormat;
constexpr NumberFormat kE = kEnglishFormat;
constexpr NumberFormat kNbspGroup{L',', L'\u00A0'};
constexpr NumberFormat kSameSeparators{L',', L','};

constexpr std::optional<double> kNone = std::nullopt;

struct ReadCase {
    std::wstring text;
    NumberFormat format;
    std::optional<double> expected;
};

std::wstring Describe(const std::wstring& text, const NumberFormat& format) {
    std::wstring shown = text.size() > 60 ? text.substr(0, 60) + L"..." : text;
    return L"text \"" + shown + L"\" decimal '" + std::wstring(1, format.decimal) + L"' group '" +
           std::wstring(1, format.group) + L"'";
}

void ExpectSameNumber(const std::optional<double>& expected, const std::optional<double>& actual) {
    ASSERT_EQ(expected.has_value(), actual.has_value());
    if (!expected) return;
    EXPECT_EQ(*expected, *actual) << std::hexfloat << *expected << " != " << *actual;
    EXPECT_EQ(std::signbit(*expected), std::signbit(*actual));
}

// Each case's text read in its format, the number (or none) it lists.
void ExpectReadsAsListed(const std::vector<ReadCase>& cases) {
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(Describe(c.text, c.format));
        ExpectSameNumber(c.expected, ReadNumber(c.text, c.format));
    }
}

TEST(ReadNumber, Grammar) {
    const std::vector<ReadCase> cases = {
        // Plain numbers and the decimal separator of each format.
        {L"5", kE, 5.0},
        {L"0", kE, 0.0},
        {L"7,5", kG, 7.5},
        {L"7.5", kE, 7.5},
        {L"5,", kG, 5.0},
        {L",5", kG, 0.5},
        {L"5.", kE, 5.0},
        {L".5", kE, 0.5},
        {L",", kG, kNone},
        {L".", kE, kNone},
        {L"007", kE, 7.0},
        // Group separators: only between two digits of the integer part.
        {L"1.234,5", kG, 1234.5},
        {L"1.234.567", kG, 1234567.0},
        {L"1,234.5", kE, 1234.5},
        {L"1.2", kG, 12.0},
        {L"1..2", kG, kNone},
        {L"1,,2", kE, kNone},
        {L".5", kG, kNone},
        {L",5", kE, kNone},
        {L"5.", kG, kNone},
        {L"1.,5", kG, kNone},
        {L"1,2.3", kG, kNone},
        {L"1.5,2", kE, kNone},
        {L"-.5", kG, kNone},
        {L"1.234e2", kG, 123400.0},
        // Both separators in the wrong roles.
        {L"1.234,5", kE, kNone},
        {L"1,234.5", kG, kNone},
        // Any character may be a separator.
        {L"1\u00A0234,5", kNbspGroup, 1234.5},
        {L"1 234,5", kNbspGroup, kNone},
        {L"1.234,5", kNbspGroup, kNone},
        // Equal separators: the decimal reading.
        {L"1,5", kSameSeparators, 1.5},
        {L"1,234,5", kSameSeparators, kNone},
        // Signs.
        {L"+5", kE, 5.0},
        {L"-5", kE, -5.0},
        {L"-0", kE, -0.0},
        {L"+-5", kE, kNone},
        {L"--5", kE, kNone},
        {L"- 5", kE, kNone},
        {L"5-", kE, kNone},
        {L"-", kE, kNone},
        // Exponents.
        {L"1e3", kE, 1000.0},
        {L"1E-2", kE, 0.01},
        {L"1e+2", kE, 100.0},
        {L"1,5e2", kG, 150.0},
        {L"5,e1", kG, 50.0},
        {L"1e", kE, kNone},
        {L"1e-", kE, kNone},
        {L"e5", kE, kNone},
        {L"1e2.5", kE, kNone},
        {L"1e2e3", kE, kNone},
        {L"1 e2", kE, kNone},
        // Blanks: spaces and tabs around the number, nothing else.
        {L" 5 ", kE, 5.0},
        {L"\t5", kE, 5.0},
        {L"5\t ", kE, 5.0},
        {L"", kE, kNone},
        {L"   ", kE, kNone},
        {L"\t", kE, kNone},
        {L"5 5", kE, kNone},
        {L"\n5", kE, kNone},
        {L"5\r", kE, kNone},
        {std::wstring(L"5\0", 2), kE, kNone},
        // Anything else.
        {L"5a", kE, kNone},
        {L"abc", kE, kNone},
        {L"0x10", kE, kNone},
        {L"inf", kE, kNone},
        {L"-inf", kE, kNone},
        {L"infinity", kE, kNone},
        {L"nan", kE, kNone},
        {L"\uFF15", kE, kNone},  // a full-width digit is no digit here
        // Finite values only; what underflows is zero.
        {L"1e400", kE, kNone},
        {L"-1e400", kE, kNone},
        {L"1e99999999999999999999999", kE, kNone},
        {L"1e-400", kE, 0.0},
        {L"-1e-400", kE, -0.0},
        {L"1e-99999999999999999999999", kE, 0.0},
        {L"0e99999999999999999999999", kE, 0.0},
        {L"1.7976931348623157e308", kE, std::numeric_limits<double>::max()},
        {L"1.7976931348623159e308", kE, kNone},
        {L"4.9406564584124654e-324", kE, std::numeric_limits<double>::denorm_min()},
        {L"2.4703282292062328e-324", kE, std::numeric_limits<double>::denorm_min()},
        {L"2.4703282292062327e-324", kE, 0.0},
        // Correct rounding: 2^53 + 1 is a tie between 2^53 and 2^53 + 2.
        {L"9007199254740993", kE, 9007199254740992.0},
        {L"9007199254740995", kE, 9007199254740996.0},
        {L"0.1", kE, 0.1},
    };
    ExpectReadsAsListed(cases);
}

TEST(ReadNumber, LongDigitStringsRoundCorrectly) {
    const std::wstring zeros(1000, L'0');
    const std::vector<ReadCase> cases = {
        // A nonzero digit far past the kept digits still breaks the tie upwards.
        {L"9007199254740993." + zeros + L"1", kE, 9007199254740994.0},
        {L"9007199254740993." + zeros, kE, 9007199254740992.0},
        {L"9007199254740992." + zeros + L"1", kE, 9007199254740992.0},
        {L"1" + zeros + L"e-1000", kE, 1.0},
        {L"0," + zeros + L"1e1001", kG, 1.0},
        {zeros + L"42", kE, 42.0},
        {L"1" + std::wstring(308, L'0'), kE, 1e308},
        {L"1" + std::wstring(309, L'0'), kE, kNone},
    };
    ExpectReadsAsListed(cases);
}

// Decimal digits of m * 5^k, so that m * 2^-k is the text digits + "e-" + k.
std::wstring DigitsOfTimesPowerOfFive(std::uint64_t m, int k) {
    std::vector<int> digits;  // least significant first
    for (; m != 0; m /= 10) digits.push_back(static_cast<int>(m % 10));
    for (int i = 0; i < k; ++i) {
        int carry = 0;
        for (int& d : digits) {
            const int product = d * 5 + carry;
            d = product % 10;
            carry = product / 10;
        }
        if (carry != 0) digits.push_back(carry);
    }
    std::wstring text;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) text += static_cast<wchar_t>(L'0' + *it);
    return text;
}

TEST(ReadNumber, TiesNeedEveryDigit) {
    // 1 + 2^-53 lies halfway between 1 and the next double; so does the largest
    // subnormal plus half a step, whose decimal form has 767 significant digits.
    const double above_one = std::nextafter(1.0, 2.0);
    const double smallest_normal = std::numeric_limits<double>::min();
    const double largest_subnormal = std::nextafter(smallest_normal, 0.0);
    const std::wstring one_tie = L"1.00000000000000011102230246251565404236316680908203125";
    const std::wstring one_below = L"1.00000000000000011102230246251565404236316680908203124" + std::wstring(50, L'9');
    std::wstring subnormal_tie = DigitsOfTimesPowerOfFive((std::uint64_t{1} << 53) - 1, 1075);
    ASSERT_EQ(L'5', subnormal_tie.back());
    std::wstring subnormal_below = subnormal_tie;
    subnormal_below.back() = L'4';
    subnormal_below += std::wstring(50, L'9');

    const std::vector<ReadCase> cases = {
        {one_tie, kE, 1.0},
        {one_tie + std::wstring(900, L'0') + L"1", kE, above_one},
        {one_below, kE, 1.0},
        {subnormal_tie + L"e-1075", kE, smallest_normal},
        {subnormal_tie + std::wstring(900, L'0') + L"1e-1976", kE, smallest_normal},
        {subnormal_below + L"e-1125", kE, largest_subnormal},
    };
    ExpectReadsAsListed(cases);
}

// Long input costs a scan and nothing more: no copy of the text, nothing that grows with
// it. The time it takes is measured by the native benchmark (read_number/...).
TEST(ReadNumber, MillionCharacterInputsAreReadWithoutAllocating) {
    const std::size_t n = 1'000'000;
    const std::vector<ReadCase> cases = {
        {std::wstring(n, L'7'), kE, kNone},
        {L"1" + std::wstring(n, L'0') + L"e-1000000", kE, 1.0},
        {L"0." + std::wstring(n, L'0') + L"25e1000001", kE, 2.5},
        {std::wstring(n, L' ') + L"5", kE, 5.0},
        {std::wstring(n, L'x'), kE, kNone},
        {L"5" + std::wstring(n, L'.'), kG, kNone},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(Describe(c.text, c.format));
        test::CountAllocations(true);
        const std::optional<double> read = ReadNumber(c.text, c.format);
        test::CountAllocations(false);
        EXPECT_EQ(0, test::AllocationsCounted());
        ExpectSameNumber(c.expected, read);
    }
}

TEST(RoundToInt32, NearestWithHalvesToEven) {
    struct Case {
        double value;
        std::optional<std::int32_t> expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0.0, 0},
        {-0.0, 0},
        {0.5, 0},
        {1.5, 2},
        {2.5, 2},
        {3.5, 4},
        {-0.5, 0},
        {-1.5, -2},
        {-2.5, -2},
        {0.49999999999999994, 0},
        {2.5000000000000004, 3},
        {7.4, 7},
        {-7.6, -8},
        {2147483647.0, 2147483647},
        {2147483647.4, 2147483647},
        {2147483647.5, std::nullopt},
        {2147483648.0, std::nullopt},
        {-2147483648.0, -2147483648},
        {-2147483648.5, -2147483648},
        {-2147483648.6, std::nullopt},
        {-2147483649.5, std::nullopt},
        {1e10, std::nullopt},
        {nan, std::nullopt},
        {inf, std::nullopt},
        {-inf, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << std::hexfloat << c.value);
        EXPECT_EQ(c.expected, RoundToInt32(c.value));
    }
}

TEST(ReadInt32, ReadsAndRounds) {
    struct Case {
        std::wstring text;
        NumberFormat format;
        std::optional<std::int32_t> expected;
    };
    const Case cases[] = {
        {L"7,5", kG, 8},
        {L"6,5", kG, 6},
        {L"-6,5", kG, -6},
        {L"7.5", kE, 8},
        {L"1.234,5", kG, 1234},
        {L"2147483647", kE, 2147483647},
        {L"2147483648", kE, std::nullopt},
        {L"-2147483648", kE, -2147483648},
        {L"-2147483649", kE, std::nullopt},
        {L"2.147.483.647,4", kG, 2147483647},
        {L"2147483647,5", kG, std::nullopt},
        {L"-2147483648,5", kG, -2147483648},
        {L"-2147483648,6", kG, std::nullopt},
        {L"1e9", kE, 1000000000},
        {L"1e10", kE, std::nullopt},
        {L"abc", kE, std::nullopt},
        {L"", kE, std::nullopt},
        {L"1e400", kE, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Describe(c.text, c.format));
        EXPECT_EQ(c.expected, ReadInt32(c.text, c.format));
    }
}

}  // namespace
}  // namespace zorvane
