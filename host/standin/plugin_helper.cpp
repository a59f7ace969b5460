#include "host/standin/plugin_helper.h"

#include <new>
#include <string>
#include <utility>

#include "host/standin/host_library.h"
#include "host/standin/variant_text.h"
#include "win/com_error.h"
#include "win/com_object.h"
#include "win/type_info_dispatch.h"

using Microsoft::WRL::ComPtr;

namespace zorvane::standin {
namespace {

// The conversion functions leave their source alone but are declared to take it mutable.
VARIANT* Source(const VARIANT& value) { return const_cast<VARIANT*>(&value); }

enum class Member { ChannelGetValue, MyStream, UserInteraction, SetChannel };

struct NamedMember {
    const wchar_t* name;
    DISPID id;
};

constexpr NamedMember kHelperMembers[] = {{L"ChannelGetValue", kChannelGetValueId},
                                          {L"MyStream", kMyStreamId}};
constexpr NamedMember kStreamMembers[] = {{L"UserInteraction", kUserInteractionId},
                                          {L"SetChannel", kSetChannelId}};

// A failed call as the host reports it: hr alone, or DISP_E_EXCEPTION with the rest.
struct Failure {
    HRESULT hr = S_OK;
    HRESULT scode = S_OK;
    WORD wcode = 0;
    bool deferred = false;
    std::wstring source;
    std::wstring description;
};

Failure HostRefusal(std::wstring description) {
    return {DISP_E_EXCEPTION, E_INVALIDARG, 0, false, L"Stand-in host", std::move(description)};
}

// What a deferred EXCEPINFO is filled with once the caller asks; the host runs on one
// thread and a caller fills one EXCEPINFO before the next call.
struct DeferredException {
    HRESULT scode = S_OK;
    std::wstring source;
    std::wstring description;
};
DeferredException& PendingDeferred() {
    static DeferredException pending;  // no COM in its destructor: plain strings
    return pending;
}

HRESULT STDAPICALLTYPE FillDeferred(EXCEPINFO* info) {
    if (info == nullptr) return E_POINTER;
    const DeferredException& pending = PendingDeferred();
    info->scode = pending.scode;
    info->bstrSource = SysAllocString(pending.source.c_str());
    info->bstrDescription = SysAllocString(pending.description.c_str());
    info->pfnDeferredFillIn = nullptr;
    return S_OK;
}

HRESULT ReportToDispatchCaller(const Failure& failure, EXCEPINFO* excep) {
    if (failure.hr != DISP_E_EXCEPTION || excep == nullptr) return failure.hr;
    *excep = EXCEPINFO{};
    if (failure.deferred) {
        PendingDeferred() = {failure.scode, failure.source, failure.description};
        excep->pfnDeferredFillIn = FillDeferred;
        return DISP_E_EXCEPTION;
    }
    excep->scode = failure.scode;
    excep->wCode = failure.wcode;
    excep->bstrSource = SysAllocString(failure.source.c_str());
    excep->bstrDescription = SysAllocString(failure.description.c_str());
    return DISP_E_EXCEPTION;
}

HRESULT ReportToVtableCaller(const Failure& failure, REFIID iid) {
    if (failure.hr != DISP_E_EXCEPTION) return failure.hr;
    HRESULT code = failure.scode;
    if (code == S_OK) code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, failure.wcode);
    return win::SetErrorInfoFor(iid, code, failure.source, failure.description);
}

// Makes the call go wrong as the fault says; false when the fault does not fit member.
bool ApplyFault(const Fault& fault, Member member, VARIANT* result, Failure& failure) {
    switch (fault.kind) {
        case FaultKind::MissingMember:
            failure.hr = DISP_E_MEMBERNOTFOUND;
            return true;
        case FaultKind::Exception:
        case FaultKind::ExceptionWCode:
        case FaultKind::ExceptionDeferred: {
            const bool with_wcode = fault.kind == FaultKind::ExceptionWCode;
            failure = {DISP_E_EXCEPTION, with_wcode ? S_OK : fault.code,
                       static_cast<WORD>(with_wcode ? fault.wcode : 0),
                       fault.kind == FaultKind::ExceptionDeferred, fault.source, fault.description};
            return true;
        }
        case FaultKind::FailureCode:
            failure.hr = fault.code;
            return true;
        case FaultKind::StreamEmpty:
        case FaultKind::StreamNothing:
        case FaultKind::StreamNotObject:
            if (member != Member::MyStream) return false;
            if (fault.kind == FaultKind::StreamNothing) {
                V_VT(result) = VT_DISPATCH;
                V_DISPATCH(result) = nullptr;
            } else if (fault.kind == FaultKind::StreamNotObject) {
                V_VT(result) = VT_I4;
                V_I4(result) = 7;
            }
            return true;
        case FaultKind::ValueNotNumber:
        case FaultKind::ValueEmpty:
        case FaultKind::ValueNull:
            if (member != Member::ChannelGetValue) return false;
            if (fault.kind == FaultKind::ValueNotNumber) {
                V_BSTR(result) = SysAllocString(L"n/a");
                if (V_BSTR(result) == nullptr) throw std::bad_alloc();
                V_VT(result) = VT_BSTR;
            } else if (fault.kind == FaultKind::ValueNull) {
                V_VT(result) = VT_NULL;
            }
            return true;
    }
    return false;
}

void Trace(StandinHost& host, std::wstring head, HRESULT hr, const VARIANT* shown, WORD flags,
           const DISPPARAMS* params) {
    if (FAILED(hr)) {
        head += L" -> error " + HexCode(hr);
    } else if (shown != nullptr) {
        head += L" -> " + DescribeVariant(*shown);
    }
    host.trace.Add({std::move(head), flags, ArgumentsOf(params), hr});
}

// A 32-bit argument: the caller's variable when passed by reference, else its value.
HRESULT LongArgument(const VARIANT& argument, LONG*& reference, LONG& value) {
    reference = nullptr;
    switch (V_VT(&argument)) {
        case VT_I4 | VT_BYREF:
            reference = V_I4REF(&argument);
            value = *reference;
            return S_OK;
        case VT_I4:
            value = V_I4(&argument);
            return S_OK;
        default: {
            VARIANT converted;
            VariantInit(&converted);
            if (FAILED(VariantChangeType(&converted, Source(argument), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
            value = V_I4(&converted);
            return S_OK;
        }
    }
}

HRESULT BoolArgument(const VARIANT& argument, VARIANT_BOOL& value) {
    if (V_VT(&argument) == VT_BOOL) {
        value = V_BOOL(&argument);
        return S_OK;
    }
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, Source(argument), 0, VT_BOOL))) return DISP_E_TYPEMISMATCH;
    value = V_BOOL(&converted);
    return S_OK;
}

template <std::size_t N>
HRESULT LookUpNames(const NamedMember (&table)[N], StandinHost& host, REFIID iid, LPOLESTR* names,
                    UINT count, DISPID* ids) noexcept {
    host.CountLookup();
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0) return S_OK;
    if (names == nullptr || ids == nullptr) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const NamedMember* found = nullptr;
    for (const auto& member : table) {
        if (names[0] != nullptr &&
            CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL) {
            found = &member;
        }
    }
    if (found == nullptr) return DISP_E_UNKNOWNNAME;
    if (host.MissingAtLookup()) {
        try {
            Trace(host, found->name, DISP_E_UNKNOWNNAME, nullptr, 0, nullptr);
        } catch (...) {
            // The record is for tests; the call fails as asked either way.
        }
        return DISP_E_UNKNOWNNAME;
    }
    ids[0] = found->id;
    // None of the members has named parameters.
    return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT FromCaughtException() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

class OutputStream final
    : public win::ComObject<OutputStream,
                            win::TypeInfoDispatch<IVELTOutputStream, HostLibraryTypeInfoOf<IVELTOutputStream>>> {
public:
    explicit OutputStream(std::shared_ptr<StandinHost> host) : host_(std::move(host)) { host_->StreamMade(); }
    ~OutputStream() override { host_->StreamGone(); }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        return LookUpNames(kStreamMembers, *host_, iid, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT*, EXCEPINFO* excep,
                                     UINT* arg_error) noexcept override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (params == nullptr) return E_INVALIDARG;
        if (id != kUserInteractionId && id != kSetChannelId) return DISP_E_MEMBERNOTFOUND;
        if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        try {
            Failure failure;
            if (id == kUserInteractionId) {
                if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
                DoUserInteraction(failure, flags, params);
                return ReportToDispatchCaller(failure, excep);
            }
            if (params->cArgs != 3) return DISP_E_BADPARAMCOUNT;
            LONG* reference = nullptr;
            LONG channel = 0;
            LONG value = 0;
            VARIANT_BOOL immediate = VARIANT_FALSE;
            // DISPPARAMS holds the arguments last first.
            const UINT bad = FAILED(LongArgument(params->rgvarg[2], reference, channel)) ? 2
                             : FAILED(LongArgument(params->rgvarg[1], reference, value)) ? 1
                             : FAILED(BoolArgument(params->rgvarg[0], immediate))        ? 0
                                                                                          : 3;
            if (bad != 3) {
                if (arg_error != nullptr) *arg_error = bad;
                return DISP_E_TYPEMISMATCH;
            }
            DoSetChannel(channel, value, immediate, failure, flags, params);
            return ReportToDispatchCaller(failure, excep);
        } catch (...) {
            return FromCaughtException();
        }
    }

