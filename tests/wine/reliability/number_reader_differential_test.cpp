// Our number reader against the platform's own (VarR8FromStr) on generated texts, with
// English (0x0409) and German (0x0407) separators: wherever both accept a text, ours is
// the correctly rounded double and the platform's reads the same number, if less exactly;
// and an account of where they differ on accepting it.
//
// The platform's rounding is tallied, not held to a bound: 32-bit Wine's is within 1 ulp,
// 64-bit Wine's up to 9 ulps off. The exact referee below judges ours.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "common/number_text.h"
#include "tests/wine/reliability/printable_text.h"

namespace zorvane::reliability {
namespace {

struct Locale {
    const char* name;
    LCID lcid;
    NumberFormat format;
    const wchar_t* currency;
};

const Locale kLocales[] = {
    {"English", 0x0409, kEnglishFormat, L"$"},
    {"German", 0x0407, kGermanFormat, L"\u20AC"},
};

constexpr std::uint32_t kSeed = 0x5A0F'2024;
constexpr int kGrammarTexts = 200'000;  // per locale

// Texts of our grammar: blanks, a sign, digits grouped correctly or not at all, a
// decimal part, an exponent, blanks.
class TextGenerator {
public:
    explicit TextGenerator(std::uint32_t seed) : random_(seed) {}

    std::wstring Next(const NumberFormat& format) {
        std::wstring text = Blanks();
        if (Chance(50)) text += Chance(50) ? L'-' : L'+';
        const bool integer = Chance(90);
        if (integer) {
            if (Chance(40)) {
                text += Digits(Between(1, 3));
                for (int groups = Between(1, 5); groups > 0; --groups) {
                    text += format.group;
                    text += Digits(3);
                }
            } else {
                text += Digits(Between(1, 25));
            }
        }
        if (!integer || Chance(60)) {
            text += format.decimal;
            text += Digits(Between(integer ? 0 : 1, 22));
        }
        if (Chance(45)) {
            text += Chance(50) ? L'e' : L'E';
            if (Chance(60)) text += Chance(50) ? L'-' : L'+';
            text += Digits(Between(1, 3));
        }
        return text + Blanks();
    }

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

private:
    std::wstring Digits(int count) {
        std::wstring digits;
        for (int i = 0; i < count; ++i) digits += static_cast<wchar_t>(L'0' + Between(0, 9));
        return digits;
    }
    std::wstring Blanks() {
        std::wstring blanks;
        for (int i = Between(0, 4) - 2; i > 0; --i) blanks += Chance(70) ? L' ' : L'\t';
        return blanks;
    }

