#pragma once
// Calls on the host's objects: a failure keeps the host's own words when it left them.
#include <windows.h>
#include <oleauto.h>

namespace zorvane {

// Throws win::ComError for hr, with the error information of callee when callee says
// that it sets such information for iid; otherwise with the system's text for hr.
[[noreturn]] void ThrowHostFailure(HRESULT hr, IUnknown* callee, REFIID iid);

// Makes one call on a host object; a failure throws as ThrowHostFailure does. What error
// information was left from before goes first: a host that fails without words of its
// own must not be reported with another call's.
template <class Call>
void CallHost(IUnknown* callee, REFIID iid, Call&& call) {
    SetErrorInfo(0, nullptr);
    const HRESULT hr = call();
    if (FAILED(hr)) ThrowHostFailure(hr, callee, iid);
}

}  // namespace zorvane