    HRESULT STDMETHODCALLTYPE UserInteraction() noexcept override {
        try {
            Failure failure;
            DoUserInteraction(failure, 0, nullptr);
            return ReportToVtableCaller(failure, __uuidof(IVELTOutputStream));
        } catch (...) {
            return FromCaughtException();
        }
    }

    HRESULT STDMETHODCALLTYPE SetChannel(LONG* channel, LONG* value,
                                         VARIANT_BOOL immediate) noexcept override {
        if (channel == nullptr || value == nullptr) return E_POINTER;
        try {
            Failure failure;
            DoSetChannel(*channel, *value, immediate, failure, 0, nullptr);
            return ReportToVtableCaller(failure, __uuidof(IVELTOutputStream));
        } catch (...) {
            return FromCaughtException();
        }
    }

private:
    void DoUserInteraction(Failure& failure, WORD flags, const DISPPARAMS* params) {
        if (auto fault = host_->StartCall()) ApplyFault(*fault, Member::UserInteraction, nullptr, failure);
        if (host_->trace.enabled) Trace(*host_, L"UserInteraction", failure.hr, nullptr, flags, params);
    }

    void DoSetChannel(LONG channel, LONG value, VARIANT_BOOL immediate, Failure& failure, WORD flags,
                      const DISPPARAMS* params) {
        const auto fault = host_->StartCall();
        if (fault && ApplyFault(*fault, Member::SetChannel, nullptr, failure)) {
            // failed as asked
        } else if (!Universe::IsChannel(channel)) {
            failure = HostRefusal(L"Kanal " + std::to_wstring(channel) + L" gibt es nicht (1 bis 512).");
        } else if (!Universe::IsValue(value)) {
            failure = HostRefusal(L"Der Wert " + std::to_wstring(value) +
                                  L" liegt au\u00DFerhalb von 0 bis 255.");
        } else {
            host_->universe.WriteFromPlugin(channel, value, immediate != VARIANT_FALSE);
        }
        if (host_->trace.enabled) {
            Trace(*host_,
                  L"SetChannel " + std::to_wstring(channel) + L", " + std::to_wstring(value) + L", " +
                      DescribeBool(immediate),
                  failure.hr, nullptr, flags, params);
        }
    }

