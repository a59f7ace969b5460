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
        // A put by reference alone is for a property holding an object; none of ours does.
        if ((flags & DISPATCH_PROPERTYPUT) && (shape.kinds & kPropertyPut)) return kPropertyPut;
    } else if ((flags & DISPATCH_METHOD) && (shape.kinds & kMethod)) {
        return kMethod;
    } else if ((flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) && (shape.kinds & kPropertyGet)) {
        // A property read may come as a method call, as Visual Basic sends it.
        return kPropertyGet;
    }
    throw DispatchFault{DISP_E_MEMBERNOTFOUND};
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
    kind_ = KindOf(shape, flags);
    const std::size_t count = shape.ParameterCount();
    std::array<Parameter, 4> parameters{};
    for (std::size_t p = 0; p < count; ++p) parameters[p] = {shape.parameters[p], p >= shape.required};
    const ArgumentMatch match =
        MatchArguments({std::span(parameters.data(), count), kind_ == kPropertyPut}, flags, params);
    if (FAILED(match.hr)) throw DispatchFault{match.hr, match.arg_error};
    for (std::size_t p = 0; p < count; ++p) slots_[p] = match.arguments[p].index;
    if (kind_ == kPropertyPut) slots_[kPutValue] = match.arguments.back().index;
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
    return slot != nullptr && !IsMissingArgument(*slot);
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
    const VARIANT* argument = Slot(i);
    if (argument == nullptr) throw DispatchFault{DISP_E_PARAMNOTFOUND};
    const HRESULT hr = ConvertArgument(*argument, type, lcid_, out);
    if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
    if (FAILED(hr)) throw DispatchFault{hr, ArgumentIndex(i)};
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

// Types an argument is converted to here; anything else goes to ITypeInfo::Invoke as given.
bool Converts(VARTYPE type) noexcept {
    switch (type) {
        case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_INT: case VT_UI1: case VT_UI2: case VT_UI4:
        case VT_UI8: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_DECIMAL:
        case VT_BSTR: case VT_BOOL: case VT_ERROR: case VT_DISPATCH: case VT_UNKNOWN:
            return true;
        default:
            return false;
    }
}

