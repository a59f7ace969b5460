#include "contract/type_libraries.h"

#include "win/com_error.h"
#include "win/this_module.h"

namespace zorvane {
namespace {

HRESULT LoadHostLibrary(ITypeLib** library) noexcept {
    return LoadRegTypeLib(kHostLibraryId, kHostLibraryMajor, kHostLibraryMinor, LOCALE_NEUTRAL, library);
}

// The library embedded in the module holding this code.
HRESULT LoadOwnLibrary(ITypeLib** library) noexcept {
    return win::ComBoundary(IID_NULL, L"Zorvane", [library] {
        return LoadTypeLibEx(win::ModuleFileName(win::ThisModule()).c_str(), REGKIND_NONE, library);
    });
}

struct CachedLibrary {
    HRESULT (*load)(ITypeLib** library) noexcept;
    // A plain pointer on purpose: no destructor may call into COM while the loader lock
    // is held at unload.
    ITypeLib* library;
};

// In the order of TypeLibrary.
constinit CachedLibrary g_libraries[] = {{&LoadHostLibrary, nullptr}, {&LoadOwnLibrary, nullptr}};

}  // namespace

HRESULT TypeInfoIn(TypeLibrary library, REFIID iid, ITypeInfo** info) noexcept {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    CachedLibrary& cached = g_libraries[static_cast<int>(library)];
    if (cached.library == nullptr) {
        const HRESULT hr = cached.load(&cached.library);
        if (FAILED(hr)) {
            cached.library = nullptr;
            return hr;
        }
    }
    return cached.library->GetTypeInfoOfGuid(iid, info);
}

void ReleaseTypeLibraries() noexcept {
    for (CachedLibrary& cached : g_libraries) {
        if (cached.library != nullptr) {
            cached.library->Release();
            cached.library = nullptr;
        }
    }
}

}  // namespace zorvane
