#pragma once
// Failures inside our COM code travel as exceptions and leave every COM method, export,
// window procedure and timer procedure as an HRESULT with error information.
#include <windows.h>
#include <oleauto.h>

#include <new>
#include <string>

#include "common/host_error.h"

namespace zorvane::win {

// Thrown for a failed HRESULT; carries the code and, when there is one, the words of
// whoever failed.
class ComError : public HostError {
public:
    explicit ComError(HRESULT hr, std::wstring description = {}, std::wstring source = {})
        : HostError(hr, std::move(description), std::move(source)) {}
    HRESULT hr() const noexcept { return static_cast<HRESULT>(code()); }
};

[[noreturn]] void ThrowHr(HRESULT hr, std::wstring description = {});

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) ThrowHr(hr);
}

// The system's own text for a code, without a trailing line break; for a code it has no
// text for, ours (in German, as the component speaks) or the code itself.
std::wstring ErrorText(HRESULT hr);

// Sets the thread's error information (source, description) for iid and returns the
// code to hand back to the caller.
HRESULT SetErrorInfoFor(REFIID iid, HRESULT hr, const std::wstring& source,
                        const std::wstring& description) noexcept;

// Maps the exception in flight to an HRESULT with error information. Call only from a
// catch block.
HRESULT HresultFromCaughtException(REFIID iid, const wchar_t* source) noexcept;

// Runs body at a COM boundary: its exceptions become an HRESULT with error information.
template <class Body>
HRESULT ComBoundary(REFIID iid, const wchar_t* source, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return HresultFromCaughtException(iid, source);
    }
}

}  // namespace zorvane::win
