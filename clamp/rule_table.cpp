#include "clamp/rule_table.h"

#include <limits>

#include "common/host_error.h"

namespace zorvane {
namespace {

constexpr std::int32_t kBadIndex = static_cast<std::int32_t>(0x8002000B);  // DISP_E_BADINDEX
constexpr std::size_t kMaxRows = std::numeric_limits<std::int16_t>::max();

}  // namespace

RuleTable::RuleTable(NumberFormat format) : format_(format) {}

RuleTable::Read RuleTable::ReadTexts(const Texts& texts) const {
    return {ReadAsAdded(texts.added, ReadRule(texts.channel, texts.minimum, texts.maximum, format_)), false};
}

void RuleTable::Append(std::wstring_view channel, std::wstring_view minimum,
                       std::wstring_view maximum) {
    if (texts_.size() >= kMaxRows) {
        throw HostError(kOverflow, L"Es k\u00F6nnen nicht mehr als 32767 Eintr\u00E4ge angelegt werden.");
    }
    const RuleReading added = ReadRule(channel, minimum, maximum, format_);
    Texts texts{std::wstring(channel), std::wstring(minimum), std::wstring(maximum), added};
    const Read read{added, false};
    // Both vectors grow first, so a failed allocation leaves them the same length;
    // doubling keeps a long series of appends linear.
    if (texts_.size() == texts_.capacity()) texts_.reserve(texts_.size() * 2 + 8);
    if (read_.size() == read_.capacity()) read_.reserve(read_.size() * 2 + 8);
    texts_.push_back(std::move(texts));
    read_.push_back(read);
    if (read.reading.fault != RuleFault::None) new_faults_ = true;
}

void RuleTable::Remove(std::int16_t row) {
    if (row < 0 || static_cast<std::size_t>(row) >= texts_.size()) return;
    texts_.erase(texts_.begin() + row);
    read_.erase(read_.begin() + row);
}

void RuleTable::Clear() {
    texts_.clear();
    read_.clear();
    new_faults_ = false;
}

void RuleTable::SetFormat(const NumberFormat& format) {
    if (format.decimal == format_.decimal && format.group == format_.group) return;
    format_ = format;
    for (std::size_t i = 0; i < texts_.size(); ++i) {
        Read read = ReadTexts(texts_[i]);
        // The same fault as before has been taken already; a new one, or another, has not.
        if (read.reading.fault == read_[i].reading.fault) {
            read.fault_taken = read_[i].fault_taken;
        } else if (read.reading.fault != RuleFault::None) {
            new_faults_ = true;
        }
        read_[i] = read;
    }
}

std::int16_t RuleTable::RowCount() const {
    return static_cast<std::int16_t>(read_.size());
}

RuleReading RuleTable::Row(std::int16_t row) const {
    // Rows come from the windows' own lists; a row outside them is a caller's mistake.
    if (row < 0 || static_cast<std::size_t>(row) >= read_.size()) [[unlikely]] {
        throw HostError(kBadIndex, L"Die Zeile " + std::to_wstring(row) + L" gibt es nicht.");
    }
    return read_[static_cast<std::size_t>(row)].reading;
}

std::vector<RowFault> RuleTable::TakeNewFaults() {
    std::vector<RowFault> faults;
    if (!new_faults_) return faults;
    const auto is_new = [](const Read& read) {
        return read.reading.fault != RuleFault::None && !read.fault_taken;
    };
    std::size_t count = 0;
    for (const Read& read : read_) count += is_new(read) ? 1 : 0;
    faults.reserve(count);  // the one allocation, before any row is marked as taken
    for (std::size_t i = 0; i < read_.size(); ++i) {
        if (!is_new(read_[i])) continue;
        faults.push_back({static_cast<std::int16_t>(i), read_[i].reading.fault});
        read_[i].fault_taken = true;
    }
    new_faults_ = false;
    return faults;
}

}  // namespace zorvane