// The type an argument is converted to for a parameter: references and aliases followed,
// interfaces as objects; VT_VARIANT for one taken as it comes.
VARTYPE ArgumentType(ITypeInfo* info, const TYPEDESC& type) noexcept {
    const TYPEDESC* at = &type;
    for (int depth = 0; depth < 4; ++depth) {
        if (at->vt == VT_PTR && at->lptdesc != nullptr) {
            at = at->lptdesc;
            continue;
        }
        if (at->vt != VT_USERDEFINED) return Converts(at->vt) ? at->vt : VARTYPE{VT_VARIANT};
        ITypeInfo* referenced = nullptr;
        if (FAILED(info->GetRefTypeInfo(at->hreftype, &referenced)) || referenced == nullptr) return VT_VARIANT;
        TYPEATTR* attributes = nullptr;
        VARTYPE vt = VT_VARIANT;
        if (SUCCEEDED(referenced->GetTypeAttr(&attributes))) {
            switch (attributes->typekind) {
                case TKIND_ENUM: vt = VT_I4; break;
                case TKIND_ALIAS:
                    vt = Converts(attributes->tdescAlias.vt) ? attributes->tdescAlias.vt : VARTYPE{VT_VARIANT};
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

// What ITypeInfo::Invoke is given: the arguments last first, as DISPPARAMS holds them,
// each of its parameter's type; the copies among them are ours to clear.
class LaidOut {
public:
    explicit LaidOut(std::size_t count) : values_(count), owned_(count, false) {
        for (VARIANT& value : values_) VariantInit(&value);
    }
    ~LaidOut() {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            if (owned_[i]) VariantClear(&values_[i]);
        }
    }
    LaidOut(const LaidOut&) = delete;
    LaidOut& operator=(const LaidOut&) = delete;

    // Borrowed, as ITypeInfo::Invoke borrows the caller's.
    void Borrow(std::size_t at, const VARIANT& value) noexcept { values_[at] = value; }
    VARIANT& Own(std::size_t at) noexcept {
        owned_[at] = true;
        return values_[at];
    }
    VARIANT* data() noexcept { return values_.data(); }
    UINT size() const noexcept { return static_cast<UINT>(values_.size()); }

private:
    std::vector<VARIANT> values_;
    std::vector<bool> owned_;
};

// One argument as ITypeInfo::Invoke gets it for its parameter: as it is when it is of the
// parameter's type already, else converted here; a value given for an [in, out] parameter
// is copied, so that what the member writes back never reaches the caller's DISPPARAMS.
HRESULT Prepare(ITypeInfo* info, const ELEMDESC& parameter, const VARIANT& argument, LCID lcid,
                LaidOut& laid_out, std::size_t at) noexcept {
    const VARIANT* value = &argument;
    if (V_VT(value) == (VT_VARIANT | VT_BYREF)) value = V_VARIANTREF(value);
    // ITypeInfo::Invoke would follow a reference to nothing.
    if (value == nullptr || ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr)) return DISP_E_TYPEMISMATCH;
    const VARTYPE type = ArgumentType(info, parameter.tdesc);
    const bool out = (parameter.paramdesc.wParamFlags & PARAMFLAG_FOUT) != 0;
    if (type == VT_VARIANT) value = &argument;
    const bool fits = type == VT_VARIANT || (V_VT(value) & ~VT_BYREF) == type;
    if (fits && !(out && !(V_VT(value) & VT_BYREF))) {
        laid_out.Borrow(at, *value);
        return S_OK;
    }
    VARIANT& to = laid_out.Own(at);
    if (!fits) return ConvertArgument(argument, type, lcid, to);
    const HRESULT hr = VariantCopy(&to, const_cast<VARIANT*>(value));
    return hr == E_OUTOFMEMORY || SUCCEEDED(hr) ? hr : DISP_E_TYPEMISMATCH;
}

}  // namespace

HRESULT InvokeThroughTypeInfo(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                              LCID lcid, VARIANT* result, EXCEPINFO* excep, UINT* arg_error) noexcept {
    try {
        const FunctionOf function(info, id, flags);
        // No member of that identifier that can be called so: told as our own members tell it.
        if (function.get() == nullptr) return DISP_E_MEMBERNOTFOUND;
        const bool put = (function.get()->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) != 0;
        const UINT count = function.Parameters();
        if (put && count == 0) return DISP_E_MEMBERNOTFOUND;

        // The shape the matcher places the arguments on: a put's last parameter is its value.
        std::vector<Parameter> shape(put ? count - 1 : count);
        for (UINT p = 0; p < shape.size(); ++p) {
            const USHORT parameter_flags = function.Parameter(p).paramdesc.wParamFlags;
            shape[p].optional = (parameter_flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT)) != 0;
        }
        const ArgumentMatch match = MatchArguments({shape, put}, flags, params);
        const auto name = [arg_error](int index) {
            if (index >= 0 && arg_error != nullptr) *arg_error = static_cast<UINT>(index);
        };
        if (FAILED(match.hr)) {
            name(match.arg_error);
            return match.hr;
        }

        // Parameters up to the last one given (a put's value is), each in its place; one
        // left out before that gets its default value or the missing value.
        UINT given = 0;
        for (UINT p = 0; p < count; ++p) {
            if (!match.arguments[p].missing) given = p + 1;
        }
        LaidOut laid_out(given);
        for (UINT p = 0; p < given; ++p) {
            const std::size_t at = given - 1 - p;
            const PlacedArgument& placed = match.arguments[p];
            const ELEMDESC& parameter = function.Parameter(p);
            if (!placed.missing) {
                const HRESULT hr = Prepare(info, parameter, params->rgvarg[placed.index], lcid, laid_out, at);
                if (FAILED(hr)) {
                    name(placed.index);
                    return hr;
                }
            } else if ((parameter.paramdesc.wParamFlags & PARAMFLAG_FHASDEFAULT) &&
                       parameter.paramdesc.pparamdescex != nullptr) {
                laid_out.Borrow(at, parameter.paramdesc.pparamdescex->varDefaultValue);
            } else {
                VARIANT& missing = laid_out.Own(at);
                V_VT(&missing) = VT_ERROR;
                V_ERROR(&missing) = DISP_E_PARAMNOTFOUND;
            }
        }
        DISPID value_name = DISPID_PROPERTYPUT;
        DISPPARAMS laid_out_params{laid_out.data(), put ? &value_name : nullptr, laid_out.size(), put ? 1u : 0u};

        UINT at_fault = ~0u;
        // The kind of the function found, not the caller's flags: a property read that came
        // as a method call is refused by ITypeInfo::Invoke when asked as one.
        const WORD kind = static_cast<WORD>(function.get()->invkind);
        const HRESULT hr = info->Invoke(object, id, kind, &laid_out_params, result, excep, &at_fault);
        if (FAILED(hr) && at_fault < given) name(match.arguments[given - 1 - at_fault].index);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool SameName(const wchar_t* a, const wchar_t* b) noexcept {
    return a != nullptr && b != nullptr && CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace zorvane::win
