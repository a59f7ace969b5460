#include "tests/wine/component/component_support.h"

#include <gtest/gtest.h>

namespace zorvane::test {

std::wstring BinaryDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

std::wstring ZorvaneDllPath() { return BinaryDirectory() + L"Zorvane.dll"; }

ULONG CountOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    return text;
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
    if (!can_unload_now_ || !get_class_object_ || !register_server_ || !unregister_server_)
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

std::vector<std::wstring>* g_captions = nullptr;

LRESULT CALLBACK CancelBoxes(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE && g_captions != nullptr) {
        const HWND box = reinterpret_cast<HWND>(wparam);
        wchar_t caption[256] = {};
        GetWindowTextW(box, caption, 256);
        g_captions->push_back(caption);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

}  // namespace

BoxCanceller::BoxCanceller() {
    g_captions = new std::vector<std::wstring>();
    hook_.reset(SetWindowsHookExW(WH_CBT, CancelBoxes, nullptr, GetCurrentThreadId()));
    if (!hook_) throw std::runtime_error("no CBT hook");
}

BoxCanceller::~BoxCanceller() {
    hook_.reset();
    delete g_captions;
    g_captions = nullptr;
}

const std::vector<std::wstring>& BoxCanceller::captions() const noexcept { return *g_captions; }

}  // namespace zorvane::test
