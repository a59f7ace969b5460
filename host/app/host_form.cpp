#include "host/app/host_form.h"

#include <olectl.h>

#include "win/automation_call.h"
#include "win/plain_dispatch.h"

namespace zorvane::host_app {
namespace {

class HostForm final : public win::PlainDispatch<HostForm> {
public:
    // The host's own object: it does not hold any module of ours in memory.
    static constexpr bool kHoldsModule = false;

    explicit HostForm(HWND window) noexcept : window_(window) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        if (names == nullptr || ids == nullptr) return E_POINTER;
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            const bool known = i == 0 && win::SameName(names[i], L"hWnd");
            ids[i] = known ? DISPID_HWND : DISPID_UNKNOWN;
            if (!known) result = DISP_E_UNKNOWNNAME;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO*, UINT*) noexcept override {
        if (id != DISPID_HWND) return DISP_E_MEMBERNOTFOUND;
        if ((flags & DISPATCH_PROPERTYGET) == 0) return DISP_E_MEMBERNOTFOUND;
        if (parameters != nullptr && parameters->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (result == nullptr) return S_OK;
        VariantInit(result);
        V_VT(result) = VT_I4;
        V_I4(result) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(window_));
        return S_OK;
    }

private:
    HWND window_;
};

}  // namespace

Microsoft::WRL::ComPtr<IDispatch> MakeHostForm(HWND window) { return win::Make<HostForm>(window); }

}  // namespace zorvane::host_app
