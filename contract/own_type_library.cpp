#include "contract/own_type_library.h"

#include "contract/type_library_cache.h"
#include "win/com_error.h"
#include "win/this_module.h"

namespace zorvane {
namespace {

// The library embedded in the module holding this code.
HRESULT LoadOwnLibrary(ITypeLib** library) noexcept {
    return win::ComBoundary(IID_NULL, L"Zorvane", [library] {
        return LoadTypeLibEx(win::ModuleFileName(win::ThisModule()).c_str(), REGKIND_NONE, library);
    });
}

constinit TypeLibraryCache g_library(&LoadOwnLibrary);

}  // namespace

HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info) noexcept {
    return g_library.TypeInfo(iid, info);
}

void ReleaseOwnTypeInfo() noexcept {
    g_library.Release();
}

}  // namespace zorvane
