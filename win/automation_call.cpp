#include "win/automation_call.h"

#include <new>
#include <vector>

#include "common/host_error.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::win {
namespace {

MemberKind KindOf(const MemberShape& shape, WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (shape.kinds & kPropertyPut) return kPropertyPut;
    } else if ((flags & DISPATCH_METHOD) && (shape.kinds & kMethod)) {
        return kMethod;
    } else if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) && (shape.kinds & kPropertyGet)) {
        // A property read may come as a method call, as Visual Basic sends it.
        return kPropertyGet;
    }
    throw DispatchFault{DISP_E_MEMBERNOTFOUND};
}

bool IsMissing(const VARIANT& value) noexcept {
    return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

}  // namespace

std::size_t MemberShape::ParameterCount() const noexcept {
    std::size_t count = 0;
    while (count < parameters.size() && parameters[count] != nullptr) ++count;
    return count;
}

Call::Call(const MemberShape& shape, WORD flags, const DISPPARAMS* params, LCID lcid, VARIANT* result)
    : params_(params), lcid_(lcid), result_(result) {
    if (result_ != nullptr) VariantInit(result_);
    if (!IsWellFormed(params)) throw DispatchFault{E_INVALIDARG};
    const UINT count = params->cArgs;
    const UINT named = params->cNamedArgs;
    kind_ = KindOf(shape, flags);
    const std::size_t parameters = shape.ParameterCount();

    for (UINT k = 0; k < named; ++k) {
        const DISPID id = params->rgdispidNamedArgs[k];
        int* slot = nullptr;
        if (id == DISPID_PROPERTYPUT && kind_ == kPropertyPut) {
            slot = &slots_[kPutValue];
        } else if (id >= 0 && static_cast<std::size_t>(id) < parameters) {
            slot = &slots_[static_cast<std::size_t>(id)];
        }
        if (slot == nullptr || *slot >= 0) throw DispatchFault{DISP_E_PARAMNOTFOUND, static_cast<int>(k)};
        *slot = static_cast<int>(k);
    }
    UINT positional = count - named;
    if (kind_ == kPropertyPut && slots_[kPutValue] < 0) {
        // Some callers pass the new value without naming it: then it is the last argument.
        if (positional == 0) throw DispatchFault{DISP_E_PARAMNOTFOUND};
        slots_[kPutValue] = static_cast<int>(named);
        --positional;
    }
    if (positional > parameters) throw DispatchFault{DISP_E_BADPARAMCOUNT};
    for (UINT p = 0; p < positional; ++p) {
        // rgvarg holds the arguments last first.
        const int index = static_cast<int>(count - 1 - p);
        if (slots_[p] >= 0) throw DispatchFault{DISP_E_PARAMNOTFOUND, slots_[p]};
        slots_[p] = index;
    }
    for (std::size_t p = 0; p < shape.required; ++p) {
        if (slots_[p] < 0) {
            throw DispatchFault{named == 0 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTFOUND};
        }
        if (IsMissing(params->rgvarg[slots_[p]])) throw DispatchFault{DISP_E_PARAMNOTFOUND, slots_[p]};
    }
}

const VARIANT* Call::Slot(std::size_t i) const noexcept {
    const int index = ArgumentIndex(i);
    return index < 0 ? nullptr : &params_->rgvarg[index];
}

int Call::ArgumentIndex(std::size_t i) const noexcept {
    return i < slots_.size() ? slots_[i] : -1;
}

bool Call::Has(std::size_t i) const noexcept {
    const VARIANT* slot = Slot(i);
    if (slot == nullptr || IsMissing(*slot)) return false;
    // A missing argument may also come by reference.
    if (V_VT(slot) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(slot) != nullptr) {
        return !IsMissing(*V_VARIANTREF(slot));
    }
    return true;
}

const VARIANT& Call::Value(std::size_t i) const {
    const VARIANT* value = Slot(i);
    if (value == nullptr) throw DispatchFault{DISP_E_PARAMNOTFOUND};
    const DispatchFault mismatch{DISP_E_TYPEMISMATCH, ArgumentIndex(i)};
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) {
        value = V_VARIANTREF(value);
        // One level only, and never a reference to nothing.
        if (value == nullptr || V_VT(value) == (VT_VARIANT | VT_BYREF)) throw mismatch;
    }
    if ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr) throw mismatch;
    return *value;
}

