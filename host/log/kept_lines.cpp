#include "host/log/kept_lines.h"

#include <algorithm>

namespace zorvane::host_log {

std::wstring DroppedLinesNotice(std::size_t dropped) {
    return L"-- " + std::to_wstring(dropped) +
           (dropped == 1 ? L" \u00E4ltere Zeile verworfen" : L" \u00E4ltere Zeilen verworfen");
}

KeptLines::KeptLines(std::size_t capacity, View& view) : capacity_(std::max<std::size_t>(capacity, 1)), view_(view) {}

void KeptLines::Add(const std::wstring& text, LineKind kind) {
    const bool replace = last_replaceable_ && !lines_.empty();
    last_replaceable_ = kind == LineKind::RunSoFar;
    if (replace) {
        lines_.back() = text;
        view_.Replace(lines_.size() - 1 + (dropped_ > 0 ? 1 : 0), text);
        return;
    }
    lines_.push_back(text);
    view_.Append(text);
    if (lines_.size() <= capacity_) return;
    lines_.pop_front();
    // The oldest line's place becomes the notice, or the notice already there is renewed.
    if (dropped_++ > 0) view_.Remove(1);
    view_.Replace(0, DroppedLinesNotice(dropped_));
}

std::vector<std::wstring> KeptLines::Shown() const {
    std::vector<std::wstring> shown;
    shown.reserve(lines_.size() + 1);
    if (dropped_ > 0) shown.push_back(DroppedLinesNotice(dropped_));
    shown.insert(shown.end(), lines_.begin(), lines_.end());
    return shown;
}

}  // namespace zorvane::host_log
