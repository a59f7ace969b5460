#pragma once
// Objects passed where a member wants a number, a text or a truth value: an object's value
// is its default member (DISPID_VALUE), which these answer and count, with the locale
// each call came in. A callee reads that value once per argument, in the caller's locale,
// and keeps no reference once the call is over.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/fuzz/host_objects.h"

namespace zorvane::fuzz {

class Random;

class CountingObject final : public HostDispatch {
public:
    enum class Value { Number, NumberText, Words, Huge, Fails };

    explicit CountingObject(Value value, LONG number) noexcept : value_(value), number_(number) {}

    std::string Name() const override;
    unsigned calls() const noexcept { return static_cast<unsigned>(locales_.size()); }
    const std::vector<LCID>& locales() const noexcept { return locales_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) noexcept override;

private:
    Value value_;
    LONG number_;
    std::vector<LCID> locales_;
};

// The counting objects of one call: made for it, checked after it, gone with it.
class CountingObjects {
public:
    // A new object with a value of any kind; this keeps the one reference.
    CountingObject& Make(Random& random);
    bool empty() const noexcept { return objects_.empty(); }

    // After the call: "" when each default member was called at most once, in `lcid`,
    // and no reference is left with the callee; else what was not so.
    std::string Problems(LCID lcid) const;

private:
    struct Release {
        void operator()(CountingObject* object) const noexcept { object->Release(); }
    };
    std::vector<std::unique_ptr<CountingObject, Release>> objects_;
};

}  // namespace zorvane::fuzz