    std::mt19937 random_;
};

// Ways of leaving our grammar that a person might type, applied to a grammar text.
struct Mutation {
    const char* name;
    std::wstring (*apply)(const std::wstring& text, const Locale& locale, TextGenerator& random);
};

std::wstring Trimmed(const std::wstring& text) {
    const auto first = text.find_first_not_of(L" \t");
    const auto last = text.find_last_not_of(L" \t");
    return first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
}

// A plain number of the grammar without blanks and sign, for the mutations to dress up.
std::wstring Unsigned(const std::wstring& text) {
    std::wstring core = Trimmed(text);
    if (!core.empty() && (core[0] == L'+' || core[0] == L'-')) core.erase(0, 1);
    return core;
}

const Mutation kMutations[] = {
    {"currency sign before", [](const std::wstring& t, const Locale& l, TextGenerator&) { return l.currency + Unsigned(t); }},
    {"currency sign after", [](const std::wstring& t, const Locale& l, TextGenerator&) { return Unsigned(t) + L" " + l.currency; }},
    {"parentheses", [](const std::wstring& t, const Locale&, TextGenerator&) { return L"(" + Unsigned(t) + L")"; }},
    {"trailing sign", [](const std::wstring& t, const Locale&, TextGenerator&) { return Unsigned(t) + L"-"; }},
    {"blank after the sign", [](const std::wstring& t, const Locale&, TextGenerator&) { return L"- " + Unsigned(t); }},
    {"two signs", [](const std::wstring& t, const Locale&, TextGenerator&) { return L"+-" + Unsigned(t); }},
    {"group separator doubled", [](const std::wstring&, const Locale& l, TextGenerator& r) {
         return std::to_wstring(r.Between(1, 99)) + l.format.group + l.format.group + L"345";
     }},
    {"group of two digits", [](const std::wstring&, const Locale& l, TextGenerator& r) {
         return std::to_wstring(r.Between(1, 999)) + l.format.group + std::to_wstring(r.Between(10, 99));
     }},
    {"group separator first", [](const std::wstring&, const Locale& l, TextGenerator& r) {
         std::wstring text(1, l.format.group);
         text += std::to_wstring(r.Between(100, 999));
         return text;
     }},
    {"group separator last", [](const std::wstring&, const Locale& l, TextGenerator& r) {
         return std::to_wstring(r.Between(1, 999)) + l.format.group;
     }},
    {"group separator in the fraction", [](const std::wstring&, const Locale& l, TextGenerator& r) {
         return std::to_wstring(r.Between(1, 9)) + l.format.decimal + L"123" + l.format.group + L"456";
     }},
    {"hexadecimal &H", [](const std::wstring&, const Locale&, TextGenerator& r) {
         wchar_t text[16];
         std::swprintf(text, 16, L"&H%X", static_cast<unsigned>(r.Between(1, 0xFFFF)));
         return std::wstring(text);
     }},
    {"octal &O", [](const std::wstring&, const Locale&, TextGenerator& r) {
         return L"&O" + std::to_wstring(r.Between(1, 7777));
     }},
    {"line break around", [](const std::wstring& t, const Locale&, TextGenerator&) { return L"\r\n" + Trimmed(t) + L"\n"; }},
    {"no-break space around", [](const std::wstring& t, const Locale&, TextGenerator&) {
         return L"\u00A0" + Trimmed(t) + L"\u00A0";
     }},
    {"exponent marker d", [](const std::wstring&, const Locale&, TextGenerator& r) {
         return std::to_wstring(r.Between(1, 99)) + L"d" + std::to_wstring(r.Between(1, 9));
     }},
    {"exponent without digits", [](const std::wstring& t, const Locale&, TextGenerator&) { return Unsigned(t) + L"e"; }},
    {"decimal separator alone", [](const std::wstring&, const Locale& l, TextGenerator&) {
         return std::wstring(1, l.format.decimal);
     }},
};

// An exact referee for "correctly rounded": the decimal value of a text of our grammar
// compared, in whole numbers of any size, with the points halfway to the double's
// neighbours.
class Natural {
public:
    explicit Natural(std::uint32_t value = 0) {
        if (value != 0) limbs_.push_back(value);
    }
    void Multiply(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (std::uint32_t& limb : limbs_) {
            const std::uint64_t product = static_cast<std::uint64_t>(limb) * factor + carry;
            limb = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
    }
    void Add(std::uint32_t value) {
        std::uint64_t carry = value;
        for (std::size_t i = 0; carry != 0; ++i) {
            if (i == limbs_.size()) limbs_.push_back(0);
            const std::uint64_t sum = static_cast<std::uint64_t>(limbs_[i]) + carry;
            limbs_[i] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
    }
    void Shift(int bits) {
        for (; bits >= 16; bits -= 16) Multiply(1u << 16);
        if (bits > 0) Multiply(1u << bits);
    }
    void Power10(int count) {
        for (; count >= 9; count -= 9) Multiply(1'000'000'000u);
        for (; count > 0; --count) Multiply(10);
    }
    friend int Compare(const Natural& a, const Natural& b) {
        auto size = [](const Natural& n) {
            std::size_t used = n.limbs_.size();
            while (used != 0 && n.limbs_[used - 1] == 0) --used;
            return used;
        };
        const std::size_t sa = size(a);
        const std::size_t sb = size(b);
        if (sa != sb) return sa < sb ? -1 : 1;
        for (std::size_t i = sa; i-- > 0;) {
            if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
        }
        return 0;
    }

private:
    std::vector<std::uint32_t> limbs_;
};

// The magnitude of a text of our grammar as digits x 10^exponent.
struct Decimal {
    std::string digits;
    long exponent = 0;
};

Decimal DecimalOf(const std::wstring& text, const NumberFormat& format) {
    Decimal decimal;
    bool fraction = false;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') {
            decimal.digits += static_cast<char>(c);
            if (fraction) --decimal.exponent;
        } else if (c == format.decimal) {
            fraction = true;
        } else if (c == L'e' || c == L'E') {
            break;
        }
    }
    if (i < text.size()) decimal.exponent += std::wcstol(text.c_str() + i + 1, nullptr, 10);
    return decimal;
}

// Whether value is the double nearest to the text's number (ties to even).
bool CorrectlyRounded(const std::wstring& text, const NumberFormat& format, double value) {
    const Decimal decimal = DecimalOf(text, format);
    std::uint64_t bits;
    const double magnitude = std::fabs(value);
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int field = static_cast<int>(bits >> 52);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    // magnitude = m x 2^k
    const std::uint64_t m = field == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int k = field == 0 ? -1074 : field - 1075;
    const bool lower_gap_halves = field > 1 && fraction == 0;

    // Both sides as whole numbers: the text's number times 2^shift x 10^scale against
    // a halfway point times the same.
    const int scale = decimal.exponent < 0 ? static_cast<int>(-decimal.exponent) : 0;
    const int shift = 2 - k > 0 ? 2 - k : 0;
    Natural number;
    for (const char digit : decimal.digits) {
        number.Multiply(10);
        number.Add(static_cast<std::uint32_t>(digit - '0'));
    }
    if (decimal.exponent > 0) number.Power10(static_cast<int>(decimal.exponent));
    number.Shift(shift);
    auto halfway = [&](std::uint64_t quarters) {  // quarters x 2^(k-2), scaled as the number is
        Natural point;
        point.Add(static_cast<std::uint32_t>(quarters >> 32));
        point.Shift(32);
        point.Add(static_cast<std::uint32_t>(quarters));
        point.Shift(k - 2 + shift);
        point.Power10(scale);
        return point;
    };
    const int above = Compare(number, halfway(4 * m + 2));
    const int below = Compare(number, halfway(lower_gap_halves ? 4 * m - 1 : (m == 0 ? 0 : 4 * m - 2)));
    const bool even = (m & 1) == 0;
    if (above > 0 || (above == 0 && !even)) return false;
    if (m == 0) return true;
    return below > 0 || (below == 0 && even);
}

std::optional<double> Platform(const std::wstring& text, LCID lcid) {
    double value = 0;
    // The locale's own separators, whatever the user has changed.
    if (FAILED(VarR8FromStr(const_cast<OLECHAR*>(text.c_str()), lcid, LOCALE_NOUSEROVERRIDE, &value)))
        return std::nullopt;
    return value;
}

// Distance in representable doubles (0: the same double; +0 and -0 count as one).
std::int64_t UlpDistance(double a, double b) {
    auto ordered = [](double x) {
        std::int64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        return bits < 0 ? std::numeric_limits<std::int64_t>::min() - bits : bits;
    };
    const std::int64_t difference = ordered(a) - ordered(b);
    return difference < 0 ? -difference : difference;
}

// How far a reader's rounding may take it from the right double and still have read the
// same number: far beyond any platform's rounding seen (9 ulps), far below a digit among
// the first twelve, a separator, a sign or an exponent read wrongly (a relative 1e-12 is
// about 4500 ulps).
constexpr std::int64_t kRoundingNoiseUlps = 1 << 12;

// Both readers accepted the text: ours must be the correctly rounded double, the
// platform's the same number within rounding of it.
void ExpectBothReadTheNumber(const std::wstring& text, const Locale& locale, double ours, double platform) {
    EXPECT_TRUE(CorrectlyRounded(text, locale.format, ours)) << Printable(text) << " read as " << ours;
    EXPECT_LE(UlpDistance(ours, platform), kRoundingNoiseUlps)
        << Printable(text) << ": ours " << ours << ", the platform's " << platform;
}


struct Tally {
    int both = 0;
    int ours_only = 0;
    int platform_only = 0;
    int neither = 0;
    int exact = 0;
    std::map<std::int64_t, int> ulps;  // distance -> texts, for values that differ
    std::vector<std::string> examples;

