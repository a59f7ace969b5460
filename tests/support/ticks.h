#pragma once
// Ticks of the rule editor's Timer1: one at a time as the message loop delivers them, or
// counted against a timer of the caller's own. An interval is judged only against such a
// reference timer, never against the wall clock: both tick on this thread, under the
// same load, so a busy machine slows them alike.
#include <windows.h>

#include <functional>

namespace zorvane::test {

// Dispatches this thread's messages until one WM_TIMER of the editor's Timer1 has been
// dispatched (true), or the time is up (false). Other messages are dispatched as they come.
bool RunOneTick(HWND editor, DWORD timeout_ms = 3000);

// A tick sent straight to the window, for a benchmark that times one.
void SendTick(HWND editor);

// A thread timer of the caller's own; counts its ticks while messages are dispatched.
class ReferenceTimer {
public:
    explicit ReferenceTimer(UINT interval_ms);
    ~ReferenceTimer();
    ReferenceTimer(const ReferenceTimer&) = delete;
    ReferenceTimer& operator=(const ReferenceTimer&) = delete;

    int ticks() const;

private:
    UINT_PTR id_;
};

// Dispatches messages while a reference timer of interval_ms ticks `periods` times;
// returns what count() grew by meanwhile (count: host reads, writes, ticks...).
int GrowthOver(UINT interval_ms, int periods, const std::function<int()>& count);

// The editor's Timer1 ticks dispatched while a reference timer ticks `periods` times.
int EditorTicksOver(HWND editor, UINT interval_ms, int periods);

// True when `observed` ticks are as many as a timer of the same interval gives in
// `periods` periods: one more or fewer for where in its period each timer started, or a
// quarter of them on a long count. Tells 1000 ms from 500 ms in two periods.
bool AboutAsMany(int observed, int periods);

}  // namespace zorvane::test
