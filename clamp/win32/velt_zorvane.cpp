#include "clamp/win32/velt_zorvane.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <utility>

#include "common/host_error.h"
#include "common/number_text.h"
#include "win/com_error.h"
#include "win/handles.h"
#include "win/user_number_format.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::velt_zorvane {
namespace {

// Plain VARIANTs on purpose: no destructor may call into COM at unload. Zero is VT_EMPTY.
VARIANT g_plugin_helper;
VARIANT g_channel_value;

// Names are handed to GetIDsOfNames as they stand: no string is built per call.
constexpr wchar_t kChannelGetValue[] = L"ChannelGetValue";
constexpr wchar_t kMyStream[] = L"MyStream";
constexpr wchar_t kUserInteraction[] = L"UserInteraction";
constexpr wchar_t kSetChannel[] = L"SetChannel";

// The helper's member identifiers, looked up once for the helper they belong to.
struct HelperIds {
    const IDispatch* helper = nullptr;
    DISPID channel_get_value = DISPID_UNKNOWN;
    DISPID my_stream = DISPID_UNKNOWN;
};
HelperIds g_ids;

HelperIds& IdsFor(const IDispatch* helper) noexcept {
    if (g_ids.helper != helper) g_ids = HelperIds{helper};
    return g_ids;
}

static_assert(sizeof(std::int32_t) == sizeof(LONG), "channels travel as automation longs");

LONG* AsLong(std::int32_t& value) noexcept { return reinterpret_cast<LONG*>(&value); }

[[noreturn]] void ThrowObjectRequired() {
    throw win::ComError(kObjectRequired, L"Objekt erforderlich");
}

[[noreturn]] void ThrowTypeMismatch() {
    throw win::ComError(DISP_E_TYPEMISMATCH, L"Typen unvertr\u00E4glich");
}

[[noreturn]] void ThrowMissingMember(HRESULT hr, const wchar_t* name) {
    throw win::ComError(hr, L"Das Objekt unterst\u00FCtzt die Eigenschaft oder Methode \u201E" +
                                std::wstring(name) + L"\u201C nicht.");
}

// Owns what a failed Invoke left in its EXCEPINFO.
struct ExceptionInfo {
    EXCEPINFO value{};
    ExceptionInfo() = default;
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() {
        // Tested first: a successful call leaves them null, and the check is cheaper than the calls.
        if (value.bstrSource != nullptr) SysFreeString(value.bstrSource);
        if (value.bstrDescription != nullptr) SysFreeString(value.bstrDescription);
        if (value.bstrHelpFile != nullptr) SysFreeString(value.bstrHelpFile);
    }
};

// Whether a value holds nothing to free (a number, a boolean, empty...): clearing it
// would be a call into the system for nothing.
bool HoldsNoResource(const VARIANT& value) noexcept {
    switch (V_VT(&value)) {
        case VT_EMPTY: case VT_NULL: case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT:
        case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_UINT: case VT_R4: case VT_R8:
        case VT_CY: case VT_DATE: case VT_BOOL: case VT_ERROR: case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

// A VARIANT filled by a call, cleared unless its value has been handed on.
struct CallResult {
    VARIANT value;
    CallResult() noexcept { V_VT(&value) = VT_EMPTY; }
    CallResult(const CallResult&) = delete;
    CallResult& operator=(const CallResult&) = delete;
    ~CallResult() {
        if (!HoldsNoResource(value)) VariantClear(&value);
    }
};

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

[[noreturn]] void ThrowCallFailure(HRESULT hr, ExceptionInfo& excep, const wchar_t* name) {
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) ThrowMissingMember(hr, name);
    if (hr != DISP_E_EXCEPTION) win::ThrowHr(hr);
    EXCEPINFO& info = excep.value;
    if (info.pfnDeferredFillIn != nullptr) {
        const auto fill = info.pfnDeferredFillIn;
        info.pfnDeferredFillIn = nullptr;
        fill(&info);
    }
    HRESULT code = DISP_E_EXCEPTION;
    if (FAILED(info.scode)) {
        code = info.scode;
    } else if (info.wCode != 0) {
        code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode);
    }
    std::wstring description = Text(info.bstrDescription);
    if (description.empty()) description = win::ErrorText(code);
    throw win::ComError(code, std::move(description), Text(info.bstrSource));
}

DISPID LookUp(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) ThrowMissingMember(hr, name);
        win::ThrowHr(hr);
    }
    return id;
}

