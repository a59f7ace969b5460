#include "clamp/win32/late_bound_call.h"

#include <oleauto.h>

#include <string>
#include <utility>

#include "common/host_error.h"
#include "win/com_error.h"

namespace zorvane::velt_zorvane {
namespace {

[[noreturn]] void ThrowMissingMember(HRESULT hr, const wchar_t* name) {
    throw win::ComError(hr, L"Das Objekt unterst\u00FCtzt die Eigenschaft oder Methode \u201E" +
                                std::wstring(name) + L"\u201C nicht.");
}

// Owns what a failed Invoke left in its EXCEPINFO.
struct ExceptionInfo {
    EXCEPINFO value{};
    ExceptionInfo() = default;
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() {
        // Tested first: a successful call leaves them null, and the check is cheaper than the calls.
        if (value.bstrSource != nullptr) SysFreeString(value.bstrSource);
        if (value.bstrDescription != nullptr) SysFreeString(value.bstrDescription);
        if (value.bstrHelpFile != nullptr) SysFreeString(value.bstrHelpFile);
    }
};

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

[[noreturn]] void ThrowCallFailure(HRESULT hr, ExceptionInfo& excep, const wchar_t* name) {
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) ThrowMissingMember(hr, name);
    if (hr != DISP_E_EXCEPTION) win::ThrowHr(hr);
    EXCEPINFO& info = excep.value;
    if (info.pfnDeferredFillIn != nullptr) {
        const auto fill = info.pfnDeferredFillIn;
        info.pfnDeferredFillIn = nullptr;
        fill(&info);
    }
    HRESULT code = DISP_E_EXCEPTION;
    if (FAILED(info.scode)) {
        code = info.scode;
    } else if (info.wCode != 0) {
        code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
    }
    std::wstring description = Text(info.bstrDescription);
    if (description.empty()) description = win::ErrorText(code);
    throw win::ComError(code, std::move(description), Text(info.bstrSource));
}

}  // namespace

void ThrowObjectRequired() {
    throw win::ComError(kObjectRequired, L"Objekt erforderlich");
}

void ThrowTypeMismatch() {
    throw win::ComError(DISP_E_TYPEMISMATCH, L"Typen unvertr\u00E4glich");
}

DISPID LookUp(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) ThrowMissingMember(hr, name);
        win::ThrowHr(hr);
    }
    return id;
}

void Call(IDispatch* object, DISPID id, const wchar_t* name, WORD flags, DISPPARAMS& params, VARIANT* result) {
    ExceptionInfo excep;
    UINT argument_error = 0;
    const HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep.value, &argument_error);
    if (FAILED(hr)) ThrowCallFailure(hr, excep, name);
}

}  // namespace zorvane::velt_zorvane
