#include "tests/support/ticks.h"

#include <algorithm>
#include <map>

#include "tests/support/pump.h"
#include "ui/win32/control_ids.h"
#include "win/com_error.h"

namespace zorvane::test {
namespace {

thread_local std::map<UINT_PTR, int> t_reference_ticks;

void CALLBACK CountReferenceTick(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    const auto found = t_reference_ticks.find(id);
    if (found != t_reference_ticks.end()) ++found->second;
}

bool IsTimer1(const MSG& message, HWND editor) {
    return message.message == WM_TIMER && message.hwnd == editor && message.wParam == ui::kTimer1;
}

// Long enough for any machine, short enough that a timer which never ticks ends the wait.
DWORD PatienceFor(UINT interval_ms, int periods) { return interval_ms * static_cast<DWORD>(periods) * 5 + 5000; }

}  // namespace

bool RunOneTick(HWND editor, DWORD timeout_ms) {
    bool ticked = false;
    return PumpUntil([&] { return ticked; }, timeout_ms,
                     [&](const MSG& message) { ticked = ticked || IsTimer1(message, editor); });
}

void SendTick(HWND editor) { SendMessageW(editor, WM_TIMER, ui::kTimer1, 0); }

ReferenceTimer::ReferenceTimer(UINT interval_ms) : id_(SetTimer(nullptr, 0, interval_ms, CountReferenceTick)) {
    if (id_ == 0) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"SetTimer");
    t_reference_ticks[id_] = 0;
}

ReferenceTimer::~ReferenceTimer() {
    KillTimer(nullptr, id_);
    t_reference_ticks.erase(id_);
}

int ReferenceTimer::ticks() const { return t_reference_ticks.at(id_); }

int GrowthOver(UINT interval_ms, int periods, const std::function<int()>& count) {
    const int before = count();
    const ReferenceTimer reference(interval_ms);
    PumpUntil([&] { return reference.ticks() >= periods; }, PatienceFor(interval_ms, periods));
    return count() - before;
}

int EditorTicksOver(HWND editor, UINT interval_ms, int periods) {
    int ticks = 0;
    const ReferenceTimer reference(interval_ms);
    PumpUntil([&] { return reference.ticks() >= periods; }, PatienceFor(interval_ms, periods),
              [&](const MSG& message) {
                  if (IsTimer1(message, editor)) ++ticks;
              });
    return ticks;
}

bool AboutAsMany(int observed, int periods) {
    const int slack = std::max(1, periods / 4);
    return observed >= periods - slack && observed <= periods + slack;
}

}  // namespace zorvane::test
