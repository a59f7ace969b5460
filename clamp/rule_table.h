#pragma once
// The rules converted once, beside the list boxes that show their texts, so that a
// tick neither asks the windows for texts nor parses them. Row order follows the lists.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clamp/clamp_cycle.h"
#include "common/number_text.h"

namespace zorvane {

class RuleTable final : public RuleSource {
public:
    explicit RuleTable(NumberFormat format = kEnglishFormat);

    // Throws HostError(kOverflow) when the table already holds 32767 rows.
    void Append(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum);
    void Remove(std::int16_t row);  // out of range: nothing
    void Clear();

    // Converts every row again when the user's separators have changed.
    void SetFormat(const NumberFormat& format);
    const NumberFormat& format() const noexcept { return format_; }

    std::int16_t RowCount() const override;
    // Throws HostError for the first of channel, minimum, maximum that did not convert.
    RuleValues Row(std::int16_t row) const override;

    // The texts exactly as appended.
    const std::wstring& ChannelText(std::int16_t row) const;
    const std::wstring& MinimumText(std::int16_t row) const;
    const std::wstring& MaximumText(std::int16_t row) const;

private:
    struct Converted {
        RuleValues values;
        std::uint8_t failed;  // bit 0 channel, bit 1 minimum, bit 2 maximum
    };
    struct Texts {
        std::wstring channel, minimum, maximum;
    };
    Converted Convert(const Texts& texts) const;
    [[noreturn, gnu::cold, gnu::noinline]] void ThrowRowError(std::int16_t row) const;

    NumberFormat format_;
    std::vector<Converted> converted_;
    std::vector<Texts> texts_;
};

}  // namespace zorvane
