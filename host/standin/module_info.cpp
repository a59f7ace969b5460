#include "host/standin/module_info.h"

#include <utility>

#include "host/standin/collection.h"
#include "host/standin/host_library.h"
#include "host/standin/variant_text.h"
#include "win/com_error.h"
#include "win/type_info_dispatch.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::standin {
namespace {

std::wstring Quoted(BSTR text) { return L"\"" + std::wstring(text ? text : L"", SysStringLen(text)) + L"\""; }

HRESULT CopyText(const std::wstring& text, BSTR* out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

class ModuleInfo final
    : public win::ComObject<ModuleInfo,
                            win::TypeInfoDispatch<IVELTModuleInfo, HostLibraryTypeInfoOf<IVELTModuleInfo>>,
                            Recorded, VouchesForErrorInfo<IVELTModuleInfo>> {
public:
    explicit ModuleInfo(std::shared_ptr<ModuleInfoRecord> record) : capabilities_(MakeCollection(record)) {
        set_record(std::move(record));
    }
    ~ModuleInfo() override { record().alive = false; }

    HRESULT STDMETHODCALLTYPE get_ModuleGUID(BSTR* value) noexcept override {
        return GetText(L"ModuleGUID", values().module_guid, value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleGUID(BSTR value) noexcept override {
        return PutText(L"ModuleGUID", value, values().module_guid);
    }
    HRESULT STDMETHODCALLTYPE get_ModuleName(BSTR* value) noexcept override {
        return GetText(L"ModuleName", values().module_name, value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleName(BSTR value) noexcept override {
        return PutText(L"ModuleName", value, values().module_name);
    }
    HRESULT STDMETHODCALLTYPE get_ModuleDescription(BSTR* value) noexcept override {
        return GetText(L"ModuleDescription", values().module_description, value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleDescription(BSTR value) noexcept override {
        return PutText(L"ModuleDescription", value, values().module_description);
    }
    HRESULT STDMETHODCALLTYPE get_ModuleAuthor(BSTR* value) noexcept override {
        return GetText(L"ModuleAuthor", values().module_author, value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleAuthor(BSTR value) noexcept override {
        return PutText(L"ModuleAuthor", value, values().module_author);
    }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* value) noexcept override {
        return Get(L"Enabled", values().enabled, value);
    }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) noexcept override {
        return PutBool(L"Enabled", value, values().enabled);
    }
    HRESULT STDMETHODCALLTYPE get_Configurable(VARIANT_BOOL* value) noexcept override {
        return Get(L"Configurable", values().configurable, value);
    }
    HRESULT STDMETHODCALLTYPE put_Configurable(VARIANT_BOOL value) noexcept override {
        return PutBool(L"Configurable", value, values().configurable);
    }
    HRESULT STDMETHODCALLTYPE get_ModuleType(LONG* value) noexcept override {
        return Get(L"ModuleType", values().module_type, value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleType(LONG value) noexcept override {
        const HRESULT hr = Record(L"put ModuleType " + std::to_wstring(value));
        if (SUCCEEDED(hr)) values().module_type = value;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE get_ToolWindowName(BSTR* value) noexcept override {
        return GetText(L"ToolWindowName", values().tool_window_name, value);
    }
    HRESULT STDMETHODCALLTYPE put_ToolWindowName(BSTR value) noexcept override {
        return PutText(L"ToolWindowName", value, values().tool_window_name);
    }
    HRESULT STDMETHODCALLTYPE get_ToolWindow(IDispatch** value) noexcept override {
        if (value == nullptr) return E_POINTER;
        *value = nullptr;
        const HRESULT hr = Record(L"get ToolWindow");
        if (FAILED(hr)) return hr;
        *value = tool_window_.Get();
        if (*value != nullptr) (*value)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE putref_ToolWindow(IDispatch* value) noexcept override {
        const HRESULT hr = Record(value != nullptr ? L"putref ToolWindow <object>"
                                                   : L"putref ToolWindow <nothing>");
        if (FAILED(hr)) return hr;
        tool_window_ = value;
        values().tool_window = value;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ToolWindowDocked(VARIANT_BOOL* value) noexcept override {
        return Get(L"ToolWindowDocked", values().tool_window_docked, value);
    }
    HRESULT STDMETHODCALLTYPE put_ToolWindowDocked(VARIANT_BOOL value) noexcept override {
        return PutBool(L"ToolWindowDocked", value, values().tool_window_docked);
    }
    HRESULT STDMETHODCALLTYPE get_ToolWindowModal(VARIANT_BOOL* value) noexcept override {
        return Get(L"ToolWindowModal", values().tool_window_modal, value);
    }
    HRESULT STDMETHODCALLTYPE put_ToolWindowModal(VARIANT_BOOL value) noexcept override {
        return PutBool(L"ToolWindowModal", value, values().tool_window_modal);
    }
    HRESULT STDMETHODCALLTYPE get_ShowInToolsMenu(VARIANT_BOOL* value) noexcept override {
        return Get(L"ShowInToolsMenu", values().show_in_tools_menu, value);
    }
    HRESULT STDMETHODCALLTYPE put_ShowInToolsMenu(VARIANT_BOOL value) noexcept override {
        return PutBool(L"ShowInToolsMenu", value, values().show_in_tools_menu);
    }
    HRESULT STDMETHODCALLTYPE get_ShowInPluginList(VARIANT_BOOL* value) noexcept override {
        return Get(L"ShowInPluginList", values().show_in_plugin_list, value);
    }
    HRESULT STDMETHODCALLTYPE put_ShowInPluginList(VARIANT_BOOL value) noexcept override {
        return PutBool(L"ShowInPluginList", value, values().show_in_plugin_list);
    }
    HRESULT STDMETHODCALLTYPE get_Capabilities(IVELTCollection** value) noexcept override {
        if (value == nullptr) return E_POINTER;
        *value = nullptr;
        const HRESULT hr = Record(L"get Capabilities");
        if (FAILED(hr)) return hr;
        return capabilities_.CopyTo(value);
    }

private:
    ModuleInfoValues& values() const noexcept { return record().values; }

    HRESULT Record(const wchar_t* text) noexcept {
        try {
            return RecordCall(record(), __uuidof(IVELTModuleInfo), text);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT Record(std::wstring text) noexcept {
        return RecordCall(record(), __uuidof(IVELTModuleInfo), std::move(text));
    }

    HRESULT PutText(const wchar_t* name, BSTR value, std::wstring& field) noexcept {
        try {
            const HRESULT hr = Record(L"put " + std::wstring(name) + L" " + Quoted(value));
            if (SUCCEEDED(hr)) field.assign(value ? value : L"", SysStringLen(value));
            return hr;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT GetText(const wchar_t* name, const std::wstring& field, BSTR* value) noexcept {
        if (value == nullptr) return E_POINTER;
        *value = nullptr;
        try {
            const HRESULT hr = Record(L"get " + std::wstring(name));
            return FAILED(hr) ? hr : CopyText(field, value);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT PutBool(const wchar_t* name, VARIANT_BOOL value, VARIANT_BOOL& field) noexcept {
        try {
            const HRESULT hr = Record(L"put " + std::wstring(name) + L" " + DescribeBool(value));
            if (SUCCEEDED(hr)) field = value;
            return hr;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    template <class T>
    HRESULT Get(const wchar_t* name, const T& field, T* value) noexcept {
        if (value == nullptr) return E_POINTER;
        try {
            const HRESULT hr = Record(L"get " + std::wstring(name));
            if (SUCCEEDED(hr)) *value = field;
            return hr;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    ComPtr<IDispatch> tool_window_;
    ComPtr<IVELTCollection> capabilities_;
};

}  // namespace

ComPtr<IVELTModuleInfo> MakeModuleInfo(std::shared_ptr<ModuleInfoRecord> record) {
    return win::Make<ModuleInfo>(std::move(record));
}

HRESULT ModuleInfoFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (FAILED(fail_next_create_)) {
        const HRESULT code = std::exchange(fail_next_create_, S_OK);
        if (!fail_create_with_error_info_) return code;
        return win::SetErrorInfoFor(__uuidof(IVELTModuleInfo), code, kErrorSource, kRefusalDescription);
    }
    try {
        auto record = std::make_shared<ModuleInfoRecord>();
        record->fail_at = fail_at_;
        record->fail_code = fail_code_;
        record->fail_with_error_info = fail_with_error_info_;
        ComPtr<IVELTModuleInfo> info = MakeModuleInfo(record);
        created_.push_back(std::move(record));
        return info.CopyTo(iid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ModuleInfoFactory::LockServer(BOOL lock) noexcept {
    if (lock) {
        win::ModuleCount::Increment();
    } else {
        win::ModuleCount::Decrement();
    }
    return S_OK;
}

ModuleInfoClassOverride::ModuleInfoClassOverride() : factory_(win::Make<ModuleInfoFactory>()) {
    win::ThrowIfFailed(CoRegisterClassObject(CLSID_VELTModuleInfo, factory_.Get(), CLSCTX_INPROC_SERVER,
                                             REGCLS_MULTIPLEUSE, &cookie_));
}

ModuleInfoClassOverride::~ModuleInfoClassOverride() { CoRevokeClassObject(cookie_); }

}  // namespace zorvane::standin
