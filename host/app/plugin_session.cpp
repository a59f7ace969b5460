#include "host/app/plugin_session.h"

#include <span>
#include <vector>

#include "host/standin/plugin_helper.h"
#include "tests/support/variants.h"
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

// One of the plug-in's calls that answers yes or no.
template <class Object, class Call>
bool Answer(Object& object, Call call, const wchar_t* name) {
    VARIANT_BOOL result = VARIANT_FALSE;
    Check((object.*call)(&result), name);
    return IsTrue(result);
}

// Invokes a member by name, as a host that knows the window only as IDispatch does.
// The arguments come in the order they are written.
win::Variant InvokeByName(IDispatch& object, const wchar_t* name, WORD flags,
                          std::span<VARIANT> arguments = {}) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Check(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id),
          std::wstring(L"GetIDsOfNames ") + name);
    // DISPPARAMS lists the arguments last first.
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    win::Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result.get(),
                                     &exception, nullptr);
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

long LongOf(win::Variant value, const wchar_t* what) {
    Check(VariantChangeType(value.get(), value.get(), 0, VT_I4), what);
    return V_I4(value.get());
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

void PluginSession::ShowToolWindow(IDispatch* owner_form) {
    tool();
    if (owner_form == nullptr) {
        InvokeByName(*tool_window_.Get(), L"Show", DISPATCH_METHOD);
        return;
    }
    // Show 0, <form>: modeless, owned by the form's window. The VARIANT borrows the
    // reference the caller holds for the length of the call.
    VARIANT arguments[2] = {test::LongVariant(0), {}};
    V_VT(&arguments[1]) = VT_DISPATCH;
    V_DISPATCH(&arguments[1]) = owner_form;
    InvokeByName(*tool_window_.Get(), L"Show", DISPATCH_METHOD, arguments);
}

HWND PluginSession::ToolWindowHandle() {
    tool();
    return reinterpret_cast<HWND>(
        static_cast<LONG_PTR>(LongOf(InvokeByName(*tool_window_.Get(), L"hWnd", DISPATCH_PROPERTYGET), L"hWnd")));
}

void PluginSession::MoveToolWindow(const TwipsPlace& place) {
    tool();
    VARIANT arguments[4] = {test::LongVariant(place.left), test::LongVariant(place.top),
                             test::LongVariant(place.width), test::LongVariant(place.height)};
    InvokeByName(*tool_window_.Get(), L"Move", DISPATCH_METHOD, arguments);
}

TwipsPlace PluginSession::ToolWindowPlace() {
    tool();
    IDispatch& form = *tool_window_.Get();
    const auto get = [&](const wchar_t* name) { return LongOf(InvokeByName(form, name, DISPATCH_PROPERTYGET), name); };
    return {get(L"Left"), get(L"Top"), get(L"Width"), get(L"Height")};
}

SIZE PluginSession::ToolWindowClientSize() {
    tool();
    IDispatch& form = *tool_window_.Get();
    return {LongOf(InvokeByName(form, L"ScaleWidth", DISPATCH_PROPERTYGET), L"ScaleWidth"),
            LongOf(InvokeByName(form, L"ScaleHeight", DISPATCH_PROPERTYGET), L"ScaleHeight")};
}

std::wstring PluginSession::ToolWindowCaption() {
    tool();
    win::Variant caption = InvokeByName(*tool_window_.Get(), L"Caption", DISPATCH_PROPERTYGET);
    Check(VariantChangeType(caption.get(), caption.get(), 0, VT_BSTR), L"Caption");
    return V_BSTR(caption.get()) != nullptr ? V_BSTR(caption.get()) : L"";
}

bool PluginSession::Configure() { return Answer(plugin(), &IVELTPlugin::Configure, L"Configure"); }
bool PluginSession::Enable() { return Answer(plugin(), &IVELTPlugin::Enable, L"Enable"); }
bool PluginSession::Disable() { return Answer(plugin(), &IVELTPlugin::Disable, L"Disable"); }
bool PluginSession::Term() { return Answer(plugin(), &IVELTPlugin::Term, L"Term"); }

void PluginSession::ClearProjectData() { Check(tool().ClearProjectData(), L"ClearProjectData"); }
void PluginSession::LoadProjectData() { Check(tool().LoadProjectData(), L"LoadProjectData"); }
void PluginSession::SaveProjectData() { Check(tool().SaveProjectData(), L"SaveProjectData"); }

bool PluginSession::AskToSaveProjectData() {
    return Answer(tool(), &IVELTTool::AskToSaveProjectData, L"AskToSaveProjectData");
}

void PluginSession::SetViewMode(long mode) { Check(tool().put_ViewMode(mode), L"ViewMode"); }

}  // namespace zorvane::host_app
