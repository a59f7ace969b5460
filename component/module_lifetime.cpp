// The module's lifetime in one place.
//
// In use, the module must stay: an object handed out through the class object (plug-in
// objects, class objects), a lock on the class object, code of ours running (a host call
// or a tick, which may let messages run and so let a host ask), a loaded window (its
// timer and window procedure are our code), or an outside reference to the rule editor.
//
// Unused, DllCanUnloadNow releases the module's state before it answers S_OK: the host's
// helper, the window instances and their classes, the keyboard hook, the cached type
// information. It is released there and not at DLL_PROCESS_DETACH, because releasing
// calls into COM and USER, which the loader lock forbids. If the module then stays
// loaded after all, its state starts empty again, as after a fresh load.
#include "component/module_lifetime.h"

#include <atomic>

#include "clamp/win32/velt_zorvane.h"
#include "contract/type_libraries.h"
#include "ui/win32/window_instances.h"
#include "win/module_count.h"

namespace zorvane::component {
namespace {

// Atomic because DllCanUnloadNow may be asked from any thread.
std::atomic<long> g_locks{0};

bool InUse() noexcept {
    return win::ModuleCount::Value() > 0 || g_locks.load() > 0 || ui::WindowsKeepModule();
}

void ReleaseModuleState() noexcept {
    velt_zorvane::Release();
    ui::ReleaseWindowInstances();
    ReleaseTypeLibraries();
}

}  // namespace

void LockModule() noexcept {
    ++g_locks;
}

void UnlockModule() noexcept {
    long locks = g_locks.load();
    while (locks > 0 && !g_locks.compare_exchange_weak(locks, locks - 1)) {
    }
}

HRESULT CanUnloadNow() noexcept {
    if (InUse()) return S_FALSE;
    ReleaseModuleState();
    return S_OK;
}

}  // namespace zorvane::component
