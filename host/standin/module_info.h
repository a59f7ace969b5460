#pragma once
// The host's module-information class and its collection, as the stand-in host has
// them: they keep what a plug-in writes, answer it back, and record every call in order
// (`put ModuleGUID "{...}"`, `putref ToolWindow <object>`, `get Capabilities`,
// `Add 3 [VT_I4], <missing>, <missing>, <missing>`).
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "VELTTypeLib.h"
#include "win/com_object.h"

namespace zorvane::standin {

// A test's window on a module-information object or its collection, whichever module
// made it (this program, or VELTTypeLib.dll through CoCreateInstance).
struct IStandinRecorder : public IUnknown {
    // The calls received by the object and its collection, one a line, oldest first.
    virtual HRESULT STDMETHODCALLTYPE GetCalls(BSTR* calls) = 0;
    // Makes the object's call number `call` (1-based, over the calls it records) fail
    // with `code`, with error information in German; 0 fails nothing.
    virtual HRESULT STDMETHODCALLTYPE FailCall(ULONG call, HRESULT code) = 0;
};

// The values a plug-in wrote, as the host would read them.
struct ModuleInfoValues {
    std::wstring module_guid;
    std::wstring module_name;
    std::wstring module_description;
    std::wstring module_author;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    VARIANT_BOOL configurable = VARIANT_FALSE;
    LONG module_type = 0;
    std::wstring tool_window_name;
    // For comparing identity only: the object itself is held by the module information.
    const IDispatch* tool_window = nullptr;
    VARIANT_BOOL tool_window_docked = VARIANT_FALSE;
    VARIANT_BOOL tool_window_modal = VARIANT_FALSE;
    VARIANT_BOOL show_in_tools_menu = VARIANT_FALSE;
    VARIANT_BOOL show_in_plugin_list = VARIANT_FALSE;
};

// What one module-information object went through; outlives the object.
struct ModuleInfoRecord {
    std::vector<std::wstring> calls;
    ModuleInfoValues values;
    unsigned fail_at = 0;  // the call to fail, 1-based; 0 for none
    HRESULT fail_code = E_FAIL;
    bool alive = true;  // false once the last reference has gone
};

Microsoft::WRL::ComPtr<IVELTModuleInfo> MakeModuleInfo(std::shared_ptr<ModuleInfoRecord> record);

// The class object of the module-information class. It keeps the record of every object
// it made, for a test in the same process.
class ModuleInfoFactory final : public win::ComObject<ModuleInfoFactory, IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

    const std::vector<std::shared_ptr<ModuleInfoRecord>>& created() const noexcept { return created_; }
    // The next CreateInstance fails with code.
    void FailNextCreate(HRESULT code) noexcept { fail_next_create_ = code; }
    // Every object made from now on fails its call number `call` with code; 0 stops it.
    void FailCallOfNewObjects(unsigned call, HRESULT code) noexcept {
        fail_at_ = call;
        fail_code_ = code;
    }

private:
    std::vector<std::shared_ptr<ModuleInfoRecord>> created_;
    HRESULT fail_next_create_ = S_OK;
    unsigned fail_at_ = 0;
    HRESULT fail_code_ = E_FAIL;
};

// This process's CoCreateInstance of the module-information class gets the objects of
// one factory of ours while this lives (CoRegisterClassObject), whatever is registered.
class ModuleInfoClassOverride {
public:
    ModuleInfoClassOverride();  // throws win::ComError
    ~ModuleInfoClassOverride();
    ModuleInfoClassOverride(const ModuleInfoClassOverride&) = delete;
    ModuleInfoClassOverride& operator=(const ModuleInfoClassOverride&) = delete;

    ModuleInfoFactory& factory() const noexcept { return *factory_.Get(); }

private:
    Microsoft::WRL::ComPtr<ModuleInfoFactory> factory_;
    DWORD cookie_ = 0;
};

// The lines of an IStandinRecorder::GetCalls answer.
std::vector<std::wstring> SplitCalls(BSTR calls);

// The calls recorded by the object behind `object` (which must come from the stand-in).
std::vector<std::wstring> RecordedCalls(IUnknown* object);

}  // namespace zorvane::standin

__CRT_UUID_DECL(zorvane::standin::IStandinRecorder, 0x16ef1ad1, 0x9992, 0x4b7a, 0x81, 0x9e, 0x7b,
                0xb1, 0x6d, 0x33, 0xdd, 0x6d)
