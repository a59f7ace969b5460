#include "bench/wine/plugin_driver.h"

#include <utility>

#include "host/standin/plugin_helper.h"
#include "plugin/plugin_identity.h"
#include "win/com_error.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::bench {
namespace {

void Check(HRESULT hr, const wchar_t* what) {
    if (FAILED(hr)) win::ThrowHr(hr, what);
}

// A member of the tool window reached by name, as a host that knows it only as IDispatch.
win::Variant InvokeByName(IDispatch& object, const wchar_t* name, WORD flags) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    Check(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), name);
    DISPPARAMS no_arguments{};
    win::Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &no_arguments,
                                     result.get(), &exception, nullptr);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    Check(hr, name);
    return result;
}

HWND Need(HWND editor, int id, const wchar_t* what) {
    HWND control = GetDlgItem(editor, id);
    if (control == nullptr) win::ThrowHr(E_FAIL, std::wstring(L"rule editor: no ") + what);
    return control;
}

void TypeInto(HWND edit, std::wstring_view text, Typing typing) {
    if (typing == Typing::SetText) {
        const std::wstring copy(text);
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
        return;
    }
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    for (wchar_t character : text) SendMessageW(edit, WM_CHAR, character, 1);
}

}  // namespace

LoadedPlugin::LoadedPlugin(std::shared_ptr<standin::StandinHost> host) : host_(std::move(host)) {
    CLSID class_id{};
    Check(CLSIDFromProgID(kPlugInProgId, &class_id), L"CLSIDFromProgID");
    Check(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin_)),
          L"CoCreateInstance");

    helper_ = standin::MakePluginHelper(host_);
    IVELTPluginHelper* passed = nullptr;
    helper_.CopyTo(&passed);
    VARIANT_BOOL accepted = VARIANT_FALSE;
    const win::Bstr title(L"Stand-in-Pult");
    const win::Bstr file(L"Zorvane.dll");
    const HRESULT hr = plugin_->Init(title.get(), file.get(), &passed, &accepted);
    // Init may hand back another helper; the reference left in `passed` is ours.
    ComPtr<IVELTPluginHelper> returned;
    *returned.ReleaseAndGetAddressOf() = passed;
    Check(hr, L"Init");
    if (accepted == VARIANT_FALSE) win::ThrowHr(E_FAIL, L"Init answered false");

    ComPtr<IVELTModule> module;
    Check(plugin_.As(&module), L"IVELTModule");
    ComPtr<IVELTModuleInfo> info;
    Check(module->get_ModuleInfo(&info), L"ModuleInfo");
    if (!info) win::ThrowHr(E_POINTER, L"ModuleInfo: no object");
    Check(info->get_ToolWindow(&tool_window_), L"ToolWindow");
    if (!tool_window_) win::ThrowHr(E_POINTER, L"ToolWindow: no object");

    Show();
    win::Variant handle = InvokeByName(*tool_window_.Get(), L"hWnd", DISPATCH_PROPERTYGET);
    Check(VariantChangeType(handle.get(), handle.get(), 0, VT_I4), L"hWnd");
    window_ = reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.get())));
    if (!IsWindow(window_)) win::ThrowHr(E_HANDLE, L"hWnd: no window");
}

void LoadedPlugin::Show() { InvokeByName(*tool_window_.Get(), L"Show", DISPATCH_METHOD); }

void LoadedPlugin::Hide() { InvokeByName(*tool_window_.Get(), L"Hide", DISPATCH_METHOD); }

LoadedPlugin::~LoadedPlugin() {
    if (IsWindow(window_)) SendMessageW(window_, WM_CLOSE, 0, 0);
    if (plugin_) {
        VARIANT_BOOL ignored = VARIANT_FALSE;
        plugin_->Term(&ignored);
    }
    tool_window_.Reset();
    plugin_.Reset();
    helper_.Reset();
}

RuleEditorControls FindControls(HWND editor) {
    RuleEditorControls found;
    found.window = editor;
    found.channel_edit = Need(editor, ui::kText1, L"channel box");
    found.minimum_edit = Need(editor, ui::kText2, L"minimum box");
    found.maximum_edit = Need(editor, ui::kText3, L"maximum box");
    found.channel_list = Need(editor, ui::kList1, L"channel list");
    found.minimum_list = Need(editor, ui::kList2, L"minimum list");
    found.maximum_list = Need(editor, ui::kList3, L"maximum list");
    found.add_button = Need(editor, ui::kCommand1, L"add button");
    found.delete_button = Need(editor, ui::kCommand2, L"delete button");
    found.enabled_check = Need(editor, ui::kCheck1, L"check box");
    return found;
}

void AddRule(const RuleEditorControls& controls, std::wstring_view channel,
             std::wstring_view minimum, std::wstring_view maximum, Typing typing) {
    TypeInto(controls.channel_edit, channel, typing);
    TypeInto(controls.minimum_edit, minimum, typing);
    TypeInto(controls.maximum_edit, maximum, typing);
    Click(controls.add_button);
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

void StopTimer(const RuleEditorControls& controls) {
    for (int click = 0; click < 3; ++click) {
        if (SendMessageW(controls.enabled_check, BM_GETCHECK, 0, 0) == BST_UNCHECKED) return;
        Click(controls.enabled_check);
    }
    if (SendMessageW(controls.enabled_check, BM_GETCHECK, 0, 0) != BST_UNCHECKED) {
        win::ThrowHr(E_FAIL, L"\"Plugin aktiviert\" stays ticked");
    }
}

std::vector<std::wstring> ListTexts(HWND list) {
    std::vector<std::wstring> texts;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        std::wstring text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, L'\0');
        const LRESULT copied =
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
        texts.push_back(std::move(text));
    }
    return texts;
}

void PumpPending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace zorvane::bench
