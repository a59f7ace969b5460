#include "host/app/call_log.h"

#include <stdexcept>

#include "host/app/elapsed_time.h"
#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// One watch per thread: a hook procedure has no context of its own.
thread_local TickWatch* current_watch = nullptr;
thread_local CallLog* current_log = nullptr;
thread_local HWND watched_window = nullptr;

// Posted to the thread as a tick is taken; when the thread takes it, the tick's handling
// is over. Posted messages come before the next timer's, and the thread takes this one
// as soon as it is back at its messages, whether or not anything else is waiting.
UINT TickHandledMessage() {
    static const UINT message = RegisterWindowMessageW(L"ZorvaneStandinHost.TickHandled");
    return message;
}

host_log::ClockTime LocalClock() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

CallLog::CallLog(std::shared_ptr<standin::StandinHost> host)
    : host_(std::move(host)), tick_log_([this](const std::wstring& line, host_log::LineKind kind) {
          if (sink_) sink_(line, kind);
      }) {}

std::size_t CallLog::Slot(int channel) {
    if (!standin::Universe::IsChannel(channel)) throw std::out_of_range("no such DMX channel");
    return static_cast<std::size_t>(channel - 1);
}

void CallLog::TakeCalls() {
    for (const standin::HostCall& call : host_->trace.calls()) {
        const bool failed = FAILED(call.result);
        const bool read = StartsWith(call.text, L"ChannelGetValue ");
        if (read) ++reads_;
        if (StartsWith(call.text, L"SetChannel ")) ++writes_;
        if (failed) ++failed_;
        tick_log_.Call(call.text, read, failed);
    }
    host_->trace.Clear();

    const ULONGLONG now = GetTickCount64();
    for (const standin::ChannelWrite& write : host_->universe.PluginWrites()) {
        ChannelWrites& slot = channel_writes_[Slot(write.channel)];
        ++slot.count;
        slot.last_value = write.value;
        slot.last_time_ms = now;
    }
    host_->universe.ClearPluginWrites();
}

void CallLog::Drain() {
    TakeCalls();
    tick_log_.TickHandled(ElapsedSeconds());
}

void CallLog::Note(const std::wstring& text) {
    TakeCalls();
    tick_log_.Note(text, ElapsedSeconds());
}

void CallLog::Finish() {
    TakeCalls();
    tick_log_.Finish(ElapsedSeconds());
}

void CallLog::TickStarting() {
    // Calls since the last tick ended are not this tick's.
    TakeCalls();
    const double now = ElapsedSeconds();
    if (ticks_ > 0) last_gap_ = now - last_tick_at_;
    last_tick_at_ = now;
    ++ticks_;
    tick_log_.TickStarted(ticks_, now, LocalClock());
}

void CallLog::TickHandled() { Drain(); }

void CallLog::StartOver() {
    Finish();
    tick_log_.ResetCounts();
    channel_writes_ = {};
    ticks_ = reads_ = writes_ = failed_ = 0;
    last_tick_at_ = last_gap_ = 0;
}

TickWatch::TickWatch(CallLog& log, HWND window) : log_(log), window_(window) {
    if (current_watch != nullptr) win::ThrowHr(E_UNEXPECTED, L"one tick watch per thread");
    hook_.reset(SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr, GetCurrentThreadId()));
    if (!hook_) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"SetWindowsHookEx(WH_GETMESSAGE)");
    current_watch = this;
    current_log = &log_;
    watched_window = window_;
}

TickWatch::~TickWatch() {
    current_watch = nullptr;
    current_log = nullptr;
    watched_window = nullptr;
}

LRESULT CALLBACK TickWatch::Hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION && wparam == PM_REMOVE && current_log != nullptr) {
        MSG* message = reinterpret_cast<MSG*>(lparam);
        try {
            if (message->message == WM_TIMER && message->hwnd == watched_window) {
                current_log->TickStarting();
                PostThreadMessageW(GetCurrentThreadId(), TickHandledMessage(), 0, 0);
            } else if (message->message == TickHandledMessage() && message->hwnd == nullptr) {
                message->message = WM_NULL;  // ours alone; nobody else is to act on it
                current_log->TickHandled();
            }
        } catch (...) {
            // The tick goes uncounted or unjudged; the plug-in's timer is not ours to disturb.
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace zorvane::host_app
