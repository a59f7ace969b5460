#pragma once
// The component-model layer: a class table served by one generic class factory,
// and registration from a registration record. The entry points of the DLL hand their
// calls to it with the component's own data; the unload question is module_lifetime's.
#include <windows.h>

#include <span>

namespace zorvane::component {

// Creates an object of a class and hands out its interface iid.
using CreateFunction = HRESULT (*)(REFIID iid, void** out) noexcept;

struct ClassEntry {
    const CLSID* class_id;
    const wchar_t* prog_id;
    CreateFunction create;
};

struct RegistrationRecord {
    const GUID* library_id;
    LCID library_locale;
    WORD library_major;
    WORD library_minor;
    std::span<const ClassEntry> classes;
};

struct ComponentDescriptor {
    // The source named in the error information of the entry points.
    const wchar_t* name;
    // The threading model every class is registered with.
    const wchar_t* threading_model;
    RegistrationRecord registration;
};

BOOL OnLoad(HINSTANCE module, DWORD reason, void* reserved) noexcept;
HRESULT RegisterServer(const ComponentDescriptor& component) noexcept;
HRESULT UnregisterServer(const ComponentDescriptor& component) noexcept;
// DllInstall: with the command line "user", the registration for the current user only
// (HKEY_CURRENT_USER\Software\Classes), or its removal; E_INVALIDARG for any other.
HRESULT InstallServer(const ComponentDescriptor& component, bool install, const wchar_t* command_line) noexcept;
HRESULT GetClassObject(const ComponentDescriptor& component, REFCLSID class_id, REFIID iid,
                       void** out) noexcept;

}  // namespace zorvane::component
