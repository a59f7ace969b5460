#pragma once
// What IDispatch::Invoke may answer, checked after every generated call: the automation
// rules themselves (codes the call allows, puArgErr in range and at a real argument,
// EXCEPINFO and the result as the answer says), and, where the rules leave the choice to
// us, our own answer as the product's one argument matcher gives it.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "tests/wine/fuzz/surface.h"
#include "tests/wine/fuzz/values.h"
#include "win/argument_match.h"

namespace zorvane::fuzz {

// What puArgErr holds before the call: a callee that leaves it so did not name an argument.
inline constexpr UINT kArgErrorUnset = 0xDEADBEEF;

struct InvokeCase {
    const Member* member = nullptr;  // null: an identifier this face lacks
    unsigned kind_called = 0;        // KindCalled; 0 when the member cannot be called so
    WORD flags = 0;
    bool odd_iid = false;
    ParamsShape shape = ParamsShape::Normal;
    const DISPPARAMS* params = nullptr;
    bool result_given = true;
    bool excep_given = true;
    bool arg_error_given = true;
    // The rgvarg index of a required argument passed as the missing value by reference,
    // in a call that is otherwise in order; -1 when there is none.
    int missing_by_reference = -1;
};

struct InvokeAnswer {
    HRESULT hr = S_OK;
    UINT arg_error = kArgErrorUnset;
    const VARIANT* result = nullptr;  // when given
    const EXCEPINFO* excep = nullptr;  // when given, its deferred fill-in done
};

// Our answer for a call the member can take: the arguments placed on its parameters, or
// the refusal, as the product's matcher decides for a member of that shape.
win::ArgumentMatch PredictMatch(const Member& member, unsigned kind_called, WORD flags, const DISPPARAMS& params);

// The first rule the answer breaks, or an empty text.
std::string BrokenInvokeRule(const InvokeCase& call, const InvokeAnswer& answer);

bool IsEmpty(const EXCEPINFO& excep);
void FreeExcepInfo(EXCEPINFO& excep);

}  // namespace zorvane::fuzz
