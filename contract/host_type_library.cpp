#include "contract/host_type_library.h"

namespace zorvane {
namespace {

// A plain pointer on purpose: no destructor may call into COM while the loader lock is
// held at unload. The component releases it before it lets the module go.
ITypeLib* g_library = nullptr;

}  // namespace

HRESULT HostTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (g_library == nullptr) {
        const HRESULT hr = LoadRegTypeLib(kHostLibraryId, kHostLibraryMajor, kHostLibraryMinor,
                                          LOCALE_NEUTRAL, &g_library);
        if (FAILED(hr)) return hr;
    }
    return g_library->GetTypeInfoOfGuid(iid, info);
}

void ReleaseHostTypeInfo() noexcept {
    if (g_library != nullptr) {
        g_library->Release();
        g_library = nullptr;
    }
}

}  // namespace zorvane
