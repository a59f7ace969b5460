#include "tests/support/pump.h"

#include <algorithm>

namespace zorvane::test {
namespace {

// One message, if there is one; false when the queue is empty or a WM_QUIT came.
bool DispatchOne(const std::function<void(const MSG&)>& seen) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) return false;
    if (message.message == WM_QUIT) {
        // Someone wants the program to end: the request stays for the main loop.
        PostQuitMessage(static_cast<int>(message.wParam));
        return false;
    }
    if (seen) seen(message);
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

}  // namespace

void DispatchPending() {
    while (DispatchOne({})) {
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms, const std::function<void(const MSG&)>& seen) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        while (DispatchOne(seen)) {
            if (done()) return true;
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        // Wake for the next message, or every 10 ms to ask done() again.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 10)),
                                  QS_ALLINPUT);
    }
}

void Pump(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

}  // namespace zorvane::test
