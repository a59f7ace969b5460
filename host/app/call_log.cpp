#include "host/app/call_log.h"

#include <cwchar>
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

}  // namespace

CallLog::CallLog(std::shared_ptr<standin::StandinHost> host) : host_(std::move(host)) {}

std::size_t CallLog::Slot(int channel) {
    if (!standin::Universe::IsChannel(channel)) throw std::out_of_range("no such DMX channel");
    return static_cast<std::size_t>(channel - 1);
}

void CallLog::Drain() {
    for (const standin::HostCall& call : host_->trace.calls()) {
        const bool failed = FAILED(call.result);
        if (StartsWith(call.text, L"ChannelGetValue ")) ++reads_;
        if (StartsWith(call.text, L"SetChannel ")) ++writes_;
        if (failed) ++failed_;
        Add(call.text);
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

void CallLog::Note(const std::wstring& text) {
    Drain();
    Add(text);
}

void CallLog::TickStarting() {
    Drain();
    const double now = ElapsedSeconds();
    if (ticks_ > 0) last_gap_ = now - last_tick_at_;
    last_tick_at_ = now;
    ++ticks_;
    wchar_t line[64];
    std::swprintf(line, 64, L"-- tick %u at %.3f s", ticks_, now);
    Add(line);
}

void CallLog::StartOver() {
    Drain();
    channel_writes_ = {};
    ticks_ = reads_ = writes_ = failed_ = 0;
    last_tick_at_ = last_gap_ = 0;
}

void CallLog::Add(const std::wstring& line) {
    if (sink_) sink_(line);
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
        const MSG* message = reinterpret_cast<const MSG*>(lparam);
        if (message->message == WM_TIMER && message->hwnd == watched_window) {
            try {
                current_log->TickStarting();
            } catch (...) {
                // The tick goes uncounted; the plug-in's timer is not ours to disturb.
            }
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace zorvane::host_app
