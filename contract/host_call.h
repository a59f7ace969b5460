#pragma once
// Calls on the host's objects: a failure keeps the host's own words when it left them.
#include <windows.h>
#include <oleauto.h>

namespace zorvane {

// Throws win::ComError for hr, with the error information of callee when callee says
// that it sets such information for iid; otherwise with the system's text for hr.
[[noreturn]] void ThrowHostFailure(HRESULT hr, IUnknown* callee, REFIID iid);

inline void CheckHostCall(HRESULT hr, IUnknown* callee, REFIID iid) {
    if (FAILED(hr)) ThrowHostFailure(hr, callee, iid);
}

}  // namespace zorvane
