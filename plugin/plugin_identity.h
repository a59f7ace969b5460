#pragma once
// Who the plug-in is to the component model: its library, class and default interface.
// Shared by the plug-in object, the type-library writer and the registration.
#include <windows.h>
#include <oaidl.h>

namespace zorvane {

inline constexpr wchar_t kComponentName[] = L"Zorvane";

inline constexpr GUID kLibraryId = {0x5FC8B42F, 0xE199, 0x4A7C,
                                    {0xA9, 0x1F, 0x90, 0xAF, 0xF3, 0xF2, 0x05, 0xCF}};
inline constexpr WORD kLibraryMajor = 1;
inline constexpr WORD kLibraryMinor = 0;

inline constexpr CLSID kPlugInClassId = {0x77FF2106, 0xF84A, 0x48BA,
                                         {0x8B, 0x6C, 0xB6, 0xC2, 0x24, 0x06, 0x8A, 0x89}};
inline constexpr wchar_t kPlugInClassName[] = L"clsVELTPlugIn";
inline constexpr wchar_t kPlugInProgId[] = L"Zorvane.clsVELTPlugIn";

inline constexpr wchar_t kDefaultInterfaceName[] = L"_clsVELTPlugIn";
inline constexpr DISPID kPluginNameDispId = 0x68030002;

// The class's own default interface; its type information is our type library's.
struct _clsVELTPlugIn : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_PluginName(BSTR* name) = 0;
};

}  // namespace zorvane

__CRT_UUID_DECL(zorvane::_clsVELTPlugIn, 0xFEC77016, 0x7A8D, 0x425A, 0x87, 0xBF, 0xC6, 0x1D, 0xE3,
                0xC5, 0xA5, 0xF3)
