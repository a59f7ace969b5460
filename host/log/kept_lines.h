#pragma once
// The newest lines of a log, as a list on the screen shows them: at most `capacity` of
// them, and before them one line that says how many older ones were dropped. The list
// itself is edited in step (a few edits per line, never a refill), so that a log that
// runs for hours stays cheap to show.
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "host/log/tick_log.h"

namespace zorvane::host_log {

// `-- 1200 ältere Zeilen verworfen`: the window's own texts are German.
std::wstring DroppedLinesNotice(std::size_t dropped);

class KeptLines {
public:
    // The list on the screen; indexes count its lines from the top, the notice included.
    class View {
    public:
        virtual void Append(const std::wstring& text) = 0;
        virtual void Replace(std::size_t index, const std::wstring& text) = 0;
        virtual void Remove(std::size_t index) = 0;

    protected:
        ~View() = default;
    };

    // capacity: at least one line.
    KeptLines(std::size_t capacity, View& view);

    // A line at the end; a RunSoFar line is replaced by whatever comes next.
    void Add(const std::wstring& text, LineKind kind);

    std::size_t dropped() const noexcept { return dropped_; }
    // What the list shows, top to bottom.
    std::vector<std::wstring> Shown() const;

private:
    std::size_t capacity_;
    View& view_;
    std::deque<std::wstring> lines_;
    std::size_t dropped_ = 0;
    bool last_replaceable_ = false;
};

}  // namespace zorvane::host_log
