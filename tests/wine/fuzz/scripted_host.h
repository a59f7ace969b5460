#pragma once
// The host's helpers handed to Init, scripted: each fails, answers oddly and meddles
// (lets messages run, ticks, closes the window, calls back) in its own proportion, and
// the channel values and streams it answers with are the host's objects.
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scripted_helper.h"
#include "tests/wine/fuzz/host_objects.h"
#include "tests/wine/fuzz/random.h"

namespace zorvane::fuzz {

struct HelperProfile {
    unsigned fail;    // percent of calls that fail
    unsigned odd;     // percent of answers of an odd kind
    unsigned meddle;  // percent of calls inside which the host does something else
};

class ScriptedHost {
public:
    // `meddle` is what the host does inside a helper call that meddles.
    ScriptedHost(Random& random, ObjectPool& objects, std::function<void()> meddle);
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    // A new helper of a random profile; its number is size() - 1.
    IDispatch* NewHelper(int depth);
    std::size_t size() const noexcept { return helpers_.size(); }
    IDispatch* helper(std::size_t i) const noexcept { return helpers_[i].helper->object(); }

    // "" when what the DLL holds of the helpers is allowed by `may_hold` (a helper, its
    // surplus references) and no helper call is still in progress; counts those held.
    std::string Holdings(const std::function<bool(IDispatch* helper, long surplus)>& may_hold, int& held) const;

private:
    struct Entry {
        std::unique_ptr<test::ScriptedHelper> helper;
        HelperProfile profile;
    };
    HRESULT Value(const HelperProfile& profile, VARIANT& result);
    HRESULT Stream(const HelperProfile& profile, IDispatch* stream, VARIANT& result);

    Random& random_;
    ObjectPool& objects_;
    std::function<void()> meddle_;
    std::vector<Entry> helpers_;
    // What by-reference answers point to, kept alive by the host meanwhile.
    LONG byref_long_ = 9;
    VARIANT byref_variant_{};
    IDispatch* byref_object_ = nullptr;
    IDispatch* byref_stream_ = nullptr;
};

}  // namespace zorvane::fuzz
