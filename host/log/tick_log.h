#pragma once
// What the host's log makes of the plug-in's ticks. A tick that wrote, had a call fail or
// was slow keeps its own line and every call it made; ticks that only read channels, or
// called nothing, are folded into one line that counts them, so that the lines that
// matter do not scroll away under a line a second. Standard C++ only: the caller gives
// every time, so a minute of ticks can be played through without waiting for it.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zorvane::host_log {

// A time of day on the local clock, as a person reads it.
struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const ClockTime&, const ClockTime&) = default;
};

enum class LineKind {
    Settled,   // stays as written
    RunSoFar,  // the folded run as it stands; the next line of either kind takes its place
};

// `-- 58 ticks without a write, 12:01:03 to 12:02:01`; one tick, or a run within one
// second, names its time once.
std::wstring QuietRunLine(unsigned ticks, ClockTime first, ClockTime last);
// `-- tick 7 at 12.345 s`, and `(slow: 130 ms)` after it when the tick was slow.
std::wstring TickLine(unsigned number, double at_seconds, std::optional<double> slow_seconds = std::nullopt);

class TickLog {
public:
    using Output = std::function<void(const std::wstring& text, LineKind kind)>;

    // A tick is slow when the host's thread came back to its own work this long or longer
    // after it took the timer's message: the plug-in's handling of the tick held up every
    // window of the desk for a tenth of a second, which a person notices, and at the
    // shortest usual poll intervals (a few hundred ms) it is a large part of the period.
    static constexpr double kSlowSeconds = 0.1;

    explicit TickLog(Output output) : output_(std::move(output)) {}

    // The timer's message was taken: tick `number` starts, `at` seconds on the log's own
    // time base and `clock` on the local clock. A tick still open ends here unmeasured.
    void TickStarted(unsigned number, double at, ClockTime clock);
    // A call the host answered: `read` a channel read, `failed` answered with an error.
    // Outside a tick it is a line of its own.
    void Call(const std::wstring& text, bool read, bool failed);
    // The host's thread is back at its own work: the open tick, if any, is complete.
    void TickHandled(double at);
    // A line of the host's own; whatever came before it is written first.
    void Note(const std::wstring& text, double at);
    // Writes all that waits: the open tick and the run. Before the output goes away, and
    // when the counts start over.
    void Finish(double at);

    // The ticks folded away so far and the channel reads they made, for a summary that
    // must add up with the lines written.
    unsigned folded_ticks() const noexcept { return folded_ticks_; }
    unsigned folded_reads() const noexcept { return folded_reads_; }
    void ResetCounts() noexcept { folded_ticks_ = folded_reads_ = 0; }

private:
    struct Tick {
        unsigned number = 0;
        double at = 0;
        ClockTime clock;
        std::vector<std::wstring> calls;
        unsigned reads = 0;
        bool noteworthy = false;  // a write, a failure or any call that is not a read
    };
    struct Run {
        unsigned ticks = 0;
        ClockTime first, last;
    };

    // `end`: when the thread came back; unknown when the tick ends because another began.
    void Close(std::optional<double> end);
    void EndRun();
    void Write(const std::wstring& text, LineKind kind = LineKind::Settled) {
        if (output_) output_(text, kind);
    }

    Output output_;
    std::optional<Tick> open_;
    Run run_;
    unsigned folded_ticks_ = 0, folded_reads_ = 0;
};

}  // namespace zorvane::host_log
