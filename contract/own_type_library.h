#pragma once
// Type information of our own interfaces, from the type library embedded in this DLL.
#include <windows.h>
#include <oleauto.h>

namespace zorvane {

// The type information of iid in the library of the module holding this code; the
// library is loaded once per load of the module.
HRESULT OwnTypeInfo(REFIID iid, ITypeInfo** info) noexcept;

// Releases what OwnTypeInfo keeps; called when the module is about to be unloadable.
void ReleaseOwnTypeInfo() noexcept;

// A Source for win::TypeInfoDispatch.
template <class Interface>
struct OwnTypeInfoOf {
    static HRESULT Get(ITypeInfo** info) noexcept { return OwnTypeInfo(__uuidof(Interface), info); }
};

}  // namespace zorvane
