#pragma once
// Actions run later by whatever message loop is running then (the host's, a box's, a
// modal show's): a zero-time thread timer each.
#include <windows.h>

#include <functional>

namespace zorvane::fuzz {

UINT_PTR Defer(std::function<void()> action);
// Drops an action not yet run; 0 is no action.
void CancelDeferred(UINT_PTR id);

}  // namespace zorvane::fuzz
