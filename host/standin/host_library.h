#pragma once
// The stand-in's own copy of the host library's type information, for the objects of
// the stand-in that answer dispatch from it (module information, collection).
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace zorvane::standin {

// The full path of a loaded module; empty if the system cannot tell.
std::wstring ModulePath(HMODULE module);

// The module whose resource TYPELIB 1 holds the library (the stand-in's DLL, which
// calls this at load); without one, the registered library is used.
void UseLibraryOfModule(HMODULE module) noexcept;
// The module given to UseLibraryOfModule; null when none was.
HMODULE LibraryModule() noexcept;

HRESULT HostLibraryTypeInfo(REFIID iid, ITypeInfo** info) noexcept;

// Lets go of the library; the next HostLibraryTypeInfo loads it again. Called when the
// module may be unloaded, never from DllMain.
void ReleaseHostLibrary() noexcept;

// A Source for win::TypeInfoDispatch.
template <class Interface>
struct HostLibraryTypeInfoOf {
    static HRESULT Get(ITypeInfo** info) noexcept { return HostLibraryTypeInfo(__uuidof(Interface), info); }
};

}  // namespace zorvane::standin
