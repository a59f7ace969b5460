#include "tests/wine/fuzz/lifetime_model.h"

#include <map>
#include <string>

#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/window_model.h"

namespace zorvane::fuzz {

void LifetimeModel::SawTool(IUnknown* identity, const std::vector<Held>& held) const {
    for (const Held& h : held) {
        if (h.kind == Kind::Tool && h.identity != identity) {
            Journal::Fail("a second rule editor object exists beside the first");
        }
    }
}

bool LifetimeModel::MayBeHelper(IUnknown* identity) const {
    return offered_ours_.count(identity) != 0 && (!helper_known_ || helper_identity_ == identity);
}

bool LifetimeModel::InUse(int depth, bool holds) const {
    return depth > 0 || holds || locks_ > 0 || EditorWindow() != nullptr || AboutWindow() != nullptr;
}

void LifetimeModel::CheckCanUnloadNow(HRESULT hr, bool in_use) const {
    // A helper of ours (a plug-in or the rule editor offered to Init) keeps the module too.
    const bool maybe_held_by_helper = !helper_known_ || offered_ours_.count(helper_identity_) != 0;
    if (hr != S_OK && hr != S_FALSE) Journal::Fail("DllCanUnloadNow answered " + Hex(hr));
    if (hr == S_OK && in_use) Journal::Fail("DllCanUnloadNow answered S_OK while something of the DLL is in use");
    if (hr == S_FALSE && !in_use && !maybe_held_by_helper) {
        Journal::Fail("DllCanUnloadNow answered S_FALSE though nothing of the DLL is in use");
    }
}

void LifetimeModel::Unloaded() {
    helper_known_ = true;
    helper_identity_ = nullptr;
    offered_ours_.clear();
    // The helper and the channel value are let go of now.
    const std::string surplus = objects_.Surpluses([](const HostObject&, long surplus) { return surplus == 0; });
    if (!surplus.empty()) Journal::Fail("the module let go of its state and still holds host objects:" + surplus);
    int held = 0;
    const std::string helpers = helpers_.Holdings([](IDispatch*, long) { return false; }, held);
    if (!helpers.empty()) Journal::Fail("the module let go of its state and still holds:" + helpers);
}

void LifetimeModel::CheckObjects(const char* when, const std::vector<Held>& held) const {
    // Our objects: each counts exactly the references the host holds (the rule editor also
    // one for each module information that carries it; the component's window instance
    // holds no reference to it), one more when it may be the stored helper.
    std::map<IUnknown*, std::pair<Kind, long>> ours;
    std::map<IUnknown*, IUnknown*> pointer_of;
    for (const Held& h : held) {
        auto& entry = ours[h.identity];
        entry.first = h.kind;
        ++entry.second;
        pointer_of[h.identity] = h.pointer;
    }
    const auto& records = infos_.created();
    long alive_infos = 0;
    for (const auto& record : records) alive_infos += record->alive ? 1 : 0;
    long held_infos = 0;
    for (const auto& [identity, entry] : ours) {
        long expected = entry.second;
        if (entry.first == Kind::ModuleInfo) ++held_infos;
        if (entry.first == Kind::Tool) {
            for (const auto& record : records) {
                if (record->alive && record->values.tool_window != nullptr) ++expected;
            }
        }
        const long actual = static_cast<long>(RefCount(pointer_of[identity]));
        if (actual != expected && !(MayBeHelper(identity) && actual == expected + 1)) {
            Journal::Fail(Format("%s: the %s has %ld references, the host accounts for %ld", when, KindName(entry.first), actual,
                                 expected));
        }
    }
    if (alive_infos != held_infos) {
        Journal::Fail(Format("%s: %ld module-information objects live, the host holds %ld", when, alive_infos, held_infos));
    }

    // The host's objects: what the DLL holds of them is the stored helper and the last
    // channel value read, nothing else.
    int helpers_held = 0;
    long values_held = 0;
    const auto is_value = [](const HostObject& object) { return object.number() >= 100; };
    std::string wrong = objects_.Surpluses([&](const HostObject& object, long surplus) {
        if (is_value(object)) {
            values_held += surplus;
            return surplus == 0 || surplus == 1;
        }
        if (surplus == 0) return true;
        if (surplus != 1 || !object.offered_to_init) return false;
        ++helpers_held;
        return !helper_known_ || helper_identity_ == static_cast<const IUnknown*>(static_cast<const IDispatch*>(&object));
    });
    wrong += helpers_.Holdings(
        [&](IDispatch* helper, long surplus) { return surplus == 1 && (!helper_known_ || helper_identity_ == helper); },
        helpers_held);
    if (helper_known_ && helper_identity_ != nullptr && helpers_held == 0 && offered_ours_.count(helper_identity_) == 0) {
        wrong += " the helper stored by the last Init is not held;";
    }
    if (helpers_held > 1) wrong += Format(" %d helpers are held at once;", helpers_held);
    if (values_held > 1) wrong += Format(" %ld channel values are held at once;", values_held);
    if (!wrong.empty()) Journal::Fail(std::string(when) + ": references of host objects:" + wrong);
}

}  // namespace zorvane::fuzz
