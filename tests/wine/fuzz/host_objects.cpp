#include "tests/wine/fuzz/host_objects.h"

#include <olectl.h>

#include <algorithm>

#include "tests/support/pump.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/random.h"

namespace zorvane::fuzz {
namespace {

constexpr DISPID kHwnd = 7;

const char* const kBehaviourNames[] = {
    "form", "qi-null-success", "qi-refuses", "qi-other", "names-unknown", "names-no-id",
    "invoke-fails", "invoke-raises", "odd-result", "byref-nowhere", "calls-back", "pumps",
};
static_assert(std::size(kBehaviourNames) == static_cast<std::size_t>(Behaviour::kCount));

const HRESULT kFailures[] = {E_FAIL, E_NOTIMPL, E_ACCESSDENIED, DISP_E_MEMBERNOTFOUND, DISP_E_TYPEMISMATCH,
                             static_cast<HRESULT>(0x800A01A8), RPC_E_DISCONNECTED};

}  // namespace

ULONG HostDispatch::Release() noexcept {
    if (references_ == 0) Journal::Fail(Name() + " released once more than it was referenced");
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT HostDispatch::GetTypeInfoCount(UINT* count) noexcept {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT HostDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept {
    if (info != nullptr) *info = nullptr;
    return DISP_E_BADINDEX;
}

const char* NameOf(Behaviour behaviour) noexcept { return kBehaviourNames[static_cast<int>(behaviour)]; }

std::string HostObject::Name() const { return Format("host#%d(%s)", number_, NameOf(behaviour_)); }

HRESULT HostObject::QueryInterface(REFIID iid, void** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) {
        AddRef();
        *out = static_cast<IUnknown*>(this);
        return S_OK;
    }
    if (iid != IID_IDispatch) return E_NOINTERFACE;
    switch (behaviour_) {
        case Behaviour::QiNullSuccess: return S_OK;
        case Behaviour::QiRefuses: return E_NOINTERFACE;
        case Behaviour::QiOther:
            if (other != nullptr) {
                other->AddRef();
                *out = static_cast<IDispatch*>(other);
                return S_OK;
            }
            break;
        default: break;
    }
    AddRef();
    *out = static_cast<IDispatch*>(this);
    return S_OK;
}

HRESULT HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
    if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
    // A reference of our own for the call: a call back may let go of us.
    AddRef();
    struct Unref {
        HostObject* self;
        ~Unref() { self->Release(); }
    } unref{this};
    if (behaviour_ == Behaviour::CallsBack && call_back) call_back();
    if (behaviour_ == Behaviour::Pumps) test::DispatchPending();
    if (behaviour_ == Behaviour::NamesNoId) return S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (behaviour_ == Behaviour::NamesUnknown) return DISP_E_UNKNOWNNAME;
    if (names[0] != nullptr && _wcsicmp(names[0], L"hWnd") == 0 && count == 1) {
        ids[0] = kHwnd;
        return S_OK;
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT HostObject::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excep, UINT*) noexcept {
    if (result != nullptr) VariantInit(result);
    if (params == nullptr) return E_INVALIDARG;
    // A reference of our own for the call: a call back may let go of us.
    AddRef();
    struct Unref {
        HostObject* self;
        ~Unref() { self->Release(); }
    } unref{this};
    switch (behaviour_) {
        case Behaviour::InvokeFails: return failure;
        case Behaviour::InvokeRaises:
            if (excep != nullptr) {
                *excep = EXCEPINFO{};
                excep->scode = failure;
                excep->bstrSource = SysAllocString(L"Pult");
                excep->bstrDescription = SysAllocString(L"Das Formular ist nicht bereit.");
            }
            return DISP_E_EXCEPTION;
        case Behaviour::CallsBack:
            if (call_back) call_back();
            break;
        case Behaviour::Pumps:
            test::DispatchPending();
            break;
        default: break;
    }
    if (id != kHwnd && id != DISPID_HWND) return DISP_E_MEMBERNOTFOUND;
    if (result == nullptr) return S_OK;
    switch (behaviour_) {
        case Behaviour::OddResult:
            switch (answers_++ % 5) {
                case 0:
                    V_VT(result) = VT_BSTR;
                    V_BSTR(result) = SysAllocString(L"kein Fenster");
                    break;
                case 1:
                    AddRef();
                    V_VT(result) = VT_DISPATCH;
                    V_DISPATCH(result) = this;
                    break;
                case 2:
                    V_VT(result) = VT_R8;
                    V_R8(result) = 1e20;
                    break;
                case 3:
                    V_VT(result) = VT_NULL;
                    break;
                default:
                    V_VT(result) = VT_ERROR;
                    V_ERROR(result) = DISP_E_PARAMNOTFOUND;
                    break;
            }
            return S_OK;
        case Behaviour::ByRefNowhere:
            V_VT(result) = (answers_++ % 2) == 0 ? (VT_I4 | VT_BYREF) : (VT_VARIANT | VT_BYREF);
            V_BYREF(result) = nullptr;
            return S_OK;
        default:
            V_VT(result) = VT_I4;
            V_I4(result) = window_answer;
            return S_OK;
    }
}

ObjectPool::~ObjectPool() {
    for (HostObject* object : objects_) object->Release();
    for (HostObject* object : values_) object->Release();
}

void ObjectPool::Populate(Random& random, int count, const std::vector<LONG>& windows,
                          std::function<void()> call_back) {
    // Three forms, then one object of each misbehaviour, then any.
    const int kinds = static_cast<int>(Behaviour::kCount);
    count = std::max(count, 2 + kinds);
    for (int i = 0; i < count; ++i) {
        const auto behaviour = i < 3           ? Behaviour::Form
                               : i < 2 + kinds ? static_cast<Behaviour>(i - 2)
                                               : static_cast<Behaviour>(random.Below(static_cast<std::size_t>(kinds)));
        auto* object = new HostObject(static_cast<int>(objects_.size()), behaviour);
        object->window_answer = windows.empty() ? 0 : windows[random.Below(windows.size())];
        object->failure = random.Pick(kFailures);
        object->call_back = call_back;
        objects_.push_back(object);
    }
    for (HostObject* object : objects_) {
        if (object->behaviour() == Behaviour::QiOther) object->other = objects_[random.Below(objects_.size())];
    }
}

void ObjectPool::PopulateValues(int count) {
    for (int i = 0; i < count; ++i) {
        values_.push_back(new HostObject(static_cast<int>(100 + i), Behaviour::NamesUnknown));
    }
}

void ObjectPool::Hold(const HostObject& object, int references) noexcept {
    const_cast<HostObject&>(object).held_ += references;
}

std::string ObjectPool::Surpluses(const std::function<bool(const HostObject&, long)>& allowed) const {
    std::string wrong;
    const auto check = [&](const HostObject* object) {
        const long surplus = static_cast<long>(object->references()) - object->held_by_fuzzer();
        if (!allowed(*object, surplus)) wrong += Format(" %s holds %+ld;", object->Name().c_str(), surplus);
    };
    for (const HostObject* object : objects_) check(object);
    for (const HostObject* object : values_) check(object);
    return wrong;
}

}  // namespace zorvane::fuzz
