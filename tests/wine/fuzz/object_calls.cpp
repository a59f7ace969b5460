// Calls a host makes on our objects through COM itself: creation by every way there is,
// the class object (its locks, aggregation, odd identifiers), QueryInterface, releases.
#include <objbase.h>

#include <algorithm>
#include <cstdint>

#include "plugin/plugin_identity.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {

void Session::CreatePlugIn() {
    const auto iids = Iids();
    const NamedIid kGood[] = {iids[0], iids[1], iids[2], iids[3], iids[4], iids[6]};
    const NamedIid& want = random_.Chance(85) ? random_.Pick(kGood) : random_.Pick(iids);
    IUnknown* object = nullptr;
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    const unsigned way = random_.Below(10);
    // The class object from get, then the plug-in from it.
    const auto through_class_object = [&](const char* call, const char* refused, const auto& get) {
        IClassFactory* factory = nullptr;
        ticket = Journal::Call(depth(), call);
        hr = get(reinterpret_cast<void**>(&factory));
        tally_.Record(hr);
        Journal::Result(ticket, Hex(hr));
        if (FAILED(hr) || factory == nullptr) Journal::Fail(refused);
        ticket = Journal::Call(depth(), std::string("IClassFactory::CreateInstance(null, ") + want.name + ")");
        hr = factory->CreateInstance(nullptr, want.iid, reinterpret_cast<void**>(&object));
        factory->Release();
    };
    if (way < 5) {
        through_class_object("DllGetClassObject(clsVELTPlugIn, IClassFactory)",
                             "DllGetClassObject refuses the plug-in class", [&](void** factory) {
                                 return get_class_object_(kPlugInClassId, IID_IClassFactory, factory);
                             });
    } else {
        CLSID class_id{};
        if (FAILED(CLSIDFromProgID(kPlugInProgId, &class_id)) || class_id != kPlugInClassId) {
            Journal::Fail("the programmatic identifier does not name the plug-in class");
        }
        if (way < 8) {
            ticket = Journal::Call(depth(), std::string("CoCreateInstance(Zorvane.clsVELTPlugIn, ") + want.name + ")");
            hr = CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, want.iid, reinterpret_cast<void**>(&object));
        } else {
            through_class_object("CoGetClassObject(Zorvane.clsVELTPlugIn)", "CoGetClassObject refuses the plug-in class",
                                 [&](void** factory) {
                                     return CoGetClassObject(class_id, CLSCTX_INPROC_SERVER, nullptr,
                                                             IID_IClassFactory, factory);
                                 });
        }
    }
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    tally_.Count("creations");
    if (Answers(Kind::PlugIn, want.iid)) {
        if (hr != S_OK || object == nullptr) Journal::Fail("creating a plug-in for an interface it has failed");
        Hold(object, want.iid, want.name, Kind::PlugIn);
    } else {
        if (hr != E_NOINTERFACE) Journal::Fail("creating a plug-in for an interface it lacks did not give E_NOINTERFACE");
        if (object != nullptr) Journal::Fail("a refused creation handed out an object");
    }
}

