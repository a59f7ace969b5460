#include "tests/wine/fuzz/invoke_rules.h"

#include <oleauto.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/our_objects.h"

namespace zorvane::fuzz {
namespace {

// Codes that speak of the call itself rather than of what the member did.
constexpr HRESULT kProtocolCodes[] = {
    DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW,
    DISP_E_BADVARTYPE, DISP_E_NONAMEDARGS, DISP_E_UNKNOWNINTERFACE, DISP_E_UNKNOWNNAME, DISP_E_EXCEPTION,
    DISP_E_BADINDEX, DISP_E_UNKNOWNLCID};
// Codes IDispatch::Invoke may give for a call that reached a member.
constexpr HRESULT kInvokeCodes[] = {
    S_OK, DISP_E_MEMBERNOTFOUND, DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTFOUND, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW,
    DISP_E_BADVARTYPE, DISP_E_NONAMEDARGS, DISP_E_EXCEPTION, DISP_E_NOTACOLLECTION, E_INVALIDARG, E_OUTOFMEMORY};

bool IsDispatchProtocolCode(HRESULT hr) { return std::ranges::find(kProtocolCodes, hr) != std::end(kProtocolCodes); }
bool IsInvokeCode(HRESULT hr) { return std::ranges::find(kInvokeCodes, hr) != std::end(kInvokeCodes); }

bool NamesAnArgument(HRESULT hr) {
    return hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW || hr == DISP_E_BADVARTYPE;
}

bool IsMissingValue(const VARIANT& value) {
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

// The rules for the arguments of a call that reached a member: "" or what is broken.
std::string ArgumentRule(const InvokeCase& call, const InvokeAnswer& answer) {
    const DISPPARAMS& params = *call.params;
    const HRESULT hr = answer.hr;
    const bool written = call.arg_error_given && answer.arg_error != kArgErrorUnset;
    if (written && (hr == DISP_E_PARAMNOTFOUND || NamesAnArgument(hr)) && answer.arg_error >= params.cArgs) {
        return Format("puArgErr %u is beyond the %u arguments", answer.arg_error, params.cArgs);
    }
    if (call.arg_error_given && hr == DISP_E_TYPEMISMATCH && params.cArgs > 0 && !written) {
        return "DISP_E_TYPEMISMATCH without puArgErr naming the argument";
    }
    if (written && NamesAnArgument(hr) && answer.arg_error < params.cArgs &&
        IsMissingValue(params.rgvarg[answer.arg_error])) {
        return Format("puArgErr %u names a missing argument as of the wrong type", answer.arg_error);
    }
    if (call.missing_by_reference >= 0) {
        if (hr != DISP_E_PARAMNOTFOUND) return "a required argument passed as the missing value by reference was taken";
        if (call.arg_error_given && answer.arg_error != static_cast<UINT>(call.missing_by_reference)) {
            return Format("puArgErr is %u, not %d, the missing argument", answer.arg_error, call.missing_by_reference);
        }
    }

    // Where the rules leave the answer to us: the product's matcher says which.
    const win::ArgumentMatch match = PredictMatch(*call.member, call.kind_called, call.flags, params);
    if (FAILED(match.hr)) {
        if (hr != match.hr) return "the arguments do not match the parameters: expected " + Hex(match.hr);
        if (call.arg_error_given && match.arg_error >= 0 && answer.arg_error != static_cast<UINT>(match.arg_error)) {
            return Format("puArgErr is %u, not %d", answer.arg_error, match.arg_error);
        }
        return "";
    }
    if (NamesAnArgument(hr)) {
        if (!written) return "";
        const bool placed = std::any_of(match.arguments.begin(), match.arguments.end(), [&](const auto& argument) {
            return argument.index == static_cast<int>(answer.arg_error) && !argument.missing;
        });
        if (!placed) return Format("puArgErr %u names no argument the member was given", answer.arg_error);
    } else if (hr == DISP_E_EXCEPTION) {
        // ITypeInfo::Invoke says DISP_E_EXCEPTION either way; our form's members give
        // their own failure where there is no EXCEPINFO to tell of it.
        if (!call.excep_given && call.member->by == AnsweredBy::FormTable) {
            return "DISP_E_EXCEPTION without an EXCEPINFO to tell of it";
        }
    } else if (FAILED(hr) && IsDispatchProtocolCode(hr)) {
        return "a dispatch code the arguments do not explain";
    }
    return "";
}

}  // namespace

win::ArgumentMatch PredictMatch(const Member& member, unsigned kind_called, WORD flags, const DISPPARAMS& params) {
    std::array<win::Parameter, 4> parameters{};
    const std::size_t count = member.ParameterCount();
    for (std::size_t p = 0; p < count; ++p) parameters[p] = {member.parameters[p], p >= member.required};
    return win::MatchArguments({std::span(parameters.data(), count), kind_called == kPut}, flags, &params);
}

std::string BrokenInvokeRule(const InvokeCase& call, const InvokeAnswer& answer) {
    const HRESULT hr = answer.hr;
    if (call.odd_iid) {
        // A member that is not there may be told first.
        if (hr != DISP_E_UNKNOWNINTERFACE && !(call.member == nullptr && hr == DISP_E_MEMBERNOTFOUND)) {
            return "riid not IID_NULL must give DISP_E_UNKNOWNINTERFACE";
        }
    } else if (call.shape != ParamsShape::Normal) {
        if (hr != E_INVALIDARG && hr != E_POINTER && hr != DISP_E_MEMBERNOTFOUND) {
            return "a malformed or missing DISPPARAMS must be refused";
        }
    } else if (call.member == nullptr || call.kind_called == 0) {
        if (hr != DISP_E_MEMBERNOTFOUND) return "a member that is not there, or not so, must give DISP_E_MEMBERNOTFOUND";
    } else {
        // Without an EXCEPINFO a member's own failure comes as it is.
        if (!IsInvokeCode(hr) && (call.excep_given || IsDispatchProtocolCode(hr) || SUCCEEDED(hr))) {
            return "not a code the automation rules allow for this call";
        }
        if (std::string broken = ArgumentRule(call, answer); !broken.empty()) return broken;
    }
    if (call.excep_given) {
        const EXCEPINFO& excep = *answer.excep;
        if (hr == DISP_E_EXCEPTION) {
            if (excep.scode == 0 && excep.wCode == 0) return "DISP_E_EXCEPTION with neither scode nor wCode";
            if (excep.bstrDescription == nullptr || SysStringLen(excep.bstrDescription) == 0) {
                return "DISP_E_EXCEPTION without a description";
            }
        } else if (!IsEmpty(excep)) {
            return "EXCEPINFO filled though the answer is not DISP_E_EXCEPTION";
        }
    }
    if (call.result_given) {
        const VARIANT& result = *answer.result;
        if (FAILED(hr) && V_VT(&result) != VT_EMPTY) return Format("result left as vt 0x%X after a failure", V_VT(&result));
        if (SUCCEEDED(hr) && call.member != nullptr && call.kind_called != 0) {
            const VARTYPE wanted = call.kind_called == kPut ? VARTYPE{VT_EMPTY} : call.member->gives;
            if (V_VT(&result) != wanted) return Format("result of vt 0x%X, not 0x%X", V_VT(&result), wanted);
        }
    }
    return "";
}

bool IsEmpty(const EXCEPINFO& excep) {
    const EXCEPINFO zero{};
    return std::memcmp(&excep, &zero, sizeof zero) == 0;
}

void FreeExcepInfo(EXCEPINFO& excep) {
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    excep = EXCEPINFO{};
}

}  // namespace zorvane::fuzz
