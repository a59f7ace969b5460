#pragma once
// The rules read once, beside the list boxes that show their texts, so that a tick
// neither asks the windows for texts nor parses them. Row order follows the lists. A row
// reads as the rule it was added as, or as no rule (ReadAsAdded).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "clamp/clamp_cycle.h"
#include "common/number_text.h"

namespace zorvane {

// A row that reads as no rule, and why.
struct RowFault {
    std::int16_t row;
    RuleFault fault;

    friend bool operator==(const RowFault&, const RowFault&) = default;
};

class RuleTable final : public RuleSource {
public:
    explicit RuleTable(NumberFormat format = kEnglishFormat);

    // Throws HostError(kOverflow) when the table already holds 32767 rows.
    void Append(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum);
    void Remove(std::int16_t row);  // out of range: nothing
    void Clear();

    // Reads every row again when the user's separators have changed: a row whose texts
    // now read as another rule reads as no rule until separators come that read it as added.
    void SetFormat(const NumberFormat& format);
    const NumberFormat& format() const noexcept { return format_; }

    std::int16_t RowCount() const override;
    // Throws HostError(DISP_E_BADINDEX) for a row outside the table.
    RuleReading Row(std::int16_t row) const override;

    // The rows that have come to read as no rule, or as no rule for another reason, since
    // the last call: each once while it stays so, in row order.
    std::vector<RowFault> TakeNewFaults();

private:
    struct Texts {
        std::wstring channel, minimum, maximum;
        RuleReading added;  // as read when appended
    };
    struct Read {
        RuleReading reading;
        bool fault_taken;
    };
    Read ReadTexts(const Texts& texts) const;

    NumberFormat format_;
    std::vector<Read> read_;
    std::vector<Texts> texts_;
    bool new_faults_ = false;  // spares the ticks a walk over a table that reads well
};

}  // namespace zorvane
