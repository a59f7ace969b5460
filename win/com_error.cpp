#include "win/com_error.h"

#include <wrl/client.h>

#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace zorvane::win {

void ThrowHr(HRESULT hr, std::wstring description) {
    if (description.empty()) description = ErrorText(hr);
    throw ComError(hr, std::move(description));
}

namespace {

struct KnownError {
    HRESULT hr;
    const wchar_t* text;
};

// The dispatch codes, for which Wine's system has no text.
constexpr KnownError kKnownErrors[] = {
    {DISP_E_BADPARAMCOUNT, L"Falsche Anzahl an Argumenten."},
    {DISP_E_PARAMNOTFOUND, L"Argument ist nicht optional oder unbekannt."},
    {DISP_E_MEMBERNOTFOUND, L"Das Objekt unterst\u00FCtzt diese Eigenschaft oder Methode nicht."},
    {DISP_E_UNKNOWNNAME, L"Unbekannter Name."},
    {DISP_E_UNKNOWNINTERFACE, L"Unbekannte Schnittstelle."},
    {DISP_E_TYPEMISMATCH, L"Typen unvertr\u00E4glich."},
    {DISP_E_OVERFLOW, L"\u00DCberlauf."},
    {DISP_E_BADVARTYPE, L"Ung\u00FCltiger Variablentyp."},
    {DISP_E_NONAMEDARGS, L"Keine benannten Argumente erlaubt."},
    {DISP_E_EXCEPTION, L"Ausnahmefehler."},
    {E_INVALIDARG, L"Ung\u00FCltiges Argument."},
    {E_POINTER, L"Ung\u00FCltiger Zeiger."},
    {E_OUTOFMEMORY, L"Nicht gen\u00FCgend Arbeitsspeicher."},
    {E_UNEXPECTED, L"Unerwarteter Fehler."},
};

}  // namespace

std::wstring ErrorText(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    if (!text.empty()) return text;
    for (const KnownError& known : kKnownErrors) {
        if (known.hr == hr) return known.text;
    }
    wchar_t code[32];
    std::swprintf(code, 32, L"Fehler 0x%08lX", static_cast<unsigned long>(hr));
    return code;
}

HRESULT SetErrorInfoFor(REFIID iid, HRESULT hr, const std::wstring& source,
                        const std::wstring& description) noexcept {
    ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(iid);
        create->SetSource(const_cast<wchar_t*>(source.c_str()));
        create->SetDescription(const_cast<wchar_t*>(description.c_str()));
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
    }
    return hr;
}

HRESULT HresultFromCaughtException(REFIID iid, const wchar_t* source) noexcept {
    try {
        throw;
    } catch (const HostError& e) {
        HRESULT hr = static_cast<HRESULT>(e.code());
        if (SUCCEEDED(hr)) hr = E_FAIL;
        const std::wstring& from = e.source().empty() ? std::wstring(source) : e.source();
        std::wstring description = e.description();
        if (description.empty()) description = ErrorText(hr);
        return SetErrorInfoFor(iid, hr, from, description);
    } catch (const std::bad_alloc&) {
        return SetErrorInfoFor(iid, E_OUTOFMEMORY, source, ErrorText(E_OUTOFMEMORY));
    } catch (...) {
        return SetErrorInfoFor(iid, E_UNEXPECTED, source, ErrorText(E_UNEXPECTED));
    }
}

}  // namespace zorvane::win
