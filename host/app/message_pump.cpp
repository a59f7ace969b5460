#include "host/app/message_pump.h"

#include <algorithm>

namespace zorvane::host_app {
namespace {

void DispatchPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Someone wants the program to end: keep the request for the main loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        DispatchPending();
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        // Wake for the next message or every 10 ms to look at done() again.
        const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10));
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

void PumpFor(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

double ElapsedSeconds() {
    static const ULONGLONG start = GetTickCount64();
    return static_cast<double>(GetTickCount64() - start) / 1000.0;
}

}  // namespace zorvane::host_app
