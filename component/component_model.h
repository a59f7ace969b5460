#pragma once
// The component-model layer: a class table served by one generic class factory,
// registration from a registration record, and the module's unload decision. The five
// entry points of the DLL hand their calls to it with the component's own data.
#include <windows.h>

#include <span>

namespace zorvane::component {

// Creates an object of a class and hands out its interface iid.
using CreateFunction = HRESULT (*)(REFIID iid, void** out) noexcept;

struct ClassEntry {
    const CLSID* class_id;
    const wchar_t* name;
    const wchar_t* prog_id;
    const IID* default_interface;
    CreateFunction create;
};

struct RegistrationRecord {
    const wchar_t* library_name;
    const wchar_t* library_description;
    const GUID* library_id;
    LCID library_locale;
    WORD library_major;
    WORD library_minor;
    std::span<const ClassEntry> classes;
};

enum class ThreadingModel { Apartment };

enum class ObjectKind { PublicClass, SharedModule, Window };

struct ObjectEntry {
    const wchar_t* name;
    ObjectKind kind;
};

struct ComponentDescriptor {
    LCID locale;
    LCID secondary_locale;
    ThreadingModel threading;
    const wchar_t* project_name;
    const wchar_t* title;
    const wchar_t* description;
    const wchar_t* output_file;
    RegistrationRecord registration;
    std::span<const ObjectEntry> objects;
    // What keeps the module loaded besides the module count (windows, for instance).
    bool (*keeps_module)() noexcept;
    // Drops module-wide COM state before the module is declared unloadable.
    void (*release_module_state)() noexcept;
};

// Filled at process attach; read by the exports.
struct ModuleState {
    HMODULE module = nullptr;
};

BOOL OnLoad(ModuleState& state, HINSTANCE module, DWORD reason, void* reserved) noexcept;
HRESULT RegisterServer(const ModuleState& state, const ComponentDescriptor& component) noexcept;
HRESULT UnregisterServer(const ModuleState& state, const ComponentDescriptor& component) noexcept;
HRESULT GetClassObject(const ModuleState& state, const ComponentDescriptor& component,
                       REFCLSID class_id, REFIID iid, void** out) noexcept;
HRESULT CanUnloadNow(const ComponentDescriptor& component) noexcept;

}  // namespace zorvane::component