void Call::Mismatch(std::size_t i, const wchar_t* description) const {
    throw DispatchFault{DISP_E_TYPEMISMATCH, ArgumentIndex(i), description};
}

void Call::Coerce(std::size_t i, VARTYPE type, VARIANT& out) const {
    const VARIANT& value = Value(i);
    if (V_VT(&value) & VT_ARRAY) throw DispatchFault{DISP_E_TYPEMISMATCH, ArgumentIndex(i)};
    const USHORT flags = type == VT_BOOL ? VARIANT_LOCALBOOL : 0;
    const HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(&value), lcid_, flags, type);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr) || V_VT(&out) != type) {
        throw DispatchFault{hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH,
                            ArgumentIndex(i)};
    }
}

std::int32_t Call::Long(std::size_t i) const {
    Variant out;
    Coerce(i, VT_I4, *out.get());
    return V_I4(out.get());
}

bool Call::Bool(std::size_t i) const {
    Variant out;
    Coerce(i, VT_BOOL, *out.get());
    return V_BOOL(out.get()) != VARIANT_FALSE;
}

std::wstring Call::Text(std::size_t i) const {
    Variant out;
    Coerce(i, VT_BSTR, *out.get());
    const BSTR text = V_BSTR(out.get());
    return text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

void Call::Return(std::int32_t value) noexcept {
    if (result_ == nullptr) return;
    V_VT(result_) = VT_I4;
    V_I4(result_) = value;
}

void Call::Return(bool value) noexcept {
    if (result_ == nullptr) return;
    V_VT(result_) = VT_BOOL;
    V_BOOL(result_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Call::Return(std::wstring_view text) {
    if (result_ == nullptr) return;
    Bstr value(text);
    V_VT(result_) = VT_BSTR;
    V_BSTR(result_) = value.release();
}

bool IsWellFormed(const DISPPARAMS* params) noexcept {
    if (params == nullptr) return false;
    if (params->cArgs > 0 && params->rgvarg == nullptr) return false;
    if (params->cNamedArgs > params->cArgs) return false;
    return params->cNamedArgs == 0 || params->rgdispidNamedArgs != nullptr;
}

HRESULT ParameterIds(const MemberShape& shape, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    HRESULT hr = S_OK;
    const std::size_t parameters = shape.ParameterCount();
    for (UINT n = 1; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        for (std::size_t p = 0; p < parameters; ++p) {
            if (SameName(names[n], shape.parameters[p])) ids[n] = static_cast<DISPID>(p);
        }
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT InvokeFailed(EXCEPINFO* excep, UINT* arg_error, REFIID iid, const wchar_t* source) noexcept {
    try {
        throw;
    } catch (const DispatchFault& fault) {
        if (fault.argument >= 0 && arg_error != nullptr) *arg_error = static_cast<UINT>(fault.argument);
        try {
            return SetErrorInfoFor(iid, fault.hr, source,
                                   fault.description != nullptr ? fault.description : ErrorText(fault.hr));
        } catch (...) {
            return fault.hr;
        }
    } catch (...) {
        // Error information first: it also tells the code and the words to report.
        const HRESULT hr = HresultFromCaughtException(iid, source);
        if (excep == nullptr) return hr;
        *excep = EXCEPINFO{};
        excep->scode = hr;
        IErrorInfo* info = nullptr;
        if (GetErrorInfo(0, &info) == S_OK && info != nullptr) {
            info->GetSource(&excep->bstrSource);
            info->GetDescription(&excep->bstrDescription);
            // Handed back, so that a caller reading it after Invoke finds it too.
            SetErrorInfo(0, info);
            info->Release();
        }
        return DISP_E_EXCEPTION;
    }
}

namespace {

// The description of the function a call means, released with it.
class FunctionOf {
public:
    FunctionOf(ITypeInfo* info, DISPID id, WORD flags) noexcept : info_(info) {
        TYPEATTR* attributes = nullptr;
        if (FAILED(info->GetTypeAttr(&attributes))) return;
        const WORD functions = attributes->cFuncs;
        info->ReleaseTypeAttr(attributes);
        // The kinds of call in the order the flags ask for them, as for our own members: a
        // put, else a method, else a property read (which may come as a method call).
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            Find(info, functions, id, flags & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF));
            return;
        }
        if (flags & DISPATCH_METHOD) Find(info, functions, id, INVOKE_FUNC);
        if (description_ == nullptr && (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) {
            Find(info, functions, id, INVOKE_PROPERTYGET);
        }
    }
    ~FunctionOf() {
        if (description_ != nullptr) info_->ReleaseFuncDesc(description_);
    }
    FunctionOf(const FunctionOf&) = delete;
    FunctionOf& operator=(const FunctionOf&) = delete;

    const FUNCDESC* get() const noexcept { return description_; }
    // Parameters a caller passes: all but the [retval] one.
    UINT Parameters() const noexcept {
        UINT count = 0;
        for (SHORT i = 0; i < description_->cParams; ++i) {
            if (!(description_->lprgelemdescParam[i].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++count;
        }
        return count;
    }
    const ELEMDESC& Parameter(UINT i) const noexcept { return description_->lprgelemdescParam[i]; }

private:
    void Find(ITypeInfo* info, WORD functions, DISPID id, int kinds) noexcept {
        for (UINT i = 0; i < functions && description_ == nullptr; ++i) {
            FUNCDESC* description = nullptr;
            if (FAILED(info->GetFuncDesc(i, &description))) continue;
            if (description->memid == id && (description->invkind & kinds) != 0) {
                description_ = description;
            } else {
                info->ReleaseFuncDesc(description);
            }
        }
    }

    ITypeInfo* info_;
    FUNCDESC* description_ = nullptr;
};

// The type an argument is converted to for a parameter: references and aliases followed,
// interfaces as objects.
VARTYPE ArgumentType(ITypeInfo* info, const TYPEDESC& type) noexcept {
    const TYPEDESC* at = &type;
    for (int depth = 0; depth < 4; ++depth) {
        if (at->vt == VT_PTR && at->lptdesc != nullptr) {
            at = at->lptdesc;
            continue;
        }
        if (at->vt != VT_USERDEFINED) return at->vt;
        ITypeInfo* referenced = nullptr;
        if (FAILED(info->GetRefTypeInfo(at->hreftype, &referenced)) || referenced == nullptr) return VT_VARIANT;
        TYPEATTR* attributes = nullptr;
        VARTYPE vt = VT_VARIANT;
        if (SUCCEEDED(referenced->GetTypeAttr(&attributes))) {
            switch (attributes->typekind) {
                case TKIND_ENUM: vt = VT_I4; break;
                case TKIND_ALIAS:
                    vt = attributes->tdescAlias.vt == VT_USERDEFINED ? VARTYPE{VT_VARIANT} : attributes->tdescAlias.vt;
                    break;
                case TKIND_INTERFACE: vt = (attributes->wTypeFlags & TYPEFLAG_FDUAL) ? VT_DISPATCH : VT_UNKNOWN; break;
                case TKIND_DISPATCH: case TKIND_COCLASS: vt = VT_DISPATCH; break;
                default: break;
            }
            referenced->ReleaseTypeAttr(attributes);
        }
        referenced->Release();
        return vt;
    }
    return VT_VARIANT;
}

// Arguments laid out for ITypeInfo::Invoke; the copies among them are ours to clear.
struct LaidOut {
    std::vector<VARIANT> values;
    std::vector<bool> owned;
    LaidOut() = default;
    LaidOut(const LaidOut&) = delete;
    LaidOut& operator=(const LaidOut&) = delete;
    ~LaidOut() {
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (owned[i]) VariantClear(&values[i]);
        }
    }
};

bool Fits(const VARIANT& argument, VARTYPE type) noexcept {
    const VARIANT* value = &argument;
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) value = V_VARIANTREF(value);
    if (value == nullptr || ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr)) return false;
    if (type == VT_VARIANT) return true;
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, type);
    VariantClear(&converted);
    return SUCCEEDED(hr);
}

}  // namespace

HRESULT InvokeThroughTypeInfo(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
    try {
        const FunctionOf function(info, id, flags);
        // No member of that identifier that can be called so: told as our own members tell it.
        if (function.get() == nullptr) return DISP_E_MEMBERNOTFOUND;
        const UINT parameters = function.Parameters();
        const UINT count = params->cArgs;
        const UINT named = params->cNamedArgs;
        const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;

        // Where each parameter's argument is in rgvarg; -1 when it is not given.
        std::vector<int> slots(parameters, -1);
        for (UINT k = 0; k < named; ++k) {
            const DISPID name = params->rgdispidNamedArgs[k];
            int* slot = nullptr;
            if (name == DISPID_PROPERTYPUT && put && parameters > 0) {
                slot = &slots[parameters - 1];
            } else if (name >= 0 && static_cast<UINT>(name) < parameters) {
                slot = &slots[static_cast<UINT>(name)];
            }
            if (slot == nullptr || *slot >= 0) {
                if (arg_error != nullptr) *arg_error = k;
                return DISP_E_PARAMNOTFOUND;
            }
            *slot = static_cast<int>(k);
        }
        UINT positional = count - named;
        if (put && parameters > 0 && slots[parameters - 1] < 0 && positional > 0) {
            slots[parameters - 1] = static_cast<int>(named);  // the value, given last
            --positional;
        }
        if (positional > parameters) return DISP_E_BADPARAMCOUNT;
        for (UINT p = 0; p < positional; ++p) {
            if (slots[p] >= 0) {
                if (arg_error != nullptr) *arg_error = static_cast<UINT>(slots[p]);
                return DISP_E_PARAMNOTFOUND;
            }
            slots[p] = static_cast<int>(count - 1 - p);
        }

        for (UINT p = 0; p < parameters; ++p) {
            const USHORT parameter_flags = function.Parameter(p).paramdesc.wParamFlags;
            if (slots[p] < 0 && !(parameter_flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) {
                return named == 0 ? DISP_E_BADPARAMCOUNT : DISP_E_PARAMNOTFOUND;
            }
        }

        // What ITypeInfo::Invoke gets: named arguments in their places (a put's value stays
        // named), and a copy of each value given by value for an [in, out] parameter, into
        // which it would write back.
        bool copies = false;
        for (UINT p = 0; p < parameters; ++p) {
            const bool out = (function.Parameter(p).paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0;
            if (out && slots[p] >= 0 && !(V_VT(&params->rgvarg[slots[p]]) & VT_BYREF)) copies = true;
        }
        LaidOut laid_out;
        DISPPARAMS positional_params{};
        DISPPARAMS* passed = params;
        if ((named > 0 || copies) && !put) {
            UINT given = 0;
            for (UINT p = 0; p < parameters; ++p) {
                if (slots[p] >= 0) given = p + 1;
            }
            laid_out.values.resize(given);
            laid_out.owned.resize(given, false);
            for (UINT p = 0; p < given; ++p) {
                const UINT at = given - 1 - p;
                VARIANT& to = laid_out.values[at];
                VariantInit(&to);
                if (slots[p] < 0) {
                    V_VT(&to) = VT_ERROR;
                    V_ERROR(&to) = DISP_E_PARAMNOTFOUND;
                    continue;
                }
                const VARIANT& from = params->rgvarg[slots[p]];
                const bool out = (function.Parameter(p).paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0;
                if (out && !(V_VT(&from) & VT_BYREF)) {
                    if (FAILED(VariantCopy(&to, const_cast<VARIANT*>(&from)))) {
                        if (arg_error != nullptr) *arg_error = static_cast<UINT>(slots[p]);
                        return DISP_E_TYPEMISMATCH;
                    }
                    laid_out.owned[at] = true;
                } else {
                    to = from;  // borrowed, as ITypeInfo::Invoke borrows it
                }
            }
            positional_params = {laid_out.values.data(), nullptr, given, 0};
            passed = &positional_params;
        }

        const HRESULT hr = info->Invoke(object, id, flags, passed, result, excep, arg_error);
        if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND) && arg_error != nullptr && count > 0) {
            // The first argument, in parameter order, that does not fit its parameter.
            UINT at_fault = count - 1;
            for (UINT p = 0; p < parameters; ++p) {
                if (slots[p] < 0) continue;
                const ELEMDESC& parameter = function.Parameter(p);
                const VARIANT& argument = params->rgvarg[slots[p]];
                const bool missing = V_VT(&argument) == VT_ERROR && V_ERROR(&argument) == DISP_E_PARAMNOTFOUND;
                const bool optional = (parameter.paramdesc.wParamFlags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) != 0;
                if ((missing && !optional) || (!missing && !Fits(argument, ArgumentType(info, parameter.tdesc)))) {
                    at_fault = static_cast<UINT>(slots[p]);
                    break;
                }
            }
            *arg_error = at_fault;
        }
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
    return a != nullptr && b != nullptr && CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace zorvane::win
