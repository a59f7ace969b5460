#include "tests/support/hosted_plugin.h"

#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::test {

ComPtr<IVELTPlugin> CreatePlugInByProgId() {
    CLSID class_id{};
    win::ThrowIfFailed(CLSIDFromProgID(kPlugInProgId, &class_id));
    ComPtr<IVELTPlugin> plugin;
    win::ThrowIfFailed(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)));
    return plugin;
}

bool InitPlugIn(IVELTPlugin* plugin, IVELTPluginHelper* helper) {
    // In and out: whatever comes back in the slot is ours to release.
    IVELTPluginHelper* slot = helper;
    if (slot != nullptr) slot->AddRef();
    const win::Bstr title(L"Testpult");
    const win::Bstr file(kPlugInFile);
    VARIANT_BOOL result = VARIANT_FALSE;
    const HRESULT hr = plugin->Init(title.get(), file.get(), &slot, &result);
    if (slot != nullptr) slot->Release();
    win::ThrowIfFailed(hr);
    return result != VARIANT_FALSE;
}

HRESULT ReadModuleInfo(IVELTPlugin* plugin, IVELTModuleInfo** info) {
    ComPtr<IVELTModule> module;
    const HRESULT hr = plugin->QueryInterface(IID_PPV_ARGS(&module));
    if (FAILED(hr)) return hr;
    return module->get_ModuleInfo(info);
}

ComPtr<IVELTModuleInfo> ModuleInfoOf(IVELTPlugin* plugin) {
    ComPtr<IVELTModuleInfo> info;
    win::ThrowIfFailed(ReadModuleInfo(plugin, &info));
    if (!info) win::ThrowHr(E_POINTER, L"ModuleInfo gave no object");
    return info;
}

ComPtr<IDispatch> ToolWindowOf(IVELTModuleInfo* info) {
    ComPtr<IDispatch> tool;
    win::ThrowIfFailed(info->get_ToolWindow(&tool));
    if (!tool) win::ThrowHr(E_POINTER, L"no tool window");
    return tool;
}

HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    UINT argument_error = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result, &exception, &argument_error);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

void CallByName(IDispatch* object, const wchar_t* name) {
    win::Variant ignored;
    const HRESULT hr = InvokeByName(object, name, DISPATCH_METHOD, ignored.get());
    if (FAILED(hr)) win::ThrowHr(hr, name);
}

HWND WindowOf(IDispatch* tool) {
    win::Variant handle;
    win::ThrowIfFailed(InvokeByName(tool, L"hWnd", DISPATCH_PROPERTYGET, handle.get()));
    win::ThrowIfFailed(VariantChangeType(handle.get(), handle.get(), 0, VT_I4));
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.get())));
}

bool Configure(IVELTPlugin* plugin) {
    VARIANT_BOOL result = VARIANT_FALSE;
    win::ThrowIfFailed(plugin->Configure(&result));
    return result != VARIANT_FALSE;
}

OpenedPlugIn OpenedPlugIn::Open(IVELTPluginHelper* helper) {
    OpenedPlugIn opened;
    opened.plugin = CreatePlugInByProgId();
    if (!InitPlugIn(opened.plugin.Get(), helper)) win::ThrowHr(E_FAIL, L"Init answered false");
    opened.info = ModuleInfoOf(opened.plugin.Get());
    opened.tool = ToolWindowOf(opened.info.Get());
    opened.Show();
    opened.window = WindowOf(opened.tool.Get());
    if (!IsWindow(opened.window)) win::ThrowHr(E_HANDLE, L"hWnd: no window");
    return opened;
}

void OpenedPlugIn::Close() noexcept {
    if (window != nullptr && IsWindow(window)) SendMessageW(window, WM_CLOSE, 0, 0);
    window = nullptr;
    tool.Reset();
    info.Reset();
    plugin.Reset();
}

HMODULE LoadedModule() { return GetModuleHandleW(kPlugInFile); }

HRESULT CanUnloadNow(HMODULE module) {
    using Export = HRESULT(STDAPICALLTYPE*)();
    const auto can_unload_now =
        reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (can_unload_now == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return can_unload_now();
}

}  // namespace zorvane::test