    std::shared_ptr<StandinHost> host_;
};

class PluginHelper final
    : public win::ComObject<PluginHelper,
                            win::TypeInfoDispatch<IVELTPluginHelper, HostLibraryTypeInfoOf<IVELTPluginHelper>>> {
public:
    explicit PluginHelper(std::shared_ptr<StandinHost> host) : host_(std::move(host)) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        return LookUpNames(kHelperMembers, *host_, iid, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep,
                                     UINT* arg_error) noexcept override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (params == nullptr) return E_INVALIDARG;
        if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
        try {
            Failure failure;
            VARIANT discarded;
            VariantInit(&discarded);
            VARIANT* out = result != nullptr ? result : &discarded;
            switch (id) {
                case kChannelGetValueId: {
                    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
                        return DISP_E_MEMBERNOTFOUND;
                    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
                    LONG* reference = nullptr;
                    LONG channel = 0;
                    if (FAILED(LongArgument(params->rgvarg[0], reference, channel))) {
                        if (arg_error != nullptr) *arg_error = 0;
                        return DISP_E_TYPEMISMATCH;
                    }
                    VariantInit(out);
                    DoChannelGetValue(channel, out, failure, flags, params);
                    break;
                }
                case kMyStreamId:
                    if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
                        return DISP_E_MEMBERNOTFOUND;
                    if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
                    VariantInit(out);
                    DoMyStream(out, failure, flags, params);
                    break;
                default:
                    return DISP_E_MEMBERNOTFOUND;
            }
            VariantClear(&discarded);
            return ReportToDispatchCaller(failure, excep);
        } catch (...) {
            return FromCaughtException();
        }
    }

    HRESULT STDMETHODCALLTYPE ChannelGetValue(LONG* channel, VARIANT* value) noexcept override {
        if (channel == nullptr || value == nullptr) return E_POINTER;
        VariantInit(value);
        try {
            Failure failure;
            DoChannelGetValue(*channel, value, failure, 0, nullptr);
            return ReportToVtableCaller(failure, __uuidof(IVELTPluginHelper));
        } catch (...) {
            return FromCaughtException();
        }
    }

    HRESULT STDMETHODCALLTYPE get_MyStream(IDispatch** stream) noexcept override {
        if (stream == nullptr) return E_POINTER;
        *stream = nullptr;
        try {
            Failure failure;
            VARIANT result;
            VariantInit(&result);
            DoMyStream(&result, failure, 0, nullptr);
            // Only an object fits the vtable's type; anything else comes out as nothing.
            if (V_VT(&result) == VT_DISPATCH) {
                *stream = V_DISPATCH(&result);
            } else {
                VariantClear(&result);
            }
            return ReportToVtableCaller(failure, __uuidof(IVELTPluginHelper));
        } catch (...) {
            return FromCaughtException();
        }
    }

