#pragma once
// How the stand-in host can misbehave on one chosen call.
#include <windows.h>

#include <string>

namespace zorvane::standin {

enum class FaultKind {
    MissingMember,       // unknown name at GetIDsOfNames, or DISP_E_MEMBERNOTFOUND at Invoke
    Exception,           // DISP_E_EXCEPTION, EXCEPINFO with scode = code
    ExceptionWCode,      // DISP_E_EXCEPTION, EXCEPINFO with wCode = wcode, scode 0
    ExceptionDeferred,   // DISP_E_EXCEPTION, EXCEPINFO filled only by pfnDeferredFillIn
    FailureCode,         // Invoke returns code, no EXCEPINFO
    StreamEmpty,         // MyStream yields VT_EMPTY
    StreamNothing,       // MyStream yields VT_DISPATCH null
    StreamNotObject,     // MyStream yields VT_I4
    ValueNotNumber,      // ChannelGetValue yields the text "n/a"
    ValueEmpty,          // ChannelGetValue yields VT_EMPTY
    ValueNull,           // ChannelGetValue yields VT_NULL
};

// Fails host call number `call` (1-based, counted over every call the trace shows).
// A kind that does not fit the member called (a stream kind on ChannelGetValue, say)
// is dropped and the call goes through. A fault fires once.
struct Fault {
    unsigned call = 1;
    FaultKind kind = FaultKind::FailureCode;
    HRESULT code = E_FAIL;
    WORD wcode = 1001;
    std::wstring source = L"Stand-in host";
    std::wstring description = L"Das Pult ist gesperrt.";
};

}  // namespace zorvane::standin
