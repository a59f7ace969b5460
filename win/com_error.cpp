#include "win/com_error.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace zorvane::win {

void ThrowHr(HRESULT hr, std::wstring description) {
    if (description.empty()) description = SystemMessage(hr);
    throw ComError(hr, std::move(description));
}

std::wstring SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
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
        if (description.empty()) description = SystemMessage(hr);
        return SetErrorInfoFor(iid, hr, from, description);
    } catch (const std::bad_alloc&) {
        return SetErrorInfoFor(iid, E_OUTOFMEMORY, source, SystemMessage(E_OUTOFMEMORY));
    } catch (...) {
        return SetErrorInfoFor(iid, E_UNEXPECTED, source, SystemMessage(E_UNEXPECTED));
    }
}

}  // namespace zorvane::win
