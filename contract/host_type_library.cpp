#include "contract/host_type_library.h"

#include "contract/type_library_cache.h"

namespace zorvane {
namespace {

// The host's own registered library, found through its identifier.
HRESULT LoadHostLibrary(ITypeLib** library) noexcept {
    return LoadRegTypeLib(kHostLibraryId, kHostLibraryMajor, kHostLibraryMinor, LOCALE_NEUTRAL, library);
}

constinit TypeLibraryCache g_library(&LoadHostLibrary);

}  // namespace

HRESULT HostTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    return g_library.TypeInfo(iid, info);
}

void ReleaseHostTypeInfo() noexcept {
    g_library.Release();
}

}  // namespace zorvane
