#pragma once
// Letting the host's thread work while the scenario waits: the plug-in's timer, its
// windows and ours all run on this thread.
#include <windows.h>

#include <functional>

namespace zorvane::host_app {

// Dispatches messages for `milliseconds`.
void PumpFor(DWORD milliseconds);

// Dispatches messages until done() or the timeout; true when done() said so.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms);

// Seconds since the first call, for the log's time stamps.
double ElapsedSeconds();

}  // namespace zorvane::host_app
