#include "tests/wine/fuzz/surface.h"

#include <olectl.h>

#include "VELTTypeLib.h"
#include "plugin/plugin_identity.h"

namespace zorvane::fuzz {
namespace {

using W = Want;
constexpr std::array<const wchar_t*, 4> kNone{};
constexpr std::array<Want, 4> kNoWants{};
constexpr auto TI = AnsweredBy::TypeInformation;
constexpr auto Own = AnsweredBy::FormTable;

Member g_default[] = {
    {L"PluginName", 0x68030002, kGet, 0, kNone, kNoWants, W::Any, VT_BSTR, TI, kNoEffect},
};

Member g_module[] = {
    {L"ModuleInfo", 0x68030000, kGet, 0, kNone, kNoWants, W::Any, VT_DISPATCH, TI, kGivesModuleInfo},
};

Member g_plugin[] = {
    {L"Disable", 0x60030008, kMethod, 0, kNone, kNoWants, W::Any, VT_BOOL, TI, kNoEffect},
    {L"Enable", 0x60030009, kMethod, 0, kNone, kNoWants, W::Any, VT_BOOL, TI, kNoEffect},
    {L"Configure", 0x6003000A, kMethod, 0, kNone, kNoWants, W::Any, VT_BOOL, TI, kOpensInputBox},
    {L"Init", 0x6003000B, kMethod, 3, {L"CallingAppTitle", L"MyFilename", L"VELTPluginHelper"},
     {W::Text, W::Text, W::Object}, W::Any, VT_BOOL, TI, kStoresHelper},
    {L"MessageHandle", 0x6003000C, kMethod, 3, {L"Msg", L"Arg1", L"Arg2"}, {W::Long, W::Long, W::Long}, W::Any,
     VT_I4, TI, kNoEffect},
    {L"PluginName", 0x68030007, kGet, 0, kNone, kNoWants, W::Any, VT_BSTR, TI, kNoEffect},
    {L"Term", 0x6003000D, kMethod, 0, kNone, kNoWants, W::Any, VT_BOOL, TI, kNoEffect},
};

constexpr unsigned kProperty = kGet | kPut;

Member g_tool[] = {
    {L"ClearProjectData", 0x60030001, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, TI, kNoEffect},
    {L"LoadProjectData", 0x60030002, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, TI, kNoEffect},
    {L"SaveProjectData", 0x60030003, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, TI, kNoEffect},
    {L"AskToSaveProjectData", 0x60030004, kMethod, 0, kNone, kNoWants, W::Any, VT_BOOL, TI, kNoEffect},
    {L"ViewMode", 0x68030000, kPut, 0, kNone, kNoWants, W::Long, VT_EMPTY, TI, kNoEffect},
    {L"PluginConfigurationData", 0, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, Own, kOpensInputBox},
    {L"Show", 0, kMethod, 0, {L"Modal", L"OwnerForm"}, {W::ModalStyle, W::Owner}, W::Any, VT_EMPTY, Own,
     kMayBeModal},
    {L"Hide", 0, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, Own, kNoEffect},
    {L"Visible", 0, kProperty, 0, kNone, kNoWants, W::Bool, VT_BOOL, Own, kNoEffect},
    {L"hWnd", DISPID_HWND, kGet, 0, kNone, kNoWants, W::Any, VT_I4, Own, kNoEffect},
    {L"Caption", DISPID_CAPTION, kProperty, 0, kNone, kNoWants, W::Text, VT_BSTR, Own, kNoEffect},
    {L"Name", 0, kGet, 0, kNone, kNoWants, W::Any, VT_BSTR, Own, kNoEffect},
    {L"Tag", 0, kProperty, 0, kNone, kNoWants, W::Text, VT_BSTR, Own, kNoEffect},
    {L"Left", 0, kProperty, 0, kNone, kNoWants, W::Long, VT_I4, Own, kNoEffect},
    {L"Top", 0, kProperty, 0, kNone, kNoWants, W::Long, VT_I4, Own, kNoEffect},
    {L"Width", 0, kProperty, 0, kNone, kNoWants, W::Long, VT_I4, Own, kNoEffect},
    {L"Height", 0, kProperty, 0, kNone, kNoWants, W::Long, VT_I4, Own, kNoEffect},
    {L"ScaleWidth", 0, kGet, 0, kNone, kNoWants, W::Any, VT_I4, Own, kNoEffect},
    {L"ScaleHeight", 0, kGet, 0, kNone, kNoWants, W::Any, VT_I4, Own, kNoEffect},
    {L"Move", 0, kMethod, 1, {L"Left", L"Top", L"Width", L"Height"}, {W::Long, W::Long, W::Long, W::Long},
     W::Any, VT_EMPTY, Own, kNoEffect},
    {L"WindowState", 0, kProperty, 0, kNone, kNoWants, W::Long, VT_I4, Own, kNoEffect},
    {L"Enabled", DISPID_ENABLED, kProperty, 0, kNone, kNoWants, W::Bool, VT_BOOL, Own, kNoEffect},
    {L"ZOrder", 0, kMethod, 0, {L"Position"}, {W::Long}, W::Any, VT_EMPTY, Own, kNoEffect},
    {L"SetFocus", 0, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, Own, kNoEffect},
    {L"Refresh", DISPID_REFRESH, kMethod, 0, kNone, kNoWants, W::Any, VT_EMPTY, Own, kNoEffect},
};

Surface g_surfaces[] = {
    {Face::Default, "_clsVELTPlugIn", __uuidof(_clsVELTPlugIn), g_default},
    {Face::Module, "IVELTModule", __uuidof(IVELTModule), g_module},
    {Face::Plugin, "IVELTPlugin", __uuidof(IVELTPlugin), g_plugin},
    {Face::Tool, "frmZorvane", __uuidof(IVELTTool), g_tool},
};

}  // namespace

Surface& SurfaceOf(Face face) { return g_surfaces[static_cast<int>(face)]; }

const Member* FindMember(const Surface& surface, DISPID id) {
    for (const Member& member : surface.members) {
        if (member.id == id) return &member;
    }
    return nullptr;
}

const Member* FindMemberNamed(const Surface& surface, const wchar_t* name) {
    if (name == nullptr) return nullptr;
    for (const Member& member : surface.members) {
        if (_wcsicmp(member.name, name) == 0) return &member;
    }
    return nullptr;
}

const Member& AnyMember(Random& random, Face* face) {
    Surface& surface = g_surfaces[random.Below(std::size(g_surfaces))];
    if (face != nullptr) *face = surface.face;
    return surface.members[random.Below(surface.members.size())];
}

unsigned KindCalled(const Member& member, WORD flags) noexcept {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        // A put by reference alone is only for a property that holds an object.
        if (!(flags & DISPATCH_PROPERTYPUT) && member.put != Want::Object) return 0u;
        return (member.kinds & kPut) ? unsigned{kPut} : 0u;
    }
    if ((flags & DISPATCH_METHOD) && (member.kinds & kMethod)) return unsigned{kMethod};
    if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) && (member.kinds & kGet)) return unsigned{kGet};
    return 0u;
}

}  // namespace zorvane::fuzz
