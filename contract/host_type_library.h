#pragma once
// Type information of the host's interfaces, from the host's own registered library
// (found through its identifier), for dispatch on the interfaces we implement.
#include <windows.h>
#include <oleauto.h>

#include "VELTTypeLib.h"

namespace zorvane {

// The host library's identifier and the version we were built against.
inline constexpr GUID kHostLibraryId = {0x2EC5C0F2, 0x8A43, 0x4D51,
                                        {0xA6, 0x46, 0x7D, 0xD3, 0x6F, 0x74, 0xC6, 0x12}};
inline constexpr WORD kHostLibraryMajor = 2;
inline constexpr WORD kHostLibraryMinor = 2;

// The type information of iid in the host library; loaded once per load of the module.
HRESULT HostTypeInfo(REFIID iid, ITypeInfo** info) noexcept;

// Releases what HostTypeInfo keeps; called when the module is about to be unloadable.
void ReleaseHostTypeInfo() noexcept;

// A Source for win::TypeInfoDispatch.
template <class Interface>
struct HostTypeInfoOf {
    static HRESULT Get(ITypeInfo** info) noexcept { return HostTypeInfo(__uuidof(Interface), info); }
};

}  // namespace zorvane
