#pragma once
// One type library, loaded on first need and kept until the module lets it go.
#include <windows.h>
#include <oleauto.h>

namespace zorvane {

class TypeLibraryCache {
public:
    using Loader = HRESULT (*)(ITypeLib** library) noexcept;

    constexpr explicit TypeLibraryCache(Loader load) noexcept : load_(load) {}

    // The type information of guid in the library; loads the library when needed.
    HRESULT TypeInfo(REFGUID guid, ITypeInfo** info) noexcept;
    // Called when the module is about to be unloadable.
    void Release() noexcept;

private:
    Loader load_;
    // A plain pointer on purpose: no destructor may call into COM while the loader lock
    // is held at unload.
    ITypeLib* library_ = nullptr;
};

}  // namespace zorvane
