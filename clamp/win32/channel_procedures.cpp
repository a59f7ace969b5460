#include "clamp/win32/channel_procedures.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

#include "clamp/win32/late_bound_call.h"
#include "clamp/win32/shared_values.h"
#include "win/com_error.h"
#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::velt_zorvane {
namespace {

// Names are handed to GetIDsOfNames as they stand: no string is built per call.
constexpr wchar_t kChannelGetValue[] = L"ChannelGetValue";
constexpr wchar_t kMyStream[] = L"MyStream";
constexpr wchar_t kUserInteraction[] = L"UserInteraction";
constexpr wchar_t kSetChannel[] = L"SetChannel";

// The helper's member identifiers, looked up once for the helper they belong to.
struct HelperIds {
    const IDispatch* helper = nullptr;
    std::uint32_t generation = 0;
    DISPID channel_get_value = DISPID_UNKNOWN;
    DISPID my_stream = DISPID_UNKNOWN;
};
HelperIds g_ids;

HelperIds& IdsFor(const IDispatch* helper) noexcept {
    const std::uint32_t generation = HelperGeneration();
    if (g_ids.helper != helper || g_ids.generation != generation) g_ids = HelperIds{helper, generation};
    return g_ids;
}

static_assert(sizeof(std::int32_t) == sizeof(LONG), "channels travel as automation longs");

LONG* AsLong(std::int32_t& value) noexcept { return reinterpret_cast<LONG*>(&value); }

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

}  // namespace

IDispatch* CurrentHelper() {
    const VARIANT& helper = PluginHelper();
    if (V_VT(&helper) != VT_DISPATCH || V_DISPATCH(&helper) == nullptr) ThrowObjectRequired();
    return V_DISPATCH(&helper);
}

void ReadChannelValue(IDispatch* helper, std::int32_t& channel) {
    HelperIds& ids = IdsFor(helper);
    if (ids.channel_get_value == DISPID_UNKNOWN) ids.channel_get_value = LookUp(helper, kChannelGetValue);

    VARIANT argument;
    V_VT(&argument) = VT_I4 | VT_BYREF;
    V_I4REF(&argument) = AsLong(channel);
    DISPPARAMS params{&argument, nullptr, 1, 0};
    win::Variant result;
    Call(helper, ids.channel_get_value, kChannelGetValue, DISPATCH_METHOD | DISPATCH_PROPERTYGET, params,
         result.get());

    if (V_VT(result.get()) & VT_BYREF) {
        // ChannelValue keeps the value, not a pointer into the host's memory; a reference
        // to nothing is no value at all, and ChannelValue stays as it was.
        win::Variant value;
        if (FAILED(win::CopyDereferenced(*result.get(), *value.get()))) ThrowTypeMismatch();
        result = std::move(value);
    }
    StoreChannelValue(*result.get());
}

void SetChannelValue(std::int32_t& channel, std::int32_t& value) {
    // Referenced for the calls: a host call may store another helper and release this one.
    const ComPtr<IDispatch> helper = CurrentHelper();
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

}  // namespace zorvane::velt_zorvane
