#include "ui/tick_failure_log.h"

#include <cwchar>

#include "ui/rule_input.h"

namespace zorvane::ui {

bool TickFailureLog::Failed(std::int32_t code, std::wstring_view description) {
    const bool repeated = failing_ && code == code_ && description == description_;
    if (!repeated) {
        description_.assign(description);
        code_ = code;
    }
    failing_ = true;
    return !repeated;
}

std::wstring TickFailureLine(std::int32_t code, std::wstring_view description) {
    wchar_t prefix[64];
    std::swprintf(prefix, 64, L"Zorvane: Timer1 tick failed (0x%08lX): ",
                  static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    std::wstring line(prefix);
    line.append(description);
    line.append(L"\n");
    return line;
}

std::wstring SkippedRowLine(std::int16_t row, RuleFault fault) {
    std::wstring line = L"Zorvane: Timer1 skipped row " + std::to_wstring(row + 1) + L": ";
    line.append(RuleFaultMessage(fault));
    line.append(L"\n");
    return line;
}

}  // namespace zorvane::ui
