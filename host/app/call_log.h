#pragma once
// The host's view of what the plug-in does: its calls in the trace form
// (`ChannelGetValue 5 -> 3`, `SetChannel 5, 10, true`), the ticks of its timer, the
// host's own commands, and the counts a summary needs. Which lines a tick gets, and the
// folding of quiet ticks into one line, are host_log::TickLog's; this feeds it.
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "host/log/tick_log.h"
#include "host/standin/standin_host.h"
#include "win/handles.h"

namespace zorvane::host_app {

struct ChannelWrites {
    unsigned count = 0;
    int last_value = -1;
    ULONGLONG last_time_ms = 0;  // GetTickCount64 of the last write
};

class CallLog {
public:
    using Sink = std::function<void(const std::wstring& line, host_log::LineKind kind)>;

    explicit CallLog(std::shared_ptr<standin::StandinHost> host);

    // Every new line, as it is added: the settled ones, and the run of quiet ticks so far,
    // which the next line replaces (the window shows it; a stream waits for it to settle).
    void SetSink(Sink sink) { sink_ = std::move(sink); }

    // Takes the calls and writes the host has seen since the last time. The host's thread
    // is in its own code again, so a tick still open is complete.
    void Drain();
    // A line of the host's own (a command it gave, a step of the scenario).
    void Note(const std::wstring& text);
    // Writes what waits for a line: before the lines' reader goes away.
    void Finish();

    // The plug-in's timer is about to tick.
    void TickStarting();
    // The thread took its next message after the tick's: the tick is handled.
    void TickHandled();
    // Counts from nothing again, for a second run in the same host; lines already sent stay.
    void StartOver();

    unsigned ticks() const noexcept { return ticks_; }
    unsigned reads() const noexcept { return reads_; }
    unsigned writes() const noexcept { return writes_; }
    unsigned failed_calls() const noexcept { return failed_; }
    // The ticks that got no line of their own, and the channel reads among their calls.
    unsigned folded_ticks() const noexcept { return tick_log_.folded_ticks(); }
    unsigned folded_reads() const noexcept { return tick_log_.folded_reads(); }
    // Seconds between the last two ticks; 0 before the second.
    double last_tick_gap() const noexcept { return last_gap_; }
    // When the last tick started, in ElapsedSeconds.
    double last_tick_at() const noexcept { return last_tick_at_; }
    const ChannelWrites& writes_to(int channel) const { return channel_writes_.at(Slot(channel)); }

private:
    static std::size_t Slot(int channel);
    void TakeCalls();

    std::shared_ptr<standin::StandinHost> host_;
    Sink sink_;
    host_log::TickLog tick_log_;
    std::array<ChannelWrites, 512> channel_writes_{};
    unsigned ticks_ = 0, reads_ = 0, writes_ = 0, failed_ = 0;
    double last_tick_at_ = 0, last_gap_ = 0;
};

// Watches this thread's messages for the timer ticks of one window (the plug-in's tool
// window, whose timer drives the clamping) in whatever message loop runs, modal ones too.
class TickWatch {
public:
    TickWatch(CallLog& log, HWND window);  // throws win::ComError
    ~TickWatch();
    TickWatch(const TickWatch&) = delete;
    TickWatch& operator=(const TickWatch&) = delete;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) noexcept;

    CallLog& log_;
    HWND window_;
    win::UniqueHook hook_;
};

}  // namespace zorvane::host_app
