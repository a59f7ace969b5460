#pragma once
// Test doubles of the host's objects: a helper whose references can be counted, and a
// module-information class that records every call in order and fails one on request.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <optional>
#include <string>
#include <vector>

#include "VELTTypeLib.h"
#include "win/com_object.h"

namespace zorvane::test {

// A helper handed to Init; none of its members is called by Init.
class HelperDouble final : public win::ComObject<HelperDouble, IVELTPluginHelper> {
public:
    static constexpr bool kHoldsModule = false;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ChannelGetValue(LONG*, VARIANT*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MyStream(IDispatch**) noexcept override { return E_NOTIMPL; }
};

// A failure to inject: the call at this position (0 = creation) returns code; with
// words, the double also leaves error information (source and description).
struct InjectedFailure {
    size_t call;
    HRESULT code;
    std::wstring source;
    std::wstring description;
};

// What the module-information doubles saw, shared by all of them.
struct ModuleInfoRecord {
    std::vector<std::wstring> calls;  // "create", then "put ModuleGUID {..}" and so on
    std::vector<Microsoft::WRL::ComPtr<IDispatch>> tool_windows;
    std::optional<InjectedFailure> failure;
    long live_objects = 0;  // module-information objects not yet destroyed
};

// Registers the recording module-information class for this thread's apartment in
// place of the host's class, for its lifetime.
class RecordingModuleInfoClass {
public:
    explicit RecordingModuleInfoClass(ModuleInfoRecord& record);
    ~RecordingModuleInfoClass();
    RecordingModuleInfoClass(const RecordingModuleInfoClass&) = delete;
    RecordingModuleInfoClass& operator=(const RecordingModuleInfoClass&) = delete;

private:
    DWORD cookie_ = 0;
};

// The calls a correct ModuleInfo makes, in order, with the window it hands over shown
// as "putref ToolWindow".
std::vector<std::wstring> ExpectedModuleInfoCalls();

}  // namespace zorvane::test
