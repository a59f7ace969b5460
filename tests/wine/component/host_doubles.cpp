#include "tests/wine/component/host_doubles.h"

#include <stdexcept>

namespace zorvane::test {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Flag(VARIANT_BOOL value) {
    return value == VARIANT_TRUE ? L"true" : value == VARIANT_FALSE ? L"false" : L"?";
}

std::wstring VariantText(const VARIANT* value) {
    if (value == nullptr) return L"null";
    if (V_VT(value) == VT_I4) return L"I4 " + std::to_wstring(V_I4(value));
    if (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND) return L"missing";
    return L"VT " + std::to_wstring(V_VT(value));
}

// Records the call; returns the injected failure when it is this call's turn.
HRESULT Record(ModuleInfoRecord& record, std::wstring call) {
    record.calls.push_back(std::move(call));
    if (!record.failure || record.failure->call != record.calls.size() - 1) return S_OK;
    const InjectedFailure& failure = *record.failure;
    if (!failure.description.empty()) {
        ComPtr<ICreateErrorInfo> create;
        CreateErrorInfo(&create);
        create->SetGUID(__uuidof(IVELTModuleInfo));
        create->SetSource(const_cast<wchar_t*>(failure.source.c_str()));
        create->SetDescription(const_cast<wchar_t*>(failure.description.c_str()));
        ComPtr<IErrorInfo> info;
        create.As(&info);
        SetErrorInfo(0, info.Get());
    }
    return failure.code;
}

template <class Interface>
class DispatchDouble : public Interface {
public:
    using InterfaceType = Interface;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        return E_NOTIMPL;
    }
};

