#pragma once
// Calls on a host object by member name, as automation's late binding makes them: a
// refusal comes back as win::ComError with the host's own words where it gave any.
#include <windows.h>
#include <oaidl.h>

namespace zorvane::velt_zorvane {

// The refusals a late-bound caller raises itself, in its own words.
[[noreturn]] void ThrowObjectRequired();
[[noreturn]] void ThrowTypeMismatch();

// The member's identifier; a member the object does not know is refused naming it.
DISPID LookUp(IDispatch* object, const wchar_t* name);

// Invokes the member in the user's locale; name is for the refusal's words only.
void Call(IDispatch* object, DISPID id, const wchar_t* name, WORD flags, DISPPARAMS& params, VARIANT* result);

}  // namespace zorvane::velt_zorvane
