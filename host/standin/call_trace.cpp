#include "host/standin/call_trace.h"

namespace zorvane::standin {

std::vector<ArgumentSeen> ArgumentsOf(const DISPPARAMS* params) {
    std::vector<ArgumentSeen> arguments;
    if (params == nullptr) return arguments;
    for (UINT i = params->cArgs; i-- > 0;) {
        const VARIANT& argument = params->rgvarg[i];
        const bool by_reference = (V_VT(&argument) & VT_BYREF) != 0;
        arguments.push_back({V_VT(&argument), by_reference ? V_BYREF(&argument) : nullptr});
    }
    return arguments;
}

}  // namespace zorvane::standin
