#include "plugin/own_type_library.h"

#include <vector>

#include "win/com_error.h"

namespace zorvane {
namespace {

// A plain pointer on purpose, as in host_type_library.cpp: released by the component
// before the module may go, never by a destructor under the loader lock.
ITypeLib* g_library = nullptr;

}  // namespace

std::wstring ModuleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()));
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (g_library == nullptr) {
        HMODULE self = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(&OwnTypeInfo), &self)) {
            return HRESULT_FROM_WIN32(GetLastError());
        }
        try {
            const HRESULT hr = LoadTypeLibEx(ModuleFileName(self).c_str(), REGKIND_NONE, &g_library);
            if (FAILED(hr)) return hr;
        } catch (...) {
            return win::HresultFromCaughtException(iid, L"Zorvane");
        }
    }
    return g_library->GetTypeInfoOfGuid(iid, info);
}

void ReleaseOwnTypeInfo() noexcept {
    if (g_library != nullptr) {
        g_library->Release();
        g_library = nullptr;
    }
}

}  // namespace zorvane
