#include "host/app/plugin_session.h"

#include <vector>

#include "host/standin/plugin_helper.h"
#include "win/com_error.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::host_app {
namespace {

// A failed call: the plug-in's own description when it left one, else the system's.
void Check(HRESULT hr, const std::wstring& what) {
    if (SUCCEEDED(hr)) return;
    std::wstring description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        win::Bstr text;
        if (SUCCEEDED(info->GetDescription(text.put())) && !text.view().empty()) {
            description = std::wstring(text.view());
        }
    }
    if (description.empty()) description = win::ErrorText(hr);
    win::ThrowHr(hr, what + L": " + description);
}

bool IsTrue(VARIANT_BOOL value) { return value != VARIANT_FALSE; }

// Invokes a member by name, as a host that knows the window only as IDispatch does.
win::Variant InvokeByName(IDispatch& object, const wchar_t* name, WORD flags) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Check(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
          std::wstring(L"GetIDsOfNames ") + name);
    DISPPARAMS no_arguments{};
    win::Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &no_arguments,
                                     result.get(), &exception, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
        const std::wstring description = exception.bstrDescription ? exception.bstrDescription : L"";
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        const HRESULT code = exception.scode != S_OK ? exception.scode : hr;
        win::ThrowHr(code, std::wstring(name) + L": " + description);
    }
    Check(hr, name);
    return result;
}

std::wstring RegisteredServer(const CLSID& class_id) {
    const std::wstring key = L"CLSID\\" + GuidText(class_id) + L"\\InprocServer32";
    DWORD bytes = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
        ERROR_SUCCESS) {
        return {};
    }
    return text.data();
}

std::wstring TakeText(HRESULT hr, win::Bstr& text, const wchar_t* what) {
    Check(hr, what);
    return std::wstring(text.view());
}

}  // namespace

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

PluginSession::~PluginSession() { Unload(); }

void PluginSession::Load(const std::wstring& prog_id) {
    Unload();
    Check(CLSIDFromProgID(prog_id.c_str(), &class_id_), L"CLSIDFromProgID " + prog_id);
    file_name_ = RegisteredServer(class_id_);

    ComPtr<IVELTPlugin> plugin;
    Check(CoCreateInstance(class_id_, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)),
          L"CoCreateInstance " + prog_id);

    helper_ = standin::MakePluginHelper(host_);
    // In and out: the plug-in may hand back another helper; we own whatever comes back.
    IVELTPluginHelper* passed = nullptr;
    helper_.CopyTo(&passed);
    VARIANT_BOOL result = VARIANT_FALSE;
    const win::Bstr title(kHostTitle);
    const win::Bstr file(file_name_);
    const HRESULT hr = plugin->Init(title.get(), file.get(), &passed, &result);
    // Takes over the reference Init left in `passed` (MinGW's Attach would add one).
    ComPtr<IVELTPluginHelper> returned;
    *returned.ReleaseAndGetAddressOf() = passed;
    Check(hr, L"Init");
    init_result_ = IsTrue(result);

    win::Bstr name;
    plugin_name_ = TakeText(plugin->get_PluginName(name.put()), name, L"PluginName");
    plugin_ = plugin;
    try {
        ReadModuleInfo();
    } catch (...) {
        Unload();
        throw;
    }
}

void PluginSession::ReadModuleInfo() {
    ComPtr<IVELTModule> module;
    Check(plugin_.As(&module), L"QueryInterface IVELTModule");
    ComPtr<IVELTModuleInfo> info;
    Check(module->get_ModuleInfo(&info), L"ModuleInfo");
    if (!info) win::ThrowHr(E_POINTER, L"ModuleInfo: no object");

    win::Bstr text;
    module_.name = TakeText(info->get_ModuleName(text.put()), text, L"ModuleName");
    module_.description = TakeText(info->get_ModuleDescription(text.put()), text, L"ModuleDescription");
    module_.tool_window_name = TakeText(info->get_ToolWindowName(text.put()), text, L"ToolWindowName");
    VARIANT_BOOL flag = VARIANT_FALSE;
    Check(info->get_Configurable(&flag), L"Configurable");
    module_.configurable = IsTrue(flag);

    Check(info->get_ToolWindow(&tool_window_), L"ToolWindow");
    if (!tool_window_) win::ThrowHr(E_POINTER, L"ToolWindow: no object");
    Check(tool_window_.As(&tool_), L"QueryInterface IVELTTool");
}

void PluginSession::Unload() noexcept {
    tool_.Reset();
    tool_window_.Reset();
    plugin_.Reset();
    helper_.Reset();
    init_result_ = false;
}

IVELTPlugin& PluginSession::plugin() const {
    if (!plugin_) win::ThrowHr(E_UNEXPECTED, L"Kein Plugin geladen");
    return *plugin_.Get();
}

IVELTTool& PluginSession::tool() const {
    if (!tool_) win::ThrowHr(E_UNEXPECTED, L"Kein Werkzeugfenster");
    return *tool_.Get();
}

void PluginSession::ShowToolWindow() {
    tool();
    InvokeByName(*tool_window_.Get(), L"Show", DISPATCH_METHOD);
}

void PluginSession::HideToolWindow() {
    tool();
    InvokeByName(*tool_window_.Get(), L"Hide", DISPATCH_METHOD);
}

HWND PluginSession::ToolWindowHandle() {
    tool();
    win::Variant handle = InvokeByName(*tool_window_.Get(), L"hWnd", DISPATCH_PROPERTYGET);
    Check(VariantChangeType(handle.get(), handle.get(), 0, VT_I4), L"hWnd");
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.get())));
}

bool PluginSession::Configure() {
    VARIANT_BOOL result = VARIANT_FALSE;
    Check(plugin().Configure(&result), L"Configure");
    return IsTrue(result);
}

bool PluginSession::Enable() {
    VARIANT_BOOL result = VARIANT_FALSE;
    Check(plugin().Enable(&result), L"Enable");
    return IsTrue(result);
}

bool PluginSession::Disable() {
    VARIANT_BOOL result = VARIANT_FALSE;
    Check(plugin().Disable(&result), L"Disable");
    return IsTrue(result);
}

bool PluginSession::Term() {
    VARIANT_BOOL result = VARIANT_FALSE;
    Check(plugin().Term(&result), L"Term");
    return IsTrue(result);
}

void PluginSession::ClearProjectData() { Check(tool().ClearProjectData(), L"ClearProjectData"); }
void PluginSession::LoadProjectData() { Check(tool().LoadProjectData(), L"LoadProjectData"); }
void PluginSession::SaveProjectData() { Check(tool().SaveProjectData(), L"SaveProjectData"); }

bool PluginSession::AskToSaveProjectData() {
    VARIANT_BOOL result = VARIANT_FALSE;
    Check(tool().AskToSaveProjectData(&result), L"AskToSaveProjectData");
    return IsTrue(result);
}

void PluginSession::SetViewMode(long mode) { Check(tool().put_ViewMode(mode), L"ViewMode"); }

}  // namespace zorvane::host_app
