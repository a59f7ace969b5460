#pragma once
// The arguments of one generated call as a host passes them: VARIANTs of every automation
// type, by value and by reference (null references included), texts empty, very long and
// not valid UTF-16, objects null, ours and the host's, missing arguments, arrays; named
// arguments; and DISPPARAMS well formed, malformed or absent. Everything a value points to
// is owned here at a fixed address, copied before the call and compared after it.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tests/wine/fuzz/host_objects.h"
#include "tests/wine/fuzz/random.h"

namespace zorvane::fuzz {

// What a generated value may draw on.
struct ValueSources {
    Random& random;
    ObjectPool& objects;
    // Objects of ours a host could pass back (the rule editor, plug-ins), by pointer.
    std::vector<IDispatch*> ours;
    // Window handles a host may pass as numbers: its own windows, ours, none.
    std::vector<LONG> windows;
    wchar_t decimal = L'.';  // the user's decimal separator
};

// What a parameter wants, for arguments a host means well with.
enum class Want { Any, Long, Bool, Text, Object, ModalStyle, Owner };

// How DISPPARAMS itself goes to the call.
enum class ParamsShape {
    Normal,
    Null,             // no DISPPARAMS at all
    NullArguments,    // cArgs > 0 with rgvarg null
    NullNames,        // cNamedArgs > 0 with rgdispidNamedArgs null
    MoreNamesThanArguments,
};

class ArgPack {
public:
    explicit ArgPack(ValueSources& sources) : sources_(sources) {}
    ~ArgPack();
    ArgPack(const ArgPack&) = delete;
    ArgPack& operator=(const ArgPack&) = delete;

    // Arguments in the caller's order; `named` gives the argument a named identifier.
    void AddAny(int depth = 0);
    void AddWanted(Want want);
    void AddMissing();
    // The missing value by reference: VT_BYREF|VT_VARIANT to VT_ERROR DISP_E_PARAMNOTFOUND.
    void AddMissingByReference();
    void AddValue(const VARIANT& value, std::string text);  // borrowed: the caller keeps it alive
    void Name(std::size_t argument, DISPID id);

    void SetShape(ParamsShape shape) noexcept { shape_ = shape; }

    // Lays the arguments out as DISPPARAMS has them, copies everything, and registers it
    // as given memory. No more changes after this.
    void Seal();
    DISPPARAMS* params() noexcept;
    std::size_t count() const noexcept { return arguments_.size(); }
    std::size_t named_count() const noexcept;
    // The rgvarg index of argument i (caller's order).
    std::size_t IndexOf(std::size_t argument) const noexcept;
    // The named identifier of argument i, or DISPID_UNKNOWN for a positional one.
    DISPID NamedId(std::size_t argument) const noexcept { return arguments_[argument].named; }
    const VARIANT& Argument(std::size_t argument) const noexcept;
    ParamsShape shape() const noexcept { return shape_; }
    // Host objects in the arguments (directly or by reference).
    const std::vector<HostObject*>& host_objects() const noexcept { return host_objects_; }

    // Everything that differs from the copies taken at Seal, or an empty text.
    std::string Changes() const;
    std::string Describe() const;

private:
    struct Entry {
        VARIANT value;
        DISPID named = DISPID_UNKNOWN;
        std::string text;
    };
    struct Region {
        const void* at;
        std::vector<unsigned char> bytes;
        std::string what;
    };
    struct alignas(16) Scalar {
        unsigned char bytes[16];
    };

    void MakeAny(VARIANT& value, std::string& text, int depth);
    void MakeScalar(VARTYPE type, void* at, std::string& text);
    BSTR MakeText(std::string& text);
    SAFEARRAY* MakeArray(std::string& text);
    IUnknown* MakeObject(std::string& text);
    void MakeWanted(Want want, VARIANT& value, std::string& text);
    void Snap(const void* at, std::size_t size, std::string what);
    void SnapText(BSTR text, const std::string& what);
    void SnapArray(SAFEARRAY* array, const std::string& what);

    ValueSources& sources_;
    ParamsShape shape_ = ParamsShape::Normal;
    std::vector<Entry> arguments_;
    std::vector<VARIANT> rgvarg_;
    std::vector<DISPID> names_;
    DISPPARAMS params_{};
    bool sealed_ = false;
    int cookie_ = 0;

    // Owned storage, at fixed addresses.
    std::deque<VARIANT> inner_;
    std::deque<Scalar> scalars_;
    std::deque<IUnknown*> object_slots_;
    std::deque<BSTR> text_slots_;
    std::deque<SAFEARRAY*> array_slots_;
    std::vector<BSTR> texts_;
    std::vector<SAFEARRAY*> arrays_;
    std::vector<IUnknown*> objects_;  // one reference each
    std::vector<HostObject*> host_objects_;
    std::vector<Region> regions_;
};

}  // namespace zorvane::fuzz
