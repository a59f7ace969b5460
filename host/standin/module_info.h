#pragma once
// The host's module-information class as the stand-in host has it, and the one recording
// double of it for tests: it keeps what a plug-in writes, answers it back, records every
// call in order (module_info_record.h) and fails a chosen call on request.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "VELTTypeLib.h"
#include "host/standin/module_info_record.h"
#include "win/com_object.h"

namespace zorvane::standin {

Microsoft::WRL::ComPtr<IVELTModuleInfo> MakeModuleInfo(std::shared_ptr<ModuleInfoRecord> record);

// The class object of the module-information class. It keeps the record of every object
// it made, for a test in the same process.
class ModuleInfoFactory final : public win::ComObject<ModuleInfoFactory, IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override;

    // One record an object made, oldest first; a refused creation adds none.
    const std::vector<std::shared_ptr<ModuleInfoRecord>>& created() const noexcept { return created_; }
    // The next CreateInstance fails with code, leaving the refusal's error information
    // behind when asked to (which the caller cannot vouch for: there is no object).
    void FailNextCreate(HRESULT code, bool with_error_info = false) noexcept {
        fail_next_create_ = code;
        fail_create_with_error_info_ = with_error_info;
    }
    // Every object made from now on fails its call number `call` with code, with or
    // without error information; 0 stops it.
    void FailCallOfNewObjects(unsigned call, HRESULT code, bool with_error_info = true) noexcept {
        fail_at_ = call;
        fail_code_ = code;
        fail_with_error_info_ = with_error_info;
    }

private:
    std::vector<std::shared_ptr<ModuleInfoRecord>> created_;
    HRESULT fail_next_create_ = S_OK;
    bool fail_create_with_error_info_ = false;
    unsigned fail_at_ = 0;
    HRESULT fail_code_ = E_FAIL;
    bool fail_with_error_info_ = true;
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

}  // namespace zorvane::standin
