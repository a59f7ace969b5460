#pragma once
// One call of a member that we answer by hand through IDispatch::Invoke, with the usual
// automation rules: the arguments placed by the one matcher (win/argument_match.h), values
// by reference followed, and every value converted in the caller's locale as any
// automation server converts it (so VT_I2 or the text "300" serve as a number).
#include <windows.h>
#include <oleauto.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "win/argument_match.h"

namespace zorvane::win {

enum MemberKind : unsigned {
    kMethod = 1,
    kPropertyGet = 2,
    kPropertyPut = 4,
};

// What a member takes: how it may be called and its parameters, in order.
struct MemberShape {
    unsigned kinds;
    std::uint8_t required;  // leading parameters that must be given
    std::array<const wchar_t*, 4> parameters{};  // names; null after the last

    std::size_t ParameterCount() const noexcept;
};

// A malformed call: the code goes back to the caller as it is, with the index (in
// DISPPARAMS order) of the argument at fault when there is one.
struct DispatchFault {
    HRESULT hr;
    int argument = -1;
    const wchar_t* description = nullptr;  // words of our own; the code's own text when null
};

class Call {
public:
    // Throws DispatchFault when the flags or the arguments do not fit the shape.
    Call(const MemberShape& shape, WORD flags, const DISPPARAMS* params, LCID lcid, VARIANT* result);
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // kMethod, kPropertyGet or kPropertyPut: what the call asks for.
    MemberKind kind() const noexcept { return kind_; }

    // Whether parameter i was given (not left out, not VT_ERROR DISP_E_PARAMNOTFOUND).
    bool Has(std::size_t i) const noexcept;
    // Parameter i, or the value of a property put, coerced; DispatchFault on a value that
    // does not coerce.
    std::int32_t Long(std::size_t i) const;
    bool Bool(std::size_t i) const;
    std::wstring Text(std::size_t i) const;
    // Parameter i as it was passed, by-reference values followed.
    const VARIANT& Value(std::size_t i) const;
    // Parameter i does not fit what the member needs: DISP_E_TYPEMISMATCH naming it.
    [[noreturn]] void Mismatch(std::size_t i, const wchar_t* description) const;

    // The value of a property put, as parameter index kPutValue.
    static constexpr std::size_t kPutValue = 4;

    // The result, when the caller asked for one.
    void Return(std::int32_t value) noexcept;
    void Return(bool value) noexcept;
    void Return(std::wstring_view text);

private:
    const VARIANT* Slot(std::size_t i) const noexcept;
    int ArgumentIndex(std::size_t i) const noexcept;
    void Coerce(std::size_t i, VARTYPE type, VARIANT& out) const;

    MemberKind kind_ = kMethod;
    const DISPPARAMS* params_ = nullptr;
    LCID lcid_ = LOCALE_USER_DEFAULT;
    VARIANT* result_ = nullptr;
    // Index into rgvarg of each parameter, then of the put value; -1 when not given.
    std::array<int, 5> slots_{-1, -1, -1, -1, -1};
};

// The parameter identifiers of names[1..count-1] (their positions in the shape), as
// GetIDsOfNames answers them; DISP_E_UNKNOWNNAME when one is not a parameter.
HRESULT ParameterIds(const MemberShape& shape, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// Turns the exception in flight into the answer of Invoke: a DispatchFault as its own
// code (with the argument's index), anything else as DISP_E_EXCEPTION with the EXCEPINFO
// filled, or as its own code when there is no EXCEPINFO. Error information is set in
// every case. Call only from a catch block.
HRESULT InvokeFailed(EXCEPINFO* excep, UINT* arg_error, REFIID iid, const wchar_t* source) noexcept;

// ITypeInfo::Invoke with what it leaves out of the automation rules (Wine's binds named
// arguments to the wrong parameters, keeps the references it took when a later argument
// fails, never names the argument at fault, and converts in no caller's locale): the
// arguments are placed by the one matcher, the shape taken from the FUNCDESC, and each is
// converted here, once and in lcid, to its parameter's type, so that ITypeInfo::Invoke
// gets them in their places and converts nothing. A refusal names in puArgErr the
// argument at fault. params must be well formed.
HRESULT InvokeThroughTypeInfo(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                              LCID lcid, VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept;

// True when two member names are the same to automation (case does not matter).
bool SameName(const wchar_t* a, const wchar_t* b) noexcept;

}  // namespace zorvane::win
