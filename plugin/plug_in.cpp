#include "plugin/plug_in.h"

#include <utility>

#include "clamp/win32/velt_zorvane.h"
#include "contract/type_libraries.h"
#include "plugin/module_info.h"
#include "plugin/plugin_identity.h"
#include "ui/win32/plugin_configuration.h"
#include "win/com_error.h"
#include "win/com_object.h"
#include "win/handles.h"
#include "win/module_count.h"
#include "win/type_info_dispatch.h"

namespace zorvane {
namespace {

// No state of its own: the helper lives in VELTZorvane, the window in its component-wide
// instance.
class PlugIn final
    : public win::ComObject<PlugIn,
                            win::TypeInfoDispatch<_clsVELTPlugIn, OwnTypeInfoOf<_clsVELTPlugIn>>,
                            win::TypeInfoDispatch<IVELTModule, HostTypeInfoOf<IVELTModule>>,
                            win::TypeInfoDispatch<IVELTPlugin, HostTypeInfoOf<IVELTPlugin>>,
                            ISupportErrorInfo> {
public:
    // _clsVELTPlugIn and IVELTPlugin alike.
    HRESULT STDMETHODCALLTYPE get_PluginName(BSTR* name) noexcept override {
        if (name == nullptr) return NullPointer<_clsVELTPlugIn>();
        *name = nullptr;
        return Boundary<_clsVELTPlugIn>([&] {
            *name = win::Bstr(kComponentName).release();
            return S_OK;
        });
    }

    // IVELTModule
    HRESULT STDMETHODCALLTYPE get_ModuleInfo(IVELTModuleInfo** info) noexcept override {
        if (info == nullptr) return NullPointer<IVELTModule>();
        *info = nullptr;
        return Boundary<IVELTModule>([&] {
            *info = CreateModuleInfo().Detach();
            return S_OK;
        });
    }

    // IVELTPlugin
    HRESULT STDMETHODCALLTYPE Disable(VARIANT_BOOL* result) noexcept override {
        return Answer(result, VARIANT_FALSE);
    }
    HRESULT STDMETHODCALLTYPE Enable(VARIANT_BOOL* result) noexcept override {
        return Answer(result, VARIANT_TRUE);
    }
    HRESULT STDMETHODCALLTYPE Term(VARIANT_BOOL* result) noexcept override {
        return Answer(result, VARIANT_TRUE);
    }

    HRESULT STDMETHODCALLTYPE Configure(VARIANT_BOOL* result) noexcept override {
        if (result == nullptr) return NullPointer<IVELTPlugin>();
        // True only once the dialog has run: a host reading the answer beside a failure
        // must not take it for done.
        *result = VARIANT_FALSE;
        return Boundary<IVELTPlugin>([&] {
            ui::RunPluginConfigurationData();
            *result = VARIANT_TRUE;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE Init(BSTR, BSTR, IVELTPluginHelper** helper,
                                   VARIANT_BOOL* result) noexcept override {
        if (result == nullptr) return NullPointer<IVELTPlugin>();
        *result = VARIANT_FALSE;
        return Boundary<IVELTPlugin>([&] {
            velt_zorvane::StorePluginHelper(helper != nullptr ? *helper : nullptr);
            *result = VARIANT_TRUE;
            return S_OK;
        });
    }

    HRESULT STDMETHODCALLTYPE MessageHandle(LONG, LONG, LONG, LONG* result) noexcept override {
        if (result == nullptr) return NullPointer<IVELTPlugin>();
        *result = 0;
        return S_OK;
    }

    // ISupportErrorInfo: the error information of a failed call on these is ours.
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(_clsVELTPlugIn) || iid == __uuidof(IVELTModule) ||
                       iid == __uuidof(IVELTPlugin)
                   ? S_OK
                   : S_FALSE;
    }

private:
    template <class Interface, class Body>
    static HRESULT Boundary(Body&& body) noexcept {
        // Configure runs a modal box: the host may let go of this object meanwhile and ask
        // whether the module can go.
        const win::ModuleHold hold;
        return win::ComBoundary(__uuidof(Interface), kComponentName, std::forward<Body>(body));
    }

    // A null out-pointer is refused with error information, as every failure of ours is.
    template <class Interface>
    static HRESULT NullPointer() noexcept {
        return Boundary<Interface>([]() -> HRESULT { win::ThrowHr(E_POINTER); });
    }

    static HRESULT Answer(VARIANT_BOOL* result, VARIANT_BOOL value) noexcept {
        if (result == nullptr) return NullPointer<IVELTPlugin>();
        *result = value;
        return S_OK;
    }
};

}  // namespace

HRESULT CreatePlugIn(REFIID iid, void** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return win::ComBoundary(iid, kComponentName, [&] {
        return win::Make<PlugIn>()->QueryInterface(iid, out);
    });
}

}  // namespace zorvane
