#pragma once
// The model of what the DLL holds: the host's references to our objects, the class
// object's locks, the helper the last Init stored, the module information's armed fault.
// Its checks: each object of ours counts the references the host accounts for, the DLL
// holds of the host's objects only the helper and the last channel value, and
// DllCanUnloadNow answers S_OK exactly when nothing is in use.
#include <windows.h>
#include <oaidl.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <set>
#include <vector>

#include "host/standin/module_info.h"
#include "tests/wine/fuzz/host_objects.h"
#include "tests/wine/fuzz/our_objects.h"
#include "tests/wine/fuzz/scripted_host.h"

namespace zorvane::fuzz {

class LifetimeModel {
public:
    LifetimeModel(ObjectPool& objects, ScriptedHost& helpers, standin::ModuleInfoFactory& infos)
        : objects_(objects), helpers_(helpers), infos_(infos) {}

    // LockServer(TRUE or FALSE) answered S_OK.
    void Locked(bool lock) { locks_ = lock ? locks_ + 1 : std::max(0L, locks_ - 1); }
    long locks() const noexcept { return locks_; }
    void Unlocked() { locks_ = 0; }

    // The one rule editor object: a second one while the host holds the first breaks the
    // rule (once all are let go, the next may be another).
    void SawTool(IUnknown* identity, const std::vector<Held>& held) const;
    // Init was called with these objects of ours among its arguments; its outcome unknown.
    void OfferedToInit(IUnknown* ours) { offered_ours_.insert(ours); }
    void HelperUnknown() { helper_known_ = false; }
    // Init answered, storing this helper (null: none).
    void HelperStored(IUnknown* identity) {
        helper_known_ = true;
        helper_identity_ = identity;
    }

    // A fault armed for the next module information; taken by the next read.
    void ArmFault(HRESULT code) { module_info_fault_ = code; }
    std::optional<HRESULT> TakeFault() { return std::exchange(module_info_fault_, std::nullopt); }
    bool FaultArmed() const noexcept { return module_info_fault_.has_value(); }
    HRESULT fault() const noexcept { return module_info_fault_.value_or(S_OK); }

    // Something of the DLL is in use: code of ours running (depth), references held,
    // locks, a window.
    bool InUse(int depth, bool holds) const;
    void CheckCanUnloadNow(HRESULT hr, bool in_use) const;
    // DllCanUnloadNow said S_OK: the DLL let go of everything of the host's.
    void Unloaded();
    // After every step: the references on both sides.
    void CheckObjects(const char* when, const std::vector<Held>& held) const;

private:
    bool MayBeHelper(IUnknown* identity) const;

    ObjectPool& objects_;
    ScriptedHost& helpers_;
    standin::ModuleInfoFactory& infos_;
    long locks_ = 0;
    bool helper_known_ = true;
    IUnknown* helper_identity_ = nullptr;
    std::set<IUnknown*> offered_ours_;  // objects of ours offered to Init as its helper
    std::optional<HRESULT> module_info_fault_;
};

}  // namespace zorvane::fuzz
