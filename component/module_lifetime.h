#pragma once
// What keeps Zorvane.dll in memory, and what it lets go of once nothing does.
#include <windows.h>

namespace zorvane::component {

// IClassFactory::LockServer. An unlock without a lock is ignored: the count never goes
// below zero, so a later lock still holds the module.
void LockModule() noexcept;
void UnlockModule() noexcept;

// DllCanUnloadNow: S_FALSE while anything of ours is in use; S_OK once nothing is, after
// the module's state has been released.
HRESULT CanUnloadNow() noexcept;

}  // namespace zorvane::component
