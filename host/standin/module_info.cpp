#include "host/standin/module_info.h"

#include <type_traits>
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

    // The plain properties: each get and put records the call and answers or keeps the value.
#define ZORVANE_STANDIN_PROPERTY(Name, Type, field)                                        \
    HRESULT STDMETHODCALLTYPE get_##Name(Type* value) noexcept override {                  \
        return Get(L"" #Name, values().field, value);                                      \
    }                                                                                      \
    HRESULT STDMETHODCALLTYPE put_##Name(Type value) noexcept override {                   \
        return Put(L"" #Name, value, values().field);                                      \
    }
    ZORVANE_STANDIN_PROPERTY(ModuleGUID, BSTR, module_guid)
    ZORVANE_STANDIN_PROPERTY(ModuleName, BSTR, module_name)
    ZORVANE_STANDIN_PROPERTY(ModuleDescription, BSTR, module_description)
    ZORVANE_STANDIN_PROPERTY(ModuleAuthor, BSTR, module_author)
    ZORVANE_STANDIN_PROPERTY(Enabled, VARIANT_BOOL, enabled)
    ZORVANE_STANDIN_PROPERTY(Configurable, VARIANT_BOOL, configurable)
    ZORVANE_STANDIN_PROPERTY(ModuleType, LONG, module_type)
    ZORVANE_STANDIN_PROPERTY(ToolWindowName, BSTR, tool_window_name)
    ZORVANE_STANDIN_PROPERTY(ToolWindowDocked, VARIANT_BOOL, tool_window_docked)
    ZORVANE_STANDIN_PROPERTY(ToolWindowModal, VARIANT_BOOL, tool_window_modal)
    ZORVANE_STANDIN_PROPERTY(ShowInToolsMenu, VARIANT_BOOL, show_in_tools_menu)
    ZORVANE_STANDIN_PROPERTY(ShowInPluginList, VARIANT_BOOL, show_in_plugin_list)
#undef ZORVANE_STANDIN_PROPERTY

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

    // How a put shows each kind of value in the record, and how the value is kept.
    static std::wstring Described(BSTR value) { return Quoted(value); }
    static std::wstring Described(VARIANT_BOOL value) { return DescribeBool(value); }
    static std::wstring Described(LONG value) { return std::to_wstring(value); }
    static void Keep(BSTR value, std::wstring& field) { field.assign(value ? value : L"", SysStringLen(value)); }
    template <class T>
    static void Keep(T value, T& field) noexcept {
        field = value;
    }
    static HRESULT Answer(const std::wstring& field, BSTR* value) noexcept { return CopyText(field, value); }
    template <class T>
    static HRESULT Answer(const T& field, T* value) noexcept {
        *value = field;
        return S_OK;
    }

    template <class Value, class Field>
    HRESULT Put(const wchar_t* name, Value value, Field& field) noexcept {
        try {
            const HRESULT hr = Record(L"put " + std::wstring(name) + L" " + Described(value));
            if (SUCCEEDED(hr)) Keep(value, field);
            return hr;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    template <class Value, class Field>
    HRESULT Get(const wchar_t* name, const Field& field, Value* value) noexcept {
        if (value == nullptr) return E_POINTER;
        if constexpr (std::is_pointer_v<Value>) *value = nullptr;
        try {
            const HRESULT hr = Record(L"get " + std::wstring(name));
            return FAILED(hr) ? hr : Answer(field, value);
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
