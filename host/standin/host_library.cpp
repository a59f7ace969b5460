#include "host/standin/host_library.h"

#include "VELTTypeLib.h"

namespace zorvane::standin {
namespace {

HMODULE g_module = nullptr;
// A plain pointer on purpose: no destructor may call into COM under the loader lock.
ITypeLib* g_library = nullptr;

}  // namespace

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void UseLibraryOfModule(HMODULE module) noexcept { g_module = module; }

HMODULE LibraryModule() noexcept { return g_module; }

HRESULT HostLibraryTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (g_library == nullptr) {
        HRESULT hr = S_OK;
        if (g_module != nullptr) {
            try {
                const std::wstring path = ModulePath(g_module);
                hr = path.empty() ? HRESULT_FROM_WIN32(GetLastError())
                                  : LoadTypeLibEx(path.c_str(), REGKIND_NONE, &g_library);
            } catch (...) {
                hr = E_OUTOFMEMORY;
            }
        } else {
            hr = LoadRegTypeLib(LIBID_VELTTypeLib, 2, 2, LOCALE_NEUTRAL, &g_library);
        }
        if (FAILED(hr)) return hr;
    }
    return g_library->GetTypeInfoOfGuid(iid, info);
}

void ReleaseHostLibrary() noexcept {
    if (g_library != nullptr) {
        g_library->Release();
        g_library = nullptr;
    }
}

}  // namespace zorvane::standin
