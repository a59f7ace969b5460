#pragma once
// What a module-information object of the stand-in and its collection went through: the
// calls they received, one a line and in order (`put ModuleGUID "{...}"`,
// `putref ToolWindow <object>`, `get Capabilities`,
// `Add 3 [VT_I4], <missing>, <missing>, <missing>`), the values written, and the call a
// test asked to fail.
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

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

// The source of the error information the module information and its collection leave,
// and the description a refused call leaves, as the host's own class would.
inline constexpr wchar_t kErrorSource[] = L"VELTModuleInfo";
inline constexpr wchar_t kRefusalDescription[] = L"Der Aufruf wurde vom Host abgewiesen.";

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
    bool fail_with_error_info = true;  // false: the code alone, no words
    bool alive = true;  // false once the last reference has gone
};

// Records one call on the object of `iid`; the answer is the failure asked for when
// this is the call to fail.
HRESULT RecordCall(ModuleInfoRecord& record, REFIID iid, std::wstring text) noexcept;

// IStandinRecorder over a shared record; the object sets the record as it is made.
class Recorded : public IStandinRecorder {
public:
    using InterfaceType = IStandinRecorder;

    HRESULT STDMETHODCALLTYPE GetCalls(BSTR* calls) noexcept override;
    HRESULT STDMETHODCALLTYPE FailCall(ULONG call, HRESULT code) noexcept override;

protected:
    void set_record(std::shared_ptr<ModuleInfoRecord> record) noexcept { record_ = std::move(record); }
    ModuleInfoRecord& record() const noexcept { return *record_; }

private:
    std::shared_ptr<ModuleInfoRecord> record_;
};

// The error information left by a failed call on Interface is the object's own, as a
// host's class vouches for its words.
template <class Interface>
class VouchesForErrorInfo : public ISupportErrorInfo {
public:
    using InterfaceType = ISupportErrorInfo;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) noexcept override {
        return iid == __uuidof(Interface) ? S_OK : S_FALSE;
    }
};

// The lines of an IStandinRecorder::GetCalls answer.
std::vector<std::wstring> SplitCalls(BSTR calls);

// The calls recorded by the object behind `object` (which must come from the stand-in).
std::vector<std::wstring> RecordedCalls(IUnknown* object);

}  // namespace zorvane::standin

__CRT_UUID_DECL(zorvane::standin::IStandinRecorder, 0x16ef1ad1, 0x9992, 0x4b7a, 0x81, 0x9e, 0x7b,
                0xb1, 0x6d, 0x33, 0xdd, 0x6d)