void Call(IDispatch* object, DISPID id, const wchar_t* name, WORD flags, DISPPARAMS& params,
          VARIANT* result) {
    ExceptionInfo excep;
    UINT argument_error = 0;
    const HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep.value, &argument_error);
    if (FAILED(hr)) ThrowCallFailure(hr, excep, name);
}

// The helper as an object; an empty value or an empty reference is no object.
IDispatch* CurrentHelper() {
    if (V_VT(&g_plugin_helper) != VT_DISPATCH || V_DISPATCH(&g_plugin_helper) == nullptr)
        ThrowObjectRequired();
    return V_DISPATCH(&g_plugin_helper);
}

// Referenced for the call: a host call may store another helper and release this one.
ComPtr<IDispatch> Helper() { return CurrentHelper(); }

// A fresh read of the helper's MyStream, which must be an object.
ComPtr<IDispatch> ReadStream(IDispatch* helper) {
    HelperIds& ids = IdsFor(helper);
    if (ids.my_stream == DISPID_UNKNOWN) ids.my_stream = LookUp(helper, kMyStream);
    DISPPARAMS no_arguments{nullptr, nullptr, 0, 0};
    win::Variant result;
    Call(helper, ids.my_stream, kMyStream, DISPATCH_PROPERTYGET, no_arguments, result.get());

    // A reference is followed, never trusted: it may point nowhere.
    win::Variant value;
    if (FAILED(win::CopyDereferenced(*result.get(), *value.get()))) ThrowObjectRequired();
    ComPtr<IDispatch> stream;
    switch (value.type()) {
        case VT_DISPATCH: stream = V_DISPATCH(value.get()); break;
        case VT_UNKNOWN:
            if (V_UNKNOWN(value.get()) != nullptr) {
                win::ThrowIfFailed(V_UNKNOWN(value.get())->QueryInterface(IID_PPV_ARGS(&stream)));
            }
            break;
        default: break;
    }
    if (!stream) ThrowObjectRequired();
    return stream;
}

double Number(const VARIANT& value) {
    switch (V_VT(&value)) {
        case VT_I1: return V_I1(&value);
        case VT_I2: return V_I2(&value);
        case VT_I4: return V_I4(&value);
        case VT_INT: return V_INT(&value);
        case VT_I8: return static_cast<double>(V_I8(&value));
        case VT_UI1: return V_UI1(&value);
        case VT_UI2: return V_UI2(&value);
        case VT_UI4: return V_UI4(&value);
        case VT_UINT: return V_UINT(&value);
        case VT_UI8: return static_cast<double>(V_UI8(&value));
        case VT_R4: return V_R4(&value);
        case VT_R8: return V_R8(&value);
        case VT_BOOL: return V_BOOL(&value);  // true compares as -1, as automation has it
        case VT_CY: return static_cast<double>(V_CY(&value).int64) / 10000.0;
        case VT_DECIMAL: {
            double number = 0;
            // VarR8FromDec reads its source only; it is declared to take it mutable.
            DECIMAL decimal = V_DECIMAL(&value);
            if (FAILED(VarR8FromDec(&decimal, &number))) ThrowTypeMismatch();
            return number;
        }
        case VT_BSTR: {
            const std::wstring_view text(V_BSTR(&value) ? V_BSTR(&value) : L"", SysStringLen(V_BSTR(&value)));
            if (const auto number = ReadNumber(text, win::UserNumberFormat())) return *number;
            ThrowTypeMismatch();
        }
        default:
            break;
    }
    if (V_VT(&value) & VT_BYREF) {
        win::Variant copy;
        if (SUCCEEDED(win::CopyDereferenced(value, *copy.get()))) return Number(*copy.get());
    }
    // Empty, null, objects, errors, dates, arrays: not a channel value.
    ThrowTypeMismatch();
}

}  // namespace

void StorePluginHelper(IDispatch* helper) {
    if (helper != nullptr) helper->AddRef();
    // The new value is in place before the old helper goes, whatever its Release does.
    VARIANT old = g_plugin_helper;
    V_VT(&g_plugin_helper) = VT_DISPATCH;
    V_DISPATCH(&g_plugin_helper) = helper;
    g_ids = HelperIds{};
    VariantClear(&old);
}

