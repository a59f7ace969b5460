#pragma once
// Objects a host hands to the plug-in: as OwnerForm, as any argument, as the outer object
// of a creation, as Init's helper, as a channel value. Each counts its references itself,
// so that the fuzzer can tell what the DLL still holds; some misbehave in the ways a
// host's objects may (and stay within the rules of reference counting and memory, which
// no callee can check).
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zorvane::fuzz {

class Random;

enum class Behaviour {
    Form,           // a form: answers hWnd with its window number
    QiNullSuccess,  // QueryInterface says S_OK and hands out null (IUnknown excepted)
    QiRefuses,      // only IUnknown
    QiOther,        // IDispatch is another object
    NamesUnknown,   // GetIDsOfNames knows no name
    NamesNoId,      // GetIDsOfNames says S_OK and writes no identifier
    InvokeFails,    // Invoke answers a failure code
    InvokeRaises,   // Invoke answers DISP_E_EXCEPTION with the EXCEPINFO filled
    OddResult,      // Invoke answers S_OK with a text, an object, a huge number or nothing
    ByRefNowhere,   // Invoke answers S_OK with a by-reference value pointing nowhere
    CallsBack,      // Invoke calls back into the plug-in before it answers
    Pumps,          // Invoke lets this thread's messages run before it answers
    kCount
};

const char* NameOf(Behaviour behaviour) noexcept;

class HostObject;

// What the host's objects here share: a count of their own (a release too many ends the
// run, the last deletes) and no type information.
class HostDispatch : public IDispatch {
public:
    HostDispatch(const HostDispatch&) = delete;
    HostDispatch& operator=(const HostDispatch&) = delete;

    virtual std::string Name() const = 0;
    ULONG references() const noexcept { return references_; }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override;

protected:
    HostDispatch() = default;
    virtual ~HostDispatch() = default;

private:
    ULONG references_ = 1;  // its maker's
};

// Every object of a run, with the references the fuzzer itself accounts for.
class ObjectPool {
public:
    ObjectPool() = default;
    ObjectPool(const ObjectPool&) = delete;
    ObjectPool& operator=(const ObjectPool&) = delete;
    ~ObjectPool();

    // Makes `count` objects of random behaviours; `windows` are the numbers a form may
    // answer for hWnd; `call_back` is what a CallsBack object does inside Invoke.
    void Populate(Random& random, int count, const std::vector<LONG>& windows, std::function<void()> call_back);
    // Objects handed out as channel values: tracked apart, at most one is held at a time.
    void PopulateValues(int count);

    std::size_t size() const noexcept { return objects_.size(); }
    HostObject& at(std::size_t i) noexcept { return *objects_[i]; }
    std::size_t value_count() const noexcept { return values_.size(); }
    HostObject& value(std::size_t i) noexcept { return *values_[i]; }

    // References held by the pool itself and by live argument packs.
    void Hold(const HostObject& object, int references) noexcept;

    // What the DLL holds of each object: its count beyond the pool's and the packs'.
    // An empty text when it matches `allowed` (see Session), else what does not.
    std::string Surpluses(const std::function<bool(const HostObject&, long surplus)>& allowed) const;

private:
    std::vector<HostObject*> objects_;
    std::vector<HostObject*> values_;
};

class HostObject final : public HostDispatch {
public:
    HostObject(int number, Behaviour behaviour) noexcept : number_(number), behaviour_(behaviour) {}

    int number() const noexcept { return number_; }
    Behaviour behaviour() const noexcept { return behaviour_; }
    // Its count (references()): the pool's one, the packs', and whatever the DLL holds.
    std::string Name() const override;
    long held_by_fuzzer() const noexcept { return held_; }
    // Set once the object was offered to Init: it may then be the stored helper.
    bool offered_to_init = false;
    // The object QiOther hands out for IDispatch.
    HostObject* other = nullptr;
    LONG window_answer = 0;
    HRESULT failure = E_FAIL;
    std::function<void()> call_back;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* arg_error) noexcept override;

private:
    friend class ObjectPool;
    int number_;
    Behaviour behaviour_;
    long held_ = 1;         // of references_, those the fuzzer accounts for
    unsigned answers_ = 0;  // for OddResult: which odd answer comes next
};

}  // namespace zorvane::fuzz
