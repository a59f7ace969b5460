#include "tests/wine/fuzz/counting_objects.h"

#include <oleauto.h>

#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/random.h"

namespace zorvane::fuzz {

std::string CountingObject::Name() const {
    switch (value_) {
        case Value::Number: return Format("counting object = %ld", number_);
        case Value::NumberText: return Format("counting object = \"%ld\"", number_);
        case Value::Words: return "counting object = \"kein Wert\"";
        case Value::Huge: return "counting object = 1e300";
        case Value::Fails: return "counting object failing";
    }
    return "counting object";
}

HRESULT CountingObject::QueryInterface(REFIID iid, void** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IDispatch*>(this);
    return S_OK;
}

HRESULT CountingObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) noexcept {
    if (ids == nullptr) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT CountingObject::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                               UINT*) noexcept {
    if (result != nullptr) VariantInit(result);
    if (id != DISPID_VALUE || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    locales_.push_back(lcid);
    if (value_ == Value::Fails) return E_FAIL;
    if (result == nullptr) return S_OK;
    switch (value_) {
        case Value::Number:
            V_VT(result) = VT_I4;
            V_I4(result) = number_;
            break;
        case Value::NumberText:
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(std::to_wstring(number_).c_str());
            break;
        case Value::Words:
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(L"kein Wert");
            break;
        default:
            V_VT(result) = VT_R8;
            V_R8(result) = 1e300;
            break;
    }
    return S_OK;
}

CountingObject& CountingObjects::Make(Random& random) {
    static const CountingObject::Value kValues[] = {CountingObject::Value::Number, CountingObject::Value::Number,
                                                   CountingObject::Value::NumberText, CountingObject::Value::Words,
                                                   CountingObject::Value::Huge, CountingObject::Value::Fails};
    static const LONG kNumbers[] = {0, 1, 5, 255, 300, -1};
    objects_.emplace_back(new CountingObject(random.Pick(kValues), random.Pick(kNumbers)));
    return *objects_.back();
}

std::string CountingObjects::Problems(LCID lcid) const {
    std::string problems;
    for (const auto& object : objects_) {
        if (object->calls() > 1) problems += Format(" %s: its value was read %u times;", object->Name().c_str(), object->calls());
        for (LCID seen : object->locales()) {
            if (seen != lcid) {
                problems += Format(" %s: its value was read in locale 0x%lX, the caller's is 0x%lX;",
                                   object->Name().c_str(), static_cast<unsigned long>(seen),
                                   static_cast<unsigned long>(lcid));
                break;
            }
        }
        if (object->references() != 1) {
            problems += Format(" %s: %+ld references left with the callee;", object->Name().c_str(),
                               static_cast<long>(object->references()) - 1);
        }
    }
    return problems;
}

}  // namespace zorvane::fuzz
