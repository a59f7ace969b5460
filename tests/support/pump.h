#pragma once
// Letting this thread's windows work while a test, the benchmark or the scenario waits:
// the plug-in's timer, its windows and boxes all run on the caller's thread.
#include <windows.h>

#include <functional>

namespace zorvane::test {

// Dispatches the messages already waiting; a WM_QUIT is put back for the caller's loop.
void DispatchPending();

// Dispatches messages until done() holds (asked after every message and whenever the
// queue is empty) or the timeout passes; true when done() said so. seen, when given, is
// shown each message just before it is dispatched.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms,
               const std::function<void(const MSG&)>& seen = {});

// Dispatches messages for the given time.
void Pump(DWORD milliseconds);

}  // namespace zorvane::test
