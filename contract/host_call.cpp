#include "contract/host_call.h"

#include <wrl/client.h>

#include <string>

#include "win/com_error.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane {

void ThrowHostFailure(HRESULT hr, IUnknown* callee, REFIID iid) {
    // Taken in any case, so that no stale information outlives this failure.
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK) info.Reset();

    ComPtr<ISupportErrorInfo> supports;
    const bool trusted = info && callee != nullptr &&
                         SUCCEEDED(callee->QueryInterface(IID_PPV_ARGS(&supports))) &&
                         supports->InterfaceSupportsErrorInfo(iid) == S_OK;
    if (trusted) {
        win::Bstr description;
        win::Bstr source;
        info->GetDescription(description.put());
        info->GetSource(source.put());
        if (!description.view().empty()) {
            throw win::ComError(hr, std::wstring(description.view()), std::wstring(source.view()));
        }
    }
    win::ThrowHr(hr);
}

}  // namespace zorvane
