#include "host/log/tick_log.h"

#include <cwchar>

namespace zorvane::host_log {
namespace {

std::wstring ClockText(ClockTime time) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

}  // namespace

std::wstring QuietRunLine(unsigned ticks, ClockTime first, ClockTime last) {
    std::wstring line = L"-- " + std::to_wstring(ticks) + (ticks == 1 ? L" tick" : L" ticks") +
                        L" without a write, " + ClockText(first);
    if (!(last == first)) line += L" to " + ClockText(last);
    return line;
}

std::wstring TickLine(unsigned number, double at_seconds, std::optional<double> slow_seconds) {
    wchar_t line[96];
    std::swprintf(line, 96, L"-- tick %u at %.3f s", number, at_seconds);
    std::wstring text = line;
    if (slow_seconds) {
        std::swprintf(line, 96, L" (slow: %.0f ms)", *slow_seconds * 1000.0);
        text += line;
    }
    return text;
}

void TickLog::TickStarted(unsigned number, double at, ClockTime clock) {
    Close(std::nullopt);
    open_ = Tick{number, at, clock, {}, 0, false};
}

void TickLog::Call(const std::wstring& text, bool read, bool failed) {
    if (!open_) {
        EndRun();
        Write(text);
        return;
    }
    open_->calls.push_back(text);
    if (read) ++open_->reads;
    if (!read || failed) open_->noteworthy = true;
}

void TickLog::TickHandled(double at) { Close(at); }

void TickLog::Note(const std::wstring& text, double at) {
    Finish(at);
    Write(text);
}

void TickLog::Finish(double at) {
    Close(at);
    EndRun();
}

void TickLog::Close(std::optional<double> end) {
    if (!open_) return;
    const Tick tick = std::move(*open_);
    open_.reset();
    const std::optional<double> took = end ? std::optional<double>(*end - tick.at) : std::nullopt;
    const bool slow = took && *took >= kSlowSeconds;
    if (!tick.noteworthy && !slow) {
        if (run_.ticks == 0) run_.first = tick.clock;
        run_.last = tick.clock;
        ++run_.ticks;
        ++folded_ticks_;
        folded_reads_ += tick.reads;
        Write(QuietRunLine(run_.ticks, run_.first, run_.last), LineKind::RunSoFar);
        return;
    }
    EndRun();
    Write(TickLine(tick.number, tick.at, slow ? took : std::nullopt));
    for (const std::wstring& call : tick.calls) Write(call);
}

void TickLog::EndRun() {
    if (run_.ticks == 0) return;
    const Run run = run_;
    run_ = {};
    Write(QuietRunLine(run.ticks, run.first, run.last));
}

}  // namespace zorvane::host_log
