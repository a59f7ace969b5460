#include "tests/wine/component/component_support.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace zorvane::test {

std::wstring BinaryDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

}  // namespace

std::wstring ZorvaneDllPath() {
    const std::wstring given = Environment(L"ZORVANE_DLL_UNDER_TEST");
    return given.empty() ? BinaryDirectory() + L"Zorvane.dll" : given;
}

const WindowsKind& ZorvaneDllKind() {
    const std::wstring name = Environment(L"ZORVANE_DLL_KIND");
    if (name.empty()) {
        if (!Environment(L"ZORVANE_DLL_UNDER_TEST").empty())
            throw std::runtime_error("ZORVANE_DLL_UNDER_TEST is set without ZORVANE_DLL_KIND");
        return kThisProgram;
    }
    const WindowsKind* kind = KindNamed(std::string(name.begin(), name.end()));
    if (kind == nullptr) throw std::runtime_error("ZORVANE_DLL_KIND is neither win32 nor win64");
    return *kind;
}

ULONG CountOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

template <class Function>
static Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

ZorvaneDll::ZorvaneDll(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
    if (!module_) throw std::runtime_error("Zorvane.dll does not load");
    can_unload_now_ = Export<decltype(can_unload_now_)>(module(), "DllCanUnloadNow");
    get_class_object_ = Export<decltype(get_class_object_)>(module(), "DllGetClassObject");
    register_server_ = Export<decltype(register_server_)>(module(), "DllRegisterServer");
    unregister_server_ = Export<decltype(unregister_server_)>(module(), "DllUnregisterServer");
    install_ = Export<decltype(install_)>(module(), "DllInstall");
    if (!can_unload_now_ || !get_class_object_ || !register_server_ || !unregister_server_ || !install_)
        throw std::runtime_error("Zorvane.dll lacks an export");
}

HRESULT InvokeByName(IDispatch* target, const wchar_t* name, WORD flags,
                     std::vector<VARIANT> arguments, VARIANT* result, EXCEPINFO* exception) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<wchar_t*>(name)};
    HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    // Automation passes arguments last to first.
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    UINT argument_error = 0;
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, exception,
                          &argument_error);
}

void PumpMessages() {
    for (int quiet = 0; quiet < 5;) {
        MSG message;
        bool any = false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        quiet = any ? 0 : quiet + 1;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

namespace {

struct Answers {
    std::wstring text;
    std::vector<std::wstring> captions;
    std::vector<HWND> created;
};
Answers* g_answers = nullptr;

BOOL CALLBACK TakeEdit(HWND child, LPARAM out) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (CompareStringOrdinal(name, -1, L"Edit", -1, TRUE) != CSTR_EQUAL) return TRUE;
    *reinterpret_cast<HWND*>(out) = child;
    return FALSE;
}

bool IsDialogBox(HWND window) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return CompareStringOrdinal(name, -1, L"#32770", -1, FALSE) == CSTR_EQUAL;
}

HWND FindEdit(HWND box) {
    HWND found = nullptr;
    EnumChildWindows(box, TakeEdit, reinterpret_cast<LPARAM>(&found));
    return found;
}

LRESULT CALLBACK AnswerBoxes(int code, WPARAM wparam, LPARAM lparam) {
    const HWND window = reinterpret_cast<HWND>(wparam);
    if (g_answers != nullptr) {
        if (code == HCBT_CREATEWND) {
            const auto* create = reinterpret_cast<CBT_CREATEWNDW*>(lparam);
            if ((create->lpcs->style & WS_CHILD) == 0) g_answers->created.push_back(window);
        } else if (code == HCBT_DESTROYWND) {
            std::erase(g_answers->created, window);
        } else if (code == HCBT_ACTIVATE && IsDialogBox(window)) {
            wchar_t caption[256] = {};
            GetWindowTextW(window, caption, 256);
            g_answers->captions.push_back(caption);
            const HWND edit = g_answers->text.empty() ? nullptr : FindEdit(window);
            if (edit != nullptr) SetWindowTextW(edit, g_answers->text.c_str());
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(edit != nullptr ? IDOK : IDCANCEL, BN_CLICKED), 0);
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

BoxAnswerer::BoxAnswerer(std::wstring text) {
    g_answers = new Answers{std::move(text), {}, {}};
    hook_.reset(SetWindowsHookExW(WH_CBT, AnswerBoxes, nullptr, GetCurrentThreadId()));
    if (!hook_) throw std::runtime_error("no CBT hook");
}

BoxAnswerer::~BoxAnswerer() {
    hook_.reset();
    delete g_answers;
    g_answers = nullptr;
}

const std::vector<std::wstring>& BoxAnswerer::captions() const noexcept { return g_answers->captions; }

const std::vector<HWND>& BoxAnswerer::created_windows() const noexcept { return g_answers->created; }

}  // namespace zorvane::test
