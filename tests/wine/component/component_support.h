#pragma once
// What the component tests share: where the DLLs are, the DLL's exports, reference
// counts, and a hook that answers the modal boxes the code under test opens.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "VELTTypeLib.h"
#include "plugin/plugin_identity.h"
#include "tests/support/windows_kind.h"
#include "win/handles.h"

namespace zorvane::test {

using Microsoft::WRL::ComPtr;

// The folder of the test program, where the build puts the DLLs too.
std::wstring BinaryDirectory();

// The Zorvane.dll under test: ZORVANE_DLL_UNDER_TEST when set (a DLL of another tree,
// which this program may only read as a file), else the one beside the program.
std::wstring ZorvaneDllPath();
// Its kind: ZORVANE_DLL_KIND, which a DLL named by ZORVANE_DLL_UNDER_TEST must come with;
// else this program's own. Throws on a kind missing or unknown.
const WindowsKind& ZorvaneDllKind();

// The reference count as it stands (AddRef then Release).
ULONG CountOf(IUnknown* object);

// Zorvane.dll loaded by path (the same module as the one the component model loads)
// and its five exports.
class ZorvaneDll {
public:
    explicit ZorvaneDll(const std::wstring& path = ZorvaneDllPath());
    HMODULE module() const noexcept { return module_.get(); }

    HRESULT CanUnloadNow() const { return can_unload_now_(); }
    HRESULT GetClassObject(REFCLSID id, REFIID iid, void** out) const {
        return get_class_object_(id, iid, out);
    }
    HRESULT RegisterServer() const { return register_server_(); }
    HRESULT UnregisterServer() const { return unregister_server_(); }
    HRESULT Install(bool install, const wchar_t* command_line) const {
        return install_(install ? TRUE : FALSE, command_line);
    }

private:
    win::UniqueModule module_;
    HRESULT(STDAPICALLTYPE* can_unload_now_)() = nullptr;
    HRESULT(STDAPICALLTYPE* get_class_object_)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* register_server_)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregister_server_)() = nullptr;
    HRESULT(STDAPICALLTYPE* install_)(BOOL, const wchar_t*) = nullptr;
};

// A new clsVELTPlugIn through the component model, as the host creates it.
template <class Interface>
ComPtr<Interface> CreatePlugIn() {
    ComPtr<Interface> object;
    const HRESULT hr = CoCreateInstance(kPlugInClassId, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(&object));
    if (FAILED(hr)) object.Reset();
    return object;
}

// Dispatches a call by member name; result and EXCEPINFO come back to the caller.
HRESULT InvokeByName(IDispatch* target, const wchar_t* name, WORD flags,
                     std::vector<VARIANT> arguments, VARIANT* result, EXCEPINFO* exception);

// Handles window messages until the queue stays empty for a short while.
void PumpMessages();

// While alive, answers every dialog box activated on this thread: a box with a text field
// gets the given text and OK; any other box, or every box when there is no text, gets
// Cancel (which a box with only OK takes as OK). Records the boxes' captions and the
// top-level windows created meanwhile that still exist.
class BoxAnswerer {
public:
    explicit BoxAnswerer(std::wstring text = {});
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    const std::vector<std::wstring>& captions() const noexcept;
    const std::vector<HWND>& created_windows() const noexcept;

private:
    win::UniqueHook hook_;
};

}  // namespace zorvane::test