void Session::ClassObjectCall() {
    tally_.Count("class object calls");
    // The class object: held, or asked for now, with odd identifiers now and then.
    IClassFactory* factory = nullptr;
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::Factory; });
    if (held != nullptr && random_.Chance(60)) {
        held->pointer->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    } else {
        static const NamedIid kClasses[] = {{"clsVELTPlugIn", kPlugInClassId},
                                            {"the LIBID", kLibraryId},
                                            {"_clsVELTPlugIn's IID", __uuidof(_clsVELTPlugIn)},
                                            {"CLSID_NULL", CLSID_NULL}};
        const NamedIid& class_id = random_.Chance(80) ? kClasses[0] : random_.Pick(kClasses);
        const NamedIid& iid = random_.Chance(80) ? (random_.Chance(50) ? Iids()[kIidClassFactory] : Iids()[kIidIUnknown]) : random_.Pick(Iids());
        const bool null_out = random_.Chance(5);
        void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEF));
        const std::uint64_t ticket = Journal::Call(
            depth(), Format("DllGetClassObject(%s, %s%s)", class_id.name, iid.name, null_out ? ", null out" : ""));
        const HRESULT hr = get_class_object_(class_id.iid, iid.iid, null_out ? nullptr : &out);
        tally_.Record(hr);
        Journal::Result(ticket, Hex(hr));
        HRESULT expected = S_OK;
        if (null_out) {
            expected = E_POINTER;
        } else if (class_id.iid != kPlugInClassId) {
            expected = CLASS_E_CLASSNOTAVAILABLE;
        } else if (!Answers(Kind::Factory, iid.iid)) {
            expected = E_NOINTERFACE;
        }
        if (hr != expected) Journal::Fail("DllGetClassObject answered " + Hex(hr) + ", not " + Hex(expected));
        if (null_out) return;
        if (FAILED(hr)) {
            if (out != nullptr) Journal::Fail("a refused DllGetClassObject left its out-pointer set");
            return;
        }
        auto* object = static_cast<IUnknown*>(out);
        object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
        if (random_.Chance(40)) {
            Hold(object, iid.iid, iid.name, Kind::Factory);
        } else {
            object->Release();
        }
    }
    if (factory == nullptr) return;

    switch (random_.Below(3)) {
        case 0: {  // LockServer, balanced or not
            const BOOL lock = random_.Chance(50);
            const std::uint64_t ticket = Journal::Call(depth(), lock ? "LockServer(TRUE)" : "LockServer(FALSE)");
            const HRESULT hr = factory->LockServer(lock);
            tally_.Record(hr);
            Journal::Result(ticket, Hex(hr));
            if (hr != S_OK) Journal::Fail("LockServer failed");
            lifetime_->Locked(lock);
            break;
        }
        default: {  // CreateInstance with an outer object, odd identifiers, no out-pointer
            const bool outer = random_.Chance(25);
            const bool null_out = random_.Chance(8);
            const NamedIid& iid = random_.Pick(Iids());
            HostObject* aggregator = outer ? &objects_.at(random_.Below(objects_.size())) : nullptr;
            const ULONG before = aggregator != nullptr ? aggregator->references() : 0;
            void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEF));
            const std::uint64_t ticket = Journal::Call(
                depth(), Format("IClassFactory::CreateInstance(%s, %s%s)",
                                aggregator != nullptr ? aggregator->Name().c_str() : "null", iid.name,
                                null_out ? ", null out" : ""));
            const HRESULT hr = factory->CreateInstance(aggregator, iid.iid, null_out ? nullptr : &out);
            tally_.Record(hr);
            Journal::Result(ticket, Hex(hr));
            HRESULT expected = S_OK;
            if (null_out) {
                expected = E_POINTER;
            } else if (aggregator != nullptr) {
                expected = CLASS_E_NOAGGREGATION;
            } else if (!Answers(Kind::PlugIn, iid.iid)) {
                expected = E_NOINTERFACE;
            }
            if (hr != expected) Journal::Fail("CreateInstance answered " + Hex(hr) + ", not " + Hex(expected));
            if (aggregator != nullptr && aggregator->references() != before) {
                Journal::Fail("CreateInstance kept a reference to the outer object it refused");
            }
            if (null_out) break;
            if (FAILED(hr)) {
                if (out != nullptr) Journal::Fail("a refused CreateInstance left its out-pointer set");
                break;
            }
            Hold(static_cast<IUnknown*>(out), iid.iid, iid.name, Kind::PlugIn);
            break;
        }
    }
    factory->Release();
}

void Session::QueryInterfaceCall() {
    Held* held = PickHeld([](const Held& h) { return h.kind != Kind::ModuleInfo; });
    if (held == nullptr) return CreatePlugIn();
    tally_.Count("QueryInterface calls");
    const NamedIid& iid = random_.Pick(Iids());
    const bool null_out = random_.Chance(5);
    IUnknown* pointer = held->pointer;
    const Kind kind = held->kind;
    const IUnknown* identity = held->identity;
    pointer->AddRef();
    void* out = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEF));
    const std::uint64_t ticket = Journal::Call(
        depth(), Format("%s (%s)->QueryInterface(%s%s)", KindName(kind), held->iid_name, iid.name, null_out ? ", null" : ""));
    const HRESULT hr = pointer->QueryInterface(iid.iid, null_out ? nullptr : &out);
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    const HRESULT expected = null_out ? E_POINTER : Answers(kind, iid.iid) ? S_OK : E_NOINTERFACE;
    if (hr != expected) Journal::Fail("QueryInterface answered " + Hex(hr) + ", not " + Hex(expected));
    if (!null_out && SUCCEEDED(hr)) {
        auto* object = static_cast<IUnknown*>(out);
        if (IdentityOf(object) != identity) Journal::Fail("QueryInterface handed out another object");
        if (random_.Chance(60)) {
            Hold(object, iid.iid, iid.name, kind);
        } else {
            object->Release();
        }
    } else if (!null_out && out != nullptr) {
        Journal::Fail("a refused QueryInterface left its out-pointer set");
    }
    pointer->Release();
}

void Session::ReleaseOne() {
    if (held_.empty()) return Idle();
    const std::size_t index = random_.Below(held_.size());
    Journal::Note(depth(), Format("host releases a %s (%s)", KindName(held_[index].kind), held_[index].iid_name));
    tally_.Count("releases");
    Drop(index);
}

void Session::ReleaseEverything() {
    Journal::Note(depth(), "host releases everything it holds");
    tally_.Count("releases of everything");
    while (!held_.empty()) Drop(held_.size() - 1);
}

}  // namespace zorvane::fuzz