class RecordingCollection final
    : public win::ComObject<RecordingCollection, DispatchDouble<IVELTCollection>, ISupportErrorInfo> {
public:
    static constexpr bool kHoldsModule = false;
    explicit RecordingCollection(ModuleInfoRecord& record) : record_(record) {}

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(IVELTCollection) ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Add(VARIANT* item, VARIANT* key, VARIANT* before,
                                  VARIANT* after) noexcept override {
        return Record(record_, L"Add " + VariantText(item) + L", " + VariantText(key) + L", " +
                                   VariantText(before) + L", " + VariantText(after));
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Item(VARIANT*, VARIANT*) noexcept override { return E_NOTIMPL; }

private:
    ModuleInfoRecord& record_;
};

class RecordingModuleInfo final
    : public win::ComObject<RecordingModuleInfo, DispatchDouble<IVELTModuleInfo>, ISupportErrorInfo> {
public:
    static constexpr bool kHoldsModule = false;
    explicit RecordingModuleInfo(ModuleInfoRecord& record) : record_(record) { ++record_.live_objects; }
    ~RecordingModuleInfo() override { --record_.live_objects; }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(IVELTModuleInfo) ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE put_ModuleGUID(BSTR value) noexcept override { return Text(L"ModuleGUID", value); }
    HRESULT STDMETHODCALLTYPE put_ModuleName(BSTR value) noexcept override { return Text(L"ModuleName", value); }
    HRESULT STDMETHODCALLTYPE put_ModuleDescription(BSTR value) noexcept override {
        return Text(L"ModuleDescription", value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleAuthor(BSTR value) noexcept override { return Text(L"ModuleAuthor", value); }
    HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL value) noexcept override { return Bool(L"Enabled", value); }
    HRESULT STDMETHODCALLTYPE put_Configurable(VARIANT_BOOL value) noexcept override {
        return Bool(L"Configurable", value);
    }
    HRESULT STDMETHODCALLTYPE put_ModuleType(LONG value) noexcept override {
        return Record(record_, L"put ModuleType " + std::to_wstring(value));
    }
    HRESULT STDMETHODCALLTYPE put_ToolWindowName(BSTR value) noexcept override {
        return Text(L"ToolWindowName", value);
    }
    HRESULT STDMETHODCALLTYPE putref_ToolWindow(IDispatch* value) noexcept override {
        record_.tool_windows.emplace_back(value);
        return Record(record_, value != nullptr ? L"putref ToolWindow" : L"putref ToolWindow null");
    }
    HRESULT STDMETHODCALLTYPE put_ToolWindowDocked(VARIANT_BOOL value) noexcept override {
        return Bool(L"ToolWindowDocked", value);
    }
    HRESULT STDMETHODCALLTYPE put_ToolWindowModal(VARIANT_BOOL value) noexcept override {
        return Bool(L"ToolWindowModal", value);
    }
    HRESULT STDMETHODCALLTYPE put_ShowInToolsMenu(VARIANT_BOOL value) noexcept override {
        return Bool(L"ShowInToolsMenu", value);
    }
    HRESULT STDMETHODCALLTYPE put_ShowInPluginList(VARIANT_BOOL value) noexcept override {
        return Bool(L"ShowInPluginList", value);
    }
    HRESULT STDMETHODCALLTYPE get_Capabilities(IVELTCollection** value) noexcept override {
        if (value == nullptr) return E_POINTER;
        *value = nullptr;
        const HRESULT hr = Record(record_, L"get Capabilities");
        if (FAILED(hr)) return hr;
        *value = win::Make<RecordingCollection>(record_).Detach();
        return S_OK;
    }

    // Reads are not part of filling the object.
    HRESULT STDMETHODCALLTYPE get_ModuleGUID(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModuleName(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModuleDescription(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModuleAuthor(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Configurable(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ModuleType(LONG*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolWindowName(BSTR*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolWindow(IDispatch**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolWindowDocked(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolWindowModal(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ShowInToolsMenu(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ShowInPluginList(VARIANT_BOOL*) noexcept override { return E_NOTIMPL; }

private:
    HRESULT Text(const wchar_t* name, BSTR value) {
        return Record(record_, std::wstring(L"put ") + name + L" " +
                                   std::wstring(value, SysStringLen(value)));
    }
    HRESULT Bool(const wchar_t* name, VARIANT_BOOL value) {
        return Record(record_, std::wstring(L"put ") + name + L" " + Flag(value));
    }

    ModuleInfoRecord& record_;
};

class RecordingFactory final : public win::ComObject<RecordingFactory, IClassFactory> {
public:
    static constexpr bool kHoldsModule = false;
    explicit RecordingFactory(ModuleInfoRecord& record) : record_(record) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        const HRESULT hr = Record(record_, L"create");
        if (FAILED(hr)) return hr;
        return win::Make<RecordingModuleInfo>(record_)->QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }

private:
    ModuleInfoRecord& record_;
};

}  // namespace

RecordingModuleInfoClass::RecordingModuleInfoClass(ModuleInfoRecord& record) {
    const ComPtr<RecordingFactory> factory = win::Make<RecordingFactory>(record);
    const HRESULT hr = CoRegisterClassObject(CLSID_VELTModuleInfo, factory.Get(), CLSCTX_INPROC_SERVER,
                                             REGCLS_MULTIPLEUSE, &cookie_);
    if (FAILED(hr)) throw std::runtime_error("CoRegisterClassObject failed");
}

RecordingModuleInfoClass::~RecordingModuleInfoClass() { CoRevokeClassObject(cookie_); }

std::vector<std::wstring> ExpectedModuleInfoCalls() {
    return {
        L"create",
        L"put ModuleGUID {b61b4c42-17ed-11da-94c3-00e08161165f}",
        L"put ModuleName Zorvane",
        L"put ModuleDescription Erlaubt das Setzen von Minimal- und Maximalwerte f\u00fcr Kan\u00e4le.",
        L"put ModuleAuthor Jorvin Ulvmar",
        L"put Enabled true",
        L"put Configurable true",
        L"put ModuleType 2",
        L"put ToolWindowName frmZorvane",
        L"putref ToolWindow",
        L"put ToolWindowDocked false",
        L"put ToolWindowModal false",
        L"put ShowInToolsMenu true",
        L"put ShowInPluginList true",
        L"get Capabilities",
        L"Add I4 3, missing, missing, missing",
        L"Add I4 15, missing, missing, missing",
    };
}

}  // namespace zorvane::test