private:
    void DoChannelGetValue(LONG channel, VARIANT* result, Failure& failure, WORD flags,
                           const DISPPARAMS* params) {
        const auto fault = host_->StartCall();
        if (fault && ApplyFault(*fault, Member::ChannelGetValue, result, failure)) {
            // failed or answered oddly, as asked
        } else if (!Universe::IsChannel(channel)) {
            failure = HostRefusal(L"Kanal " + std::to_wstring(channel) + L" gibt es nicht (1 bis 512).");
        } else if (const VARIANT* reply = host_->ChannelReply(channel)) {
            win::ThrowIfFailed(VariantCopy(result, Source(*reply)));
        } else {
            V_VT(result) = VT_I4;
            V_I4(result) = host_->universe.Value(channel);
        }
        if (host_->trace.enabled) {
            Trace(*host_, L"ChannelGetValue " + std::to_wstring(channel), failure.hr, result, flags,
                  params);
        }
    }

    void DoMyStream(VARIANT* result, Failure& failure, WORD flags, const DISPPARAMS* params) {
        const auto fault = host_->StartCall();
        const bool odd = fault && ApplyFault(*fault, Member::MyStream, result, failure);
        if (!odd) {
            ComPtr<OutputStream> stream = stream_;
            if (!stream) stream = win::Make<OutputStream>(host_);
            if (!host_->fresh_stream_per_read) stream_ = stream;
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = stream.Detach();
        }
        if (host_->trace.enabled) {
            Trace(*host_, L"MyStream", failure.hr, odd && SUCCEEDED(failure.hr) ? result : nullptr,
                  flags, params);
        }
    }

    std::shared_ptr<StandinHost> host_;
    ComPtr<OutputStream> stream_;  // kept only when one stream serves every read
};

}  // namespace

ComPtr<IVELTPluginHelper> MakePluginHelper(std::shared_ptr<StandinHost> host) {
    return win::Make<PluginHelper>(std::move(host));
}

}  // namespace zorvane::standin
