#include "tests/wine/reliability/plugin_host.h"

#include <commctrl.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "ui/win32/control_ids.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::reliability {

ULONG CountOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

ComPtr<IVELTPlugin> CreatePlugIn() {
    CLSID class_id{};
    win::ThrowIfFailed(CLSIDFromProgID(kProgId, &class_id));
    ComPtr<IVELTPlugin> plugin;
    win::ThrowIfFailed(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)));
    return plugin;
}

bool InitPlugIn(IVELTPlugin* plugin, IVELTPluginHelper* helper) {
    // In and out: whatever comes back in the slot is ours to release.
    IVELTPluginHelper* slot = helper;
    if (slot != nullptr) slot->AddRef();
    const win::Bstr title(L"Zuverl\u00E4ssigkeitspult");
    const win::Bstr file(kModuleFile);
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

HWND WindowOf(IDispatch* tool) {
    win::Variant handle;
    win::ThrowIfFailed(InvokeByName(tool, L"hWnd", DISPATCH_PROPERTYGET, handle.get()));
    win::ThrowIfFailed(VariantChangeType(handle.get(), handle.get(), 0, VT_I4));
    return reinterpret_cast<HWND>(static_cast<LONG_PTR>(V_I4(handle.get())));
}

void ShowToolWindow(IDispatch* tool) {
    win::Variant ignored;
    win::ThrowIfFailed(InvokeByName(tool, L"Show", DISPATCH_METHOD, ignored.get()));
}

bool Configure(IVELTPlugin* plugin) {
    VARIANT_BOOL result = VARIANT_FALSE;
    win::ThrowIfFailed(plugin->Configure(&result));
    return result != VARIANT_FALSE;
}

OpenedPlugIn OpenedPlugIn::Open(IVELTPluginHelper* helper) {
    OpenedPlugIn opened;
    opened.plugin = CreatePlugIn();
    if (!InitPlugIn(opened.plugin.Get(), helper)) win::ThrowHr(E_FAIL, L"Init answered false");
    opened.info = ModuleInfoOf(opened.plugin.Get());
    opened.tool = ToolWindowOf(opened.info.Get());
    ShowToolWindow(opened.tool.Get());
    opened.window = WindowOf(opened.tool.Get());
    return opened;
}

void OpenedPlugIn::Close() noexcept {
    if (window != nullptr && IsWindow(window)) SendMessageW(window, WM_CLOSE, 0, 0);
    window = nullptr;
    tool.Reset();
    info.Reset();
    plugin.Reset();
}

HMODULE LoadedModule() { return GetModuleHandleW(kModuleFile); }

HRESULT CanUnloadNow(HMODULE module) {
    using Export = HRESULT(STDAPICALLTYPE*)();
    const auto can_unload_now =
        reinterpret_cast<Export>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    if (can_unload_now == nullptr) return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return can_unload_now();
}

namespace {

constexpr UINT_PTR kAnsweredTextId = 0x5A52;

LRESULT CALLBACK AnswerText(HWND edit, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                            DWORD_PTR data) noexcept {
    const auto* text = reinterpret_cast<const std::wstring*>(data);
    switch (message) {
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(text->size());
        case WM_GETTEXT: {
            if (wparam == 0 || lparam == 0) return 0;
            const std::size_t copied = std::min<std::size_t>(text->size(), wparam - 1);
            auto* buffer = reinterpret_cast<wchar_t*>(lparam);
            std::memcpy(buffer, text->data(), copied * sizeof(wchar_t));
            buffer[copied] = L'\0';
            return static_cast<LRESULT>(copied);
        }
        case WM_SETTEXT:
        case WM_NCDESTROY:
            RemoveWindowSubclass(edit, AnswerText, id);
            delete text;
            break;
        default:
            break;
    }
    return DefSubclassProc(edit, message, wparam, lparam);
}

}  // namespace

void AnswerTextOf(HWND edit, std::wstring text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    auto* answered = new std::wstring(std::move(text));
    if (!SetWindowSubclass(edit, AnswerText, kAnsweredTextId, reinterpret_cast<DWORD_PTR>(answered))) {
        delete answered;
        win::ThrowHr(E_FAIL, L"the edit cannot be subclassed");
    }
}

void SetEditText(HWND edit, std::wstring_view text) {
    if (text.size() > kLongestTypedText) {
        AnswerTextOf(edit, std::wstring(text));
        return;
    }
    const std::wstring copy(text);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

RuleEditor::RuleEditor(HWND editor)
    : window(editor),
      channel_text(GetDlgItem(editor, ui::kText1)),
      minimum_text(GetDlgItem(editor, ui::kText2)),
      maximum_text(GetDlgItem(editor, ui::kText3)),
      channel_list(GetDlgItem(editor, ui::kList1)),
      minimum_list(GetDlgItem(editor, ui::kList2)),
      maximum_list(GetDlgItem(editor, ui::kList3)),
      add_button(GetDlgItem(editor, ui::kCommand1)),
      delete_button(GetDlgItem(editor, ui::kCommand2)),
      enabled_check(GetDlgItem(editor, ui::kCheck1)) {}

std::vector<std::wstring> RuleEditor::Rows(HWND list) const {
    std::vector<std::wstring> rows;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const auto length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const auto copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
        rows.push_back(std::move(text));
    }
    return rows;
}

std::vector<std::vector<std::wstring>> RuleEditor::Table() const {
    return {Rows(channel_list), Rows(minimum_list), Rows(maximum_list)};
}

void RuleEditor::Type(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum) const {
    const std::pair<HWND, std::wstring_view> fields[] = {
        {channel_text, channel}, {minimum_text, minimum}, {maximum_text, maximum}};
    for (const auto& [edit, text] : fields) SetEditText(edit, text);
}

void RuleEditor::Add(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum) const {
    Type(channel, minimum, maximum);
    SendMessageW(add_button, BM_CLICK, 0, 0);
}

void RuleEditor::DeleteLastRow() const {
    const LRESULT count = SendMessageW(channel_list, LB_GETCOUNT, 0, 0);
    if (count <= 0) return;
    for (HWND list : {channel_list, minimum_list, maximum_list})
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
    SendMessageW(delete_button, BM_CLICK, 0, 0);
}

bool RunOneTick(HWND editor, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool tick = message.message == WM_TIMER && message.hwnd == editor && message.wParam == ui::kTimer1;
            TranslateMessage(&message);
            DispatchMessageW(&message);
            if (tick) return true;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now < 10 ? end - now : 10), QS_ALLINPUT);
    }
}

