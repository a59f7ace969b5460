#include "contract/own_type_library.h"

#include "win/com_error.h"
#include "win/this_module.h"

namespace zorvane {
namespace {

// A plain pointer on purpose, as in host_type_library.cpp: released by the component
// before the module may go, never by a destructor under the loader lock.
ITypeLib* g_library = nullptr;

}  // namespace

HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (g_library == nullptr) {
        const HRESULT hr = win::ComBoundary(iid, L"Zorvane", [] {
            return LoadTypeLibEx(win::ModuleFileName(win::ThisModule()).c_str(), REGKIND_NONE,
                                 &g_library);
        });
        if (FAILED(hr)) return hr;
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
