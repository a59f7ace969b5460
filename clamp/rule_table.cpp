#include "clamp/rule_table.h"

#include <limits>

#include "common/host_error.h"

namespace zorvane {
namespace {

constexpr std::int32_t kBadIndex = static_cast<std::int32_t>(0x8002000B);  // DISP_E_BADINDEX
constexpr std::size_t kMaxRows = std::numeric_limits<std::int16_t>::max();

constexpr std::uint8_t kChannelFailed = 1;
constexpr std::uint8_t kMinimumFailed = 2;
constexpr std::uint8_t kMaximumFailed = 4;

// Rows come from the windows' own lists; a row outside them is a caller's mistake.
void CheckRow(std::int16_t row, std::size_t count) {
    if (row < 0 || static_cast<std::size_t>(row) >= count) {
        throw HostError(kBadIndex, L"Die Zeile " + std::to_wstring(row) + L" gibt es nicht.");
    }
}

[[noreturn]] void ThrowConversionError(const std::wstring& text, const NumberFormat& format) {
    // A number that does not fit 32 bits is an overflow; anything else is no number.
    if (ReadNumber(text, format)) {
        throw HostError(kOverflow, L"Die Zahl \"" + text + L"\" ist zu gro\u00DF oder zu klein.");
    }
    throw HostError(kTypeMismatch, L"Der Text \"" + text + L"\" ist keine Zahl.");
}

}  // namespace

RuleTable::RuleTable(NumberFormat format) : format_(format) {}

RuleTable::Converted RuleTable::Convert(const Texts& texts) const {
    Converted result{{0, 0, 0}, 0};
    if (const auto channel = ReadInt32(texts.channel, format_)) {
        result.values.channel = *channel;
    } else {
        result.failed |= kChannelFailed;
    }
    if (const auto minimum = ReadInt32(texts.minimum, format_)) {
        result.values.minimum = *minimum;
    } else {
        result.failed |= kMinimumFailed;
    }
    if (const auto maximum = ReadInt32(texts.maximum, format_)) {
        result.values.maximum = *maximum;
    } else {
        result.failed |= kMaximumFailed;
    }
    return result;
}

void RuleTable::Append(std::wstring_view channel, std::wstring_view minimum,
                       std::wstring_view maximum) {
    if (texts_.size() >= kMaxRows) {
        throw HostError(kOverflow, L"Es k\u00F6nnen nicht mehr als 32767 Eintr\u00E4ge angelegt werden.");
    }
    Texts texts{std::wstring(channel), std::wstring(minimum), std::wstring(maximum)};
    const Converted converted = Convert(texts);
    // Both vectors grow first, so a failed allocation leaves them the same length;
    // doubling keeps a long series of appends linear.
    if (texts_.size() == texts_.capacity()) texts_.reserve(texts_.size() * 2 + 8);
    if (converted_.size() == converted_.capacity()) converted_.reserve(converted_.size() * 2 + 8);
    texts_.push_back(std::move(texts));
    converted_.push_back(converted);
}

void RuleTable::Remove(std::int16_t row) {
    if (row < 0 || static_cast<std::size_t>(row) >= texts_.size()) return;
    texts_.erase(texts_.begin() + row);
    converted_.erase(converted_.begin() + row);
}

void RuleTable::Clear() {
    texts_.clear();
    converted_.clear();
}

void RuleTable::SetFormat(const NumberFormat& format) {
    if (format.decimal == format_.decimal && format.group == format_.group) return;
    format_ = format;
    for (std::size_t i = 0; i < texts_.size(); ++i) converted_[i] = Convert(texts_[i]);
}

std::int16_t RuleTable::RowCount() const {
    return static_cast<std::int16_t>(converted_.size());
}

RuleValues RuleTable::Row(std::int16_t row) const {
    // The tick's path: a bounds test, a flag test, a copy. Everything else is out of line.
    if (row >= 0 && static_cast<std::size_t>(row) < converted_.size()) {
        const Converted& converted = converted_[static_cast<std::size_t>(row)];
        if (converted.failed == 0) [[likely]] return converted.values;
    }
    ThrowRowError(row);
}

void RuleTable::ThrowRowError(std::int16_t row) const {
    CheckRow(row, converted_.size());
    const Converted& converted = converted_[static_cast<std::size_t>(row)];
    const Texts& texts = texts_[static_cast<std::size_t>(row)];
    if (converted.failed & kChannelFailed) ThrowConversionError(texts.channel, format_);
    if (converted.failed & kMinimumFailed) ThrowConversionError(texts.minimum, format_);
    ThrowConversionError(texts.maximum, format_);
}

const std::wstring& RuleTable::ChannelText(std::int16_t row) const {
    CheckRow(row, texts_.size());
    return texts_[static_cast<std::size_t>(row)].channel;
}

const std::wstring& RuleTable::MinimumText(std::int16_t row) const {
    CheckRow(row, texts_.size());
    return texts_[static_cast<std::size_t>(row)].minimum;
}

const std::wstring& RuleTable::MaximumText(std::int16_t row) const {
    CheckRow(row, texts_.size());
    return texts_[static_cast<std::size_t>(row)].maximum;
}

}  // namespace zorvane
