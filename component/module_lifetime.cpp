// The module's lifetime in one place.
//
// What holds the module is counted in win::ModuleCount: objects handed out through the
// class object (plug-in objects, the rule editor's tool object, class objects), locks on
// the class object, a loaded window (its timer and window procedure are our code), and
// code of ours running (a host call or a tick, which may let messages run and so let a
// host ask).
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

// Only to refuse an unlock without a lock; the locks themselves are in the module count.
// Atomic because DllCanUnloadNow may be asked from any thread.
std::atomic<long> g_locks{0};

bool InUse() noexcept {
    return win::ModuleCount::Value() > 0;
}

// The host's objects: their release runs host code, which may use the module again, even
// create a plug-in and store another helper for it. The count is asked after every round:
// once something of ours is in use, what is stored by then belongs to it and stays. False
// then, and when the host keeps storing a helper.
bool ReleaseHostObjects() noexcept {
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        {
            // Ours while it runs: a DllCanUnloadNow asked from within is answered S_FALSE.
            const win::ModuleHold hold;
            velt_zorvane::Release();
        }
        if (InUse()) return false;
        if (V_VT(&velt_zorvane::PluginHelper()) == VT_EMPTY && V_VT(&velt_zorvane::ChannelValue()) == VT_EMPTY) {
            return true;
        }
    }
    return false;
}

// Only what nothing of the host's reaches any more.
void ReleaseOwnState() noexcept {
    ui::ReleaseWindowInstances();
    ReleaseTypeLibraries();
}

}  // namespace

void LockModule() noexcept {
    ++g_locks;
    win::ModuleCount::Increment();
}

void UnlockModule() noexcept {
    long locks = g_locks.load();
    while (locks > 0) {
        if (g_locks.compare_exchange_weak(locks, locks - 1)) {
            win::ModuleCount::Decrement();
            return;
        }
    }
}

HRESULT CanUnloadNow() noexcept {
    if (InUse()) return S_FALSE;
    // Not in use after it: no object of ours the host code made then uses the window
    // instances and the type information kept.
    if (!ReleaseHostObjects()) return S_FALSE;
    ReleaseOwnState();
    return InUse() ? S_FALSE : S_OK;
}

}  // namespace zorvane::component