const VARIANT& PluginHelper() noexcept { return g_plugin_helper; }
const VARIANT& ChannelValue() noexcept { return g_channel_value; }

namespace {

// The read itself, on a helper the caller keeps referenced.
void ReadChannelValueFrom(IDispatch* helper, std::int32_t& channel) {
    HelperIds& ids = IdsFor(helper);
    if (ids.channel_get_value == DISPID_UNKNOWN) ids.channel_get_value = LookUp(helper, kChannelGetValue);

    VARIANT argument;
    V_VT(&argument) = VT_I4 | VT_BYREF;
    V_I4REF(&argument) = AsLong(channel);
    DISPPARAMS params{&argument, nullptr, 1, 0};
    CallResult result;
    Call(helper, ids.channel_get_value, kChannelGetValue, DISPATCH_METHOD | DISPATCH_PROPERTYGET, params,
         &result.value);

    if (V_VT(&result.value) & VT_BYREF) {
        // ChannelValue keeps the value, not a pointer into the host's memory; a reference
        // to nothing is no value at all, and ChannelValue stays as it was.
        CallResult value;
        if (FAILED(win::CopyDereferenced(result.value, value.value))) ThrowTypeMismatch();
        std::swap(result.value, value.value);
    }
    VARIANT old = g_channel_value;
    g_channel_value = result.value;
    V_VT(&result.value) = VT_EMPTY;  // handed on to ChannelValue
    if (!HoldsNoResource(old)) VariantClear(&old);
}

}  // namespace

void ReadChannelValue(std::int32_t& channel) {
    const ComPtr<IDispatch> helper = Helper();
    ReadChannelValueFrom(helper.Get(), channel);
}

void SetChannelValue(std::int32_t& channel, std::int32_t& value) {
    const ComPtr<IDispatch> helper = Helper();
    {
        const ComPtr<IDispatch> stream = ReadStream(helper.Get());
        const DISPID id = LookUp(stream.Get(), kUserInteraction);
        DISPPARAMS no_arguments{nullptr, nullptr, 0, 0};
        win::Variant ignored;
        Call(stream.Get(), id, kUserInteraction, DISPATCH_METHOD, no_arguments, ignored.get());
    }
    const ComPtr<IDispatch> stream = ReadStream(helper.Get());
    const DISPID id = LookUp(stream.Get(), kSetChannel);
    // DISPPARAMS lists the arguments last first: immediate, value, channel.
    VARIANT arguments[3];
    V_VT(&arguments[0]) = VT_BOOL;
    V_BOOL(&arguments[0]) = VARIANT_TRUE;
    V_VT(&arguments[1]) = VT_I4 | VT_BYREF;
    V_I4REF(&arguments[1]) = AsLong(value);
    V_VT(&arguments[2]) = VT_I4 | VT_BYREF;
    V_I4REF(&arguments[2]) = AsLong(channel);
    DISPPARAMS params{arguments, nullptr, 3, 0};
    win::Variant ignored;
    Call(stream.Get(), id, kSetChannel, DISPATCH_METHOD, params, ignored.get());
}

double HostChannels::ReadChannelValue(std::int32_t& channel) {
    // Referenced from its first read to the end of the tick instead of once per read: a
    // pointer compare per rule instead of AddRef and Release. Each read still goes to the
    // helper stored at that moment.
    IDispatch* const helper = CurrentHelper();
    if (helper != held_helper_.Get()) held_helper_ = ComPtr<IDispatch>(helper);  // the new one first
    ReadChannelValueFrom(helper, channel);
    return Number(g_channel_value);
}

void HostChannels::SetChannelValue(std::int32_t& channel, std::int32_t& value) {
    velt_zorvane::SetChannelValue(channel, value);
}

void Release() noexcept {
    VARIANT helper = g_plugin_helper;
    VARIANT value = g_channel_value;
    VariantInit(&g_plugin_helper);
    VariantInit(&g_channel_value);
    g_ids = HelperIds{};
    VariantClear(&value);
    VariantClear(&helper);
}

}  // namespace zorvane::velt_zorvane
