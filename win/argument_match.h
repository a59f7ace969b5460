#pragma once
// Where the arguments of one IDispatch::Invoke go: a single walk that places them on a
// member's parameters by the automation rules, for every member we answer by name (the
// form's own from their table, the others through type information), so that all of
// them take and refuse a call alike. Converting a placed argument is a step of its own.
#include <windows.h>
#include <oaidl.h>

#include <span>
#include <vector>

namespace zorvane::win {

struct Parameter {
    const wchar_t* name = nullptr;  // as GetIDsOfNames knows it; null where nobody asks
    bool optional = false;          // may be left out, or passed as the missing value
};

// What a member takes when called one way.
struct ParameterShape {
    std::span<const Parameter> parameters;  // in order; the value of a put is not among them
    bool put = false;  // a property put: one more argument, its value, named DISPID_PROPERTYPUT or given last
};

struct PlacedArgument {
    int index = -1;       // in rgvarg; -1 when the caller left it out
    bool missing = true;  // left out, or passed as the missing value
};

struct ArgumentMatch {
    HRESULT hr = S_OK;   // S_OK, or the refusal as Invoke answers it
    int arg_error = -1;  // the rgvarg index puArgErr takes; -1 when no argument is at fault
    std::vector<PlacedArgument> arguments;  // each parameter's, then a put's value; empty when refused
};

// The rules, in the order they are applied:
// - DISPPARAMS that cannot be read as it says: E_INVALIDARG.
// - A put asked of a member that is none, or the other way round: DISP_E_MEMBERNOTFOUND.
// - A named argument (DISPPARAMS holds them first) that names no parameter, or one named
//   before: DISP_E_PARAMNOTFOUND naming it. DISPID_PROPERTYPUT names the value of a put.
// - A put's value that is not named is the last argument; the others go to the
//   parameters in order (rgvarg holds them last first). More than there are parameters:
//   DISP_E_BADPARAMCOUNT; one for a parameter also named: DISP_E_PARAMNOTFOUND naming
//   the named one.
// - A parameter that is not optional, and a put's value, left out: DISP_E_BADPARAMCOUNT
//   when nothing was named, else DISP_E_PARAMNOTFOUND; passed as the missing value:
//   DISP_E_PARAMNOTFOUND naming it.
// Throws std::bad_alloc when out of memory.
ArgumentMatch MatchArguments(const ParameterShape& shape, WORD flags, const DISPPARAMS* params);

// Whether DISPPARAMS can be read as it says: present, its arrays there for its counts,
// no more named arguments than arguments.
bool IsWellFormed(const DISPPARAMS* params) noexcept;

// The missing value (VT_ERROR DISP_E_PARAMNOTFOUND), also through one VT_VARIANT reference.
bool IsMissingArgument(const VARIANT& argument) noexcept;

// An argument converted to type in the caller's locale into out, as a member that takes
// type receives it: one VT_VARIANT reference followed (never a second, never one to
// nothing), a reference to nothing and an array refused. S_OK; E_OUTOFMEMORY;
// DISP_E_OVERFLOW for a number out of the type's range; else DISP_E_TYPEMISMATCH.
// An object's default member is called once, with lcid, when type needs its value.
HRESULT ConvertArgument(const VARIANT& argument, VARTYPE type, LCID lcid, VARIANT& out) noexcept;

}  // namespace zorvane::win