    void Example(const std::string& line) {
        if (examples.size() < 3) examples.push_back(line);
    }
};

// Compares the two readers on one text; returns the distance in ulps when both accept.
std::optional<std::int64_t> Compare(const std::wstring& text, const Locale& locale, Tally& tally) {
    const std::optional<double> ours = ReadNumber(text, locale.format);
    const std::optional<double> platform = Platform(text, locale.lcid);
    if (ours && platform) {
        ++tally.both;
        const std::int64_t distance = UlpDistance(*ours, *platform);
        if (distance == 0) {
            ++tally.exact;
        } else {
            ++tally.ulps[distance];
            char line[160];
            std::snprintf(line, sizeof line, " ours %.17g, platform %.17g (%lld ulp)", *ours, *platform,
                          static_cast<long long>(distance));
            tally.Example(Printable(text) + line);
        }
        return distance;
    }
    if (ours) {
        ++tally.ours_only;
        tally.Example(Printable(text) + " only ours accepts");
    } else if (platform) {
        ++tally.platform_only;
        tally.Example(Printable(text) + " only the platform accepts");
    } else {
        ++tally.neither;
    }
    return std::nullopt;
}

void Report(const char* what, const Tally& tally) {
    std::printf("%s: both accept %d (same double %d", what, tally.both, tally.exact);
    for (const auto& [distance, count] : tally.ulps) std::printf(", %lld ulp apart %d", static_cast<long long>(distance), count);
    std::printf("), only ours %d, only the platform %d, neither %d\n", tally.ours_only, tally.platform_only,
                tally.neither);
    for (const std::string& example : tally.examples) std::printf("    %s\n", example.c_str());
}

// Where the two differ in value, the referee above says which one is right.
TEST(NumberReaderDifferentialTest, OnTextsOfOurGrammarBothReadTheSameValue) {
    for (const Locale& locale : kLocales) {
        SCOPED_TRACE(locale.name);
        TextGenerator generator(kSeed + locale.lcid);
        Tally tally;
        int platform_off = 0;
        for (int i = 0; i < kGrammarTexts; ++i) {
            const std::wstring text = generator.Next(locale.format);
            const auto distance = Compare(text, locale, tally);
            if (!distance) continue;
            const double ours = *ReadNumber(text, locale.format);
            const double platform = *Platform(text, locale.lcid);
            ExpectBothReadTheNumber(text, locale, ours, platform);
            if (i % 1000 == 0) {
                // The referee itself: neither neighbour of the right double passes.
                EXPECT_FALSE(CorrectlyRounded(text, locale.format, std::nextafter(ours, HUGE_VAL))) << Printable(text);
                EXPECT_FALSE(CorrectlyRounded(text, locale.format, std::nextafter(ours, -HUGE_VAL))) << Printable(text);
            }
            if (*distance != 0 && !CorrectlyRounded(text, locale.format, platform)) ++platform_off;
        }
        // Ours being right, the distances tallied are the platform's from the right double.
        Report(locale.name, tally);
        std::printf("%s: ours correctly rounded on all %d; the platform not on %d of them\n", locale.name,
                    tally.both, platform_off);
        // Our grammar is within the platform's: what one refuses, the other does too (values
        // beyond the doubles are refused by both).
        EXPECT_EQ(tally.ours_only, 0);
        EXPECT_EQ(tally.platform_only, 0);
        EXPECT_GT(tally.both, kGrammarTexts * 9 / 10) << "the generator makes too few readable texts";
    }
}

TEST(NumberReaderDifferentialTest, OutsideOurGrammarThePlatformAcceptsMoreAndNeverLess) {
    for (const Locale& locale : kLocales) {
        SCOPED_TRACE(locale.name);
        TextGenerator generator(kSeed + locale.lcid + 1);
        for (const Mutation& mutation : kMutations) {
            SCOPED_TRACE(mutation.name);
            Tally tally;
            for (int i = 0; i < 500; ++i) {
                const std::wstring text = mutation.apply(generator.Next(locale.format), locale, generator);
                if (Compare(text, locale, tally)) {
                    ExpectBothReadTheNumber(text, locale, *ReadNumber(text, locale.format),
                                            *Platform(text, locale.lcid));
                }
            }
            Report((std::string(locale.name) + ", " + mutation.name).c_str(), tally);
            EXPECT_EQ(tally.ours_only, 0) << "ours accepts what the platform refuses";
        }
    }
}

}  // namespace
}  // namespace zorvane::reliability
