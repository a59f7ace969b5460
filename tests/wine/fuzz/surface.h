#pragma once
// The members a host can reach on our objects, as the automation rules see them: name,
// dispatch identifier, kinds of call, parameters, what a call gives, and who answers it
// (the type information of the interface, or our own table of a form's members).
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "tests/wine/fuzz/values.h"

namespace zorvane::fuzz {

enum Kinds : unsigned {
    kMethod = 1,
    kGet = 2,
    kPut = 4,
};

enum class AnsweredBy { TypeInformation, FormTable };

enum Effects : unsigned {
    kNoEffect = 0,
    kOpensInputBox = 1,  // Configure, PluginConfigurationData
    kMayBeModal = 2,     // Show
    kStoresHelper = 4,   // Init
    kGivesModuleInfo = 8,
};

struct Member {
    const wchar_t* name;
    DISPID id;  // 0: the rule editor's own, found by name
    unsigned kinds;
    std::uint8_t required;
    std::array<const wchar_t*, 4> parameters;
    std::array<Want, 4> wants;
    Want put;       // the value a property put takes
    VARTYPE gives;  // what a method call or a read gives; VT_EMPTY for nothing
    AnsweredBy by;
    unsigned effects;

    std::size_t ParameterCount() const noexcept {
        std::size_t count = 0;
        while (count < parameters.size() && parameters[count] != nullptr) ++count;
        return count;
    }
};

enum class Face { Default, Module, Plugin, Tool };

struct Surface {
    Face face;
    const char* name;
    IID iid;
    std::span<Member> members;
};

// _clsVELTPlugIn, IVELTModule, IVELTPlugin (the plug-in object) and the rule editor.
Surface& SurfaceOf(Face face);
const Member* FindMember(const Surface& surface, DISPID id);
const Member* FindMemberNamed(const Surface& surface, const wchar_t* name);

// A member of another face, for calls through the wrong interface.
const Member& AnyMember(Random& random, Face* face = nullptr);

// Kinds of call a flags value asks for, as the rules resolve them for a member: 0 when it
// cannot be called so.
unsigned KindCalled(const Member& member, WORD flags) noexcept;

}  // namespace zorvane::fuzz
