#include "host/standin/module_info.h"

#include <new>
#include <utility>

#include "host/standin/host_library.h"
#include "host/standin/variant_text.h"
#include "win/com_error.h"
#include "win/handles.h"
#include "win/type_info_dispatch.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::standin {
namespace {

// The conversion functions leave their source alone but are declared to take it mutable.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }

constexpr wchar_t kSource[] = L"VELTModuleInfo";

// Records one call; its answer is the failure asked for, if this is the call to fail.
HRESULT Step(ModuleInfoRecord& record, REFIID iid, std::wstring text) noexcept {
    try {
        const bool fail = record.fail_at != 0 && record.calls.size() + 1 == record.fail_at;
        if (fail) text += L" -> error " + HexCode(record.fail_code);
        record.calls.push_back(std::move(text));
        if (!fail) return S_OK;
        return win::SetErrorInfoFor(iid, record.fail_code, kSource,
                                    L"Der Aufruf wurde vom Host abgewiesen.");
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

std::wstring Quoted(BSTR text) { return L"\"" + std::wstring(text ? text : L"", SysStringLen(text)) + L"\""; }

HRESULT CopyText(const std::wstring& text, BSTR* out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT ToText(const VARIANT& value, std::wstring& text) {
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, Source(value), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    text.assign(V_BSTR(&converted), SysStringLen(V_BSTR(&converted)));
    VariantClear(&converted);
    return S_OK;
}

bool Omitted(const VARIANT* value) {
    return value == nullptr || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND);
}

// IStandinRecorder over a shared record; the object sets the record as it is made.
class Recorded : public IStandinRecorder {
public:
    using InterfaceType = IStandinRecorder;

    HRESULT STDMETHODCALLTYPE GetCalls(BSTR* calls) noexcept override {
        if (calls == nullptr) return E_POINTER;
        *calls = nullptr;
        try {
            std::wstring joined;
            for (const auto& call : record_->calls) joined += call + L"\n";
            return CopyText(joined, calls);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE FailCall(ULONG call, HRESULT code) noexcept override {
        record_->fail_at = call;
        record_->fail_code = code;
        return S_OK;
    }

protected:
    void set_record(std::shared_ptr<ModuleInfoRecord> record) noexcept { record_ = std::move(record); }
    ModuleInfoRecord& record() const noexcept { return *record_; }

private:
    std::shared_ptr<ModuleInfoRecord> record_;
};

class Collection final
    : public win::ComObject<Collection,
                            win::TypeInfoDispatch<IVELTCollection, HostLibraryTypeInfoOf<IVELTCollection>>,
                            Recorded> {
public:
    explicit Collection(std::shared_ptr<ModuleInfoRecord> record) { set_record(std::move(record)); }

    HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT* before,
                                  VARIANT* after) noexcept override {
        if (item == nullptr) return E_POINTER;
        try {
            HRESULT hr = Step(record(), __uuidof(IVELTCollection),
                              L"Add " + DescribeVariantWithType(*item) + L", " + Describe(key) + L", " +
                                  Describe(before) + L", " + Describe(after));
            if (FAILED(hr)) return hr;
            Entry entry;
            if (!Omitted(key)) {
                hr = ToText(*key, entry.key);
                if (FAILED(hr)) return hr;
                if (Find(entry.key) != entries_.size()) {
                    return win::SetErrorInfoFor(
                        __uuidof(IVELTCollection), MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 457),
                        kSource, L"Dieser Schl\u00FCssel ist bereits einem Element dieser Auflistung zugeordnet.");
                }
            }
            std::size_t position = entries_.size();
            if (!Omitted(before) || !Omitted(after)) {
                const bool is_before = !Omitted(before);
                hr = Position(is_before ? *before : *after, position);
                if (FAILED(hr)) return hr;
                if (!is_before) ++position;
            }
            hr = VariantCopyInd(entry.item.get(), item);
            if (FAILED(hr)) return hr;
            entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(position), std::move(entry));
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) noexcept override {
        if (count == nullptr) return E_POINTER;
        const HRESULT hr = Step(record(), __uuidof(IVELTCollection), L"get Count");
        if (FAILED(hr)) return hr;
        *count = static_cast<LONG>(entries_.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Item(VARIANT* index, VARIANT* item) noexcept override {
        if (index == nullptr || item == nullptr) return E_POINTER;
        VariantInit(item);
        try {
            HRESULT hr = Step(record(), __uuidof(IVELTCollection), L"Item " + DescribeVariant(*index));
            if (FAILED(hr)) return hr;
            std::size_t position = 0;
            hr = Position(*index, position);
            if (FAILED(hr)) return hr;
            return VariantCopy(item, entries_[position].item.get());
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    struct Entry {
        win::Variant item;
        std::wstring key;
    };

    static std::wstring Describe(const VARIANT* value) {
        return value == nullptr ? L"<missing>" : DescribeVariantWithType(*value);
    }

    std::size_t Find(const std::wstring& key) const {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (!entries_[i].key.empty() &&
                CompareStringOrdinal(entries_[i].key.c_str(), -1, key.c_str(), -1, TRUE) == CSTR_EQUAL)
                return i;
        }
        return entries_.size();
    }

    // An entry named by its 1-based position or its key.
    HRESULT Position(const VARIANT& index, std::size_t& position) const {
        const VARIANT* shown = &index;
        if (V_VT(shown) == (VT_VARIANT | VT_BYREF)) shown = V_VARIANTREF(shown);
        if (V_VT(shown) == VT_BSTR || V_VT(shown) == (VT_BSTR | VT_BYREF)) {
            std::wstring key;
            const HRESULT hr = ToText(*shown, key);
            if (FAILED(hr)) return hr;
            position = Find(key);
        } else {
            VARIANT number;
            VariantInit(&number);
            if (FAILED(VariantChangeType(&number, Source(*shown), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            position = V_I4(&number) >= 1 ? static_cast<std::size_t>(V_I4(&number) - 1) : entries_.size();
        }
        if (position >= entries_.size()) {
            return win::SetErrorInfoFor(__uuidof(IVELTCollection), DISP_E_BADINDEX, kSource,
                                        L"Index au\u00DFerhalb des g\u00FCltigen Bereichs.");
        }
        return S_OK;
    }

    std::vector<Entry> entries_;
};

class ModuleInfo final
    : public win::ComObject<ModuleInfo,
                            win::TypeInfoDispatch<IVELTModuleInfo, HostLibraryTypeInfoOf<IVELTModuleInfo>>,
                            Recorded> {
public:
    explicit ModuleInfo(std::shared_ptr<ModuleInfoRecord> record)
        : capabilities_(win::Make<Collection>(record)) {
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
            return Step(record(), __uuidof(IVELTModuleInfo), text);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT Record(std::wstring text) noexcept { return Step(record(), __uuidof(IVELTModuleInfo), std::move(text)); }

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
    ComPtr<Collection> capabilities_;
};

}  // namespace

ComPtr<IVELTModuleInfo> MakeModuleInfo(std::shared_ptr<ModuleInfoRecord> record) {
    return win::Make<ModuleInfo>(std::move(record));
}

HRESULT ModuleInfoFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    if (FAILED(fail_next_create_)) return std::exchange(fail_next_create_, S_OK);
    try {
        auto record = std::make_shared<ModuleInfoRecord>();
        record->fail_at = fail_at_;
        record->fail_code = fail_code_;
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
    ComPtr<IStandinRecorder> recorder;
    win::ThrowIfFailed(object->QueryInterface(IID_PPV_ARGS(&recorder)));
    win::Bstr calls;
    win::ThrowIfFailed(recorder->GetCalls(calls.put()));
    return SplitCalls(calls.get());
}

}  // namespace zorvane::standin