int CountTicks(HWND editor, DWORD milliseconds) {
    int ticks = 0;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        if (RunOneTick(editor, static_cast<DWORD>(end - now))) ++ticks;
    }
    return ticks;
}

namespace {

std::mutex g_lines_mutex;
std::vector<std::string>* g_lines = nullptr;

LONG CALLBACK CatchDebugOutput(EXCEPTION_POINTERS* pointers) noexcept {
    // Both Wine and Windows (after an unanswered wide form) raise the ANSI form.
    const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
    if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
        try {
            std::string text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            const std::lock_guard lock(g_lines_mutex);
            if (g_lines != nullptr) g_lines->push_back(std::move(text));
        } catch (...) {
            // A line lost to a failed allocation shows as a missing line in the test.
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

DebugOutput::DebugOutput() {
    const std::lock_guard lock(g_lines_mutex);
    g_lines = new std::vector<std::string>;
    handler_ = AddVectoredExceptionHandler(1, CatchDebugOutput);
}

DebugOutput::~DebugOutput() {
    RemoveVectoredExceptionHandler(handler_);
    const std::lock_guard lock(g_lines_mutex);
    delete g_lines;
    g_lines = nullptr;
}

std::vector<std::string> DebugOutput::Lines(std::string_view prefix) const {
    const std::lock_guard lock(g_lines_mutex);
    std::vector<std::string> lines;
    for (const std::string& line : *g_lines) {
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

void DebugOutput::Clear() {
    const std::lock_guard lock(g_lines_mutex);
    g_lines->clear();
}

std::string TickFailureHead(HRESULT code) {
    char text[64];
    std::snprintf(text, sizeof text, "Zorvane: Timer1 tick failed (0x%08lX)", static_cast<unsigned long>(code));
    return text;
}

}  // namespace zorvane::reliability
