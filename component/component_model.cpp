#include "component/component_model.h"

#include <unknwn.h>

#include "win/com_error.h"
#include "win/com_object.h"
#include "win/module_count.h"

namespace zorvane::component {
namespace {

// One factory for every class of the table; it keeps the module loaded while it lives.
class ClassFactory final : public win::ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(const ClassEntry& entry) noexcept : entry_(entry) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return entry_.create(iid, out);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        if (lock) {
            win::ModuleCount::Increment();
        } else {
            win::ModuleCount::Decrement();
        }
        return S_OK;
    }

private:
    const ClassEntry& entry_;
};

}  // namespace

BOOL OnLoad(ModuleState& state, HINSTANCE module, DWORD reason, void*) noexcept {
    if (reason == DLL_PROCESS_ATTACH) {
        state.module = module;
        DisableThreadLibraryCalls(module);
    }
    return TRUE;
}

HRESULT GetClassObject(const ModuleState&, const ComponentDescriptor& component,
                       REFCLSID class_id, REFIID iid, void** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : component.registration.classes) {
        if (*entry.class_id == class_id) {
            return win::ComBoundary(iid, component.project_name, [&] {
                return win::Make<ClassFactory>(entry)->QueryInterface(iid, out);
            });
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow(const ComponentDescriptor& component) noexcept {
    if (win::ModuleCount::Value() > 0) return S_FALSE;
    if (component.keeps_module != nullptr && component.keeps_module()) return S_FALSE;
    // Here and not at detach: releasing may call into COM, which the loader lock forbids.
    if (component.release_module_state != nullptr) component.release_module_state();
    return S_OK;
}

}  // namespace zorvane::component
