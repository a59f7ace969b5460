#include "host/standin/module_info_record.h"

#include <wrl/client.h>

#include <string_view>

#include "host/standin/variant_text.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::standin {

HRESULT RecordCall(ModuleInfoRecord& record, REFIID iid, std::wstring text) noexcept {
    try {
        const bool fail = record.fail_at != 0 && record.calls.size() + 1 == record.fail_at;
        if (fail) text += L" -> error " + HexCode(record.fail_code);
        record.calls.push_back(std::move(text));
        if (!fail) return S_OK;
        if (!record.fail_with_error_info) return record.fail_code;
        return win::SetErrorInfoFor(iid, record.fail_code, kErrorSource, kRefusalDescription);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Recorded::GetCalls(BSTR* calls) noexcept {
    if (calls == nullptr) return E_POINTER;
    *calls = nullptr;
    try {
        std::wstring joined;
        for (const auto& call : record_->calls) joined += call + L"\n";
        *calls = SysAllocStringLen(joined.data(), static_cast<UINT>(joined.size()));
        return *calls != nullptr ? S_OK : E_OUTOFMEMORY;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Recorded::FailCall(ULONG call, HRESULT code) noexcept {
    record_->fail_at = call;
    record_->fail_code = code;
    record_->fail_with_error_info = true;
    return S_OK;
}

std::vector<std::wstring> SplitCalls(BSTR calls) {
    std::vector<std::wstring> lines;
    const std::wstring_view all(calls ? calls : L"", SysStringLen(calls));
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find(L'\n', start);
        lines.emplace_back(all.substr(start, end - start));
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return lines;
}

std::vector<std::wstring> RecordedCalls(IUnknown* object) {
    Microsoft::WRL::ComPtr<IStandinRecorder> recorder;
    win::ThrowIfFailed(object->QueryInterface(IID_PPV_ARGS(&recorder)));
    win::Bstr calls;
    win::ThrowIfFailed(recorder->GetCalls(calls.put()));
    return SplitCalls(calls.get());
}

}  // namespace zorvane::standin
