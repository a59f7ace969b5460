#include "component/component_model.h"

#include <unknwn.h>

#include "component/module_lifetime.h"
#include "win/com_error.h"
#include "win/com_object.h"

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
            LockModule();
        } else {
            UnlockModule();
        }
        return S_OK;
    }

private:
    const ClassEntry& entry_;
};

}  // namespace

BOOL OnLoad(HINSTANCE module, DWORD reason, void*) noexcept {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    return TRUE;
}

HRESULT GetClassObject(const ComponentDescriptor& component, REFCLSID class_id, REFIID iid,
                       void** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    for (const ClassEntry& entry : component.registration.classes) {
        if (*entry.class_id == class_id) {
            return win::ComBoundary(iid, component.name, [&] {
                return win::Make<ClassFactory>(entry)->QueryInterface(iid, out);
            });
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace zorvane::component
