#pragma once
// Type information for dispatch on the interfaces we implement: the host's interfaces
// from the host's own registered library (found through its identifier), ours from the
// library embedded in this DLL. Each library is loaded on first need, once per load of
// the module, and kept until the module lets it go.
#include <windows.h>
#include <oleauto.h>

#include "VELTTypeLib.h"

namespace zorvane {

// The host library's identifier and the version we were built against.
inline constexpr GUID kHostLibraryId = {0x2EC5C0F2, 0x8A43, 0x4D51,
                                        {0xA6, 0x46, 0x7D, 0xD3, 0x6F, 0x74, 0xC6, 0x12}};
inline constexpr WORD kHostLibraryMajor = 2;
inline constexpr WORD kHostLibraryMinor = 2;

enum class TypeLibrary { Host, Own };

// The type information of iid in the library; loads the library when needed.
HRESULT TypeInfoIn(TypeLibrary library, REFIID iid, ITypeInfo** info) noexcept;

// Lets go of both libraries; called when the module is about to be unloadable.
void ReleaseTypeLibraries() noexcept;

// Sources for win::TypeInfoDispatch.
template <TypeLibrary library, class Interface>
struct TypeInfoOf {
    static HRESULT Get(ITypeInfo** info) noexcept { return TypeInfoIn(library, __uuidof(Interface), info); }
};
template <class Interface>
using HostTypeInfoOf = TypeInfoOf<TypeLibrary::Host, Interface>;
template <class Interface>
using OwnTypeInfoOf = TypeInfoOf<TypeLibrary::Own, Interface>;

}  // namespace zorvane
