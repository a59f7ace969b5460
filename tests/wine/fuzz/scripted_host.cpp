#include "tests/wine/fuzz/scripted_host.h"

#include <oleauto.h>

#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/our_objects.h"

namespace zorvane::fuzz {

ScriptedHost::ScriptedHost(Random& random, ObjectPool& objects, std::function<void()> meddle)
    : random_(random), objects_(objects), meddle_(std::move(meddle)) {
    VariantInit(&byref_variant_);
}

ScriptedHost::~ScriptedHost() {
    if (byref_stream_ != nullptr) byref_stream_->Release();
}

IDispatch* ScriptedHost::NewHelper(int depth) {
    static const unsigned kFail[] = {0, 0, 5, 20, 60, 100};
    static const unsigned kOdd[] = {0, 10, 30, 70};
    static const unsigned kMeddle[] = {0, 5, 15, 40};
    HelperProfile profile{random_.Pick(kFail), random_.Pick(kOdd), random_.Pick(kMeddle)};
    test::HelperScript script;
    script.channel_get_value = [this, profile](LONG, VARIANT& result) { return Value(profile, result); };
    script.my_stream = [this, profile](IDispatch* stream, VARIANT& result) { return Stream(profile, stream, result); };
    script.during_call = [this, profile](const std::wstring&) {
        if (random_.Chance(profile.meddle)) meddle_();
    };
    script.arguments_by_value = random_.Chance(30);
    script.new_stream_each_read = random_.Chance(40);
    script.writes_through_references = random_.Chance(30);
    helpers_.push_back({std::make_unique<test::ScriptedHelper>(std::move(script)), profile});
    Journal::Note(depth, Format("a scripted helper #%zu: %u%% failing, %u%% odd answers, %u%% meddling", helpers_.size() - 1,
                                profile.fail, profile.odd, profile.meddle));
    return helpers_.back().helper->object();
}

std::string ScriptedHost::Holdings(const std::function<bool(IDispatch*, long)>& may_hold, int& held) const {
    std::string wrong;
    for (std::size_t i = 0; i < helpers_.size(); ++i) {
        IDispatch* object = helpers_[i].helper->object();
        if (helpers_[i].helper->depth() != 0) wrong += Format(" a call of scripted helper #%zu is still in progress;", i);
        const long surplus = static_cast<long>(RefCount(object)) - 1;
        if (surplus == 0) continue;
        if (may_hold(object, surplus)) {
            ++held;
            continue;
        }
        wrong += Format(" scripted helper #%zu holds %+ld;", i, surplus);
    }
    return wrong;
}

HRESULT ScriptedHost::Value(const HelperProfile& profile, VARIANT& result) {
    static const HRESULT kFailures[] = {E_FAIL, DISP_E_EXCEPTION, DISP_E_MEMBERNOTFOUND, DISP_E_TYPEMISMATCH,
                                        static_cast<HRESULT>(0x800A01A8), E_OUTOFMEMORY, RPC_E_DISCONNECTED};
    if (random_.Chance(profile.fail)) return random_.Pick(kFailures);
    if (!random_.Chance(profile.odd)) {
        V_VT(&result) = VT_I4;
        V_I4(&result) = static_cast<LONG>(random_.Below(256));
        return S_OK;
    }
    switch (random_.Below(16)) {
        case 0: V_VT(&result) = VT_BSTR; V_BSTR(&result) = SysAllocString(L"12"); break;
        case 1: V_VT(&result) = VT_BSTR; V_BSTR(&result) = SysAllocString(L"n/a"); break;
        case 2: break;  // VT_EMPTY
        case 3: V_VT(&result) = VT_NULL; break;
        case 4: V_VT(&result) = VT_DISPATCH; V_DISPATCH(&result) = nullptr; break;
        case 5: {
            HostObject& value = objects_.value(random_.Below(objects_.value_count()));
            value.AddRef();
            V_VT(&result) = VT_DISPATCH;
            V_DISPATCH(&result) = &value;
            break;
        }
        case 6: V_VT(&result) = VT_I4 | VT_BYREF; V_I4REF(&result) = &byref_long_; break;
        case 7: V_VT(&result) = VT_I4 | VT_BYREF; V_I4REF(&result) = nullptr; break;
        case 8:
            V_VT(&byref_variant_) = VT_I2;
            V_I2(&byref_variant_) = 300;
            V_VT(&result) = VT_VARIANT | VT_BYREF;
            V_VARIANTREF(&result) = &byref_variant_;
            break;
        case 9: V_VT(&result) = VT_VARIANT | VT_BYREF; V_VARIANTREF(&result) = nullptr; break;
        case 10:
            byref_object_ = &objects_.value(random_.Below(objects_.value_count()));
            V_VT(&result) = VT_DISPATCH | VT_BYREF;
            V_DISPATCHREF(&result) = &byref_object_;
            break;
        case 11: V_VT(&result) = VT_DISPATCH | VT_BYREF; V_DISPATCHREF(&result) = nullptr; break;
        case 12: V_VT(&result) = VT_R8; V_R8(&result) = random_.Chance(50) ? 1e300 : -0.5; break;
        case 13: V_VT(&result) = VT_DATE; V_DATE(&result) = 45000.25; break;
        case 14: {
            V_VT(&result) = VT_ARRAY | VT_I4;
            V_ARRAY(&result) = SafeArrayCreateVector(VT_I4, 0, 1);
            break;
        }
        default: V_VT(&result) = VT_ERROR; V_ERROR(&result) = DISP_E_PARAMNOTFOUND; break;
    }
    return S_OK;
}

HRESULT ScriptedHost::Stream(const HelperProfile& profile, IDispatch* stream, VARIANT& result) {
    static const HRESULT kFailures[] = {E_FAIL, DISP_E_EXCEPTION, DISP_E_MEMBERNOTFOUND, E_ACCESSDENIED};
    if (random_.Chance(profile.fail)) return random_.Pick(kFailures);
    if (!random_.Chance(profile.odd)) {
        stream->AddRef();
        V_VT(&result) = VT_DISPATCH;
        V_DISPATCH(&result) = stream;
        return S_OK;
    }
    switch (random_.Below(6)) {
        case 0: break;  // VT_EMPTY
        case 1: V_VT(&result) = VT_DISPATCH; V_DISPATCH(&result) = nullptr; break;
        case 2:
            stream->AddRef();
            V_VT(&result) = VT_UNKNOWN;
            V_UNKNOWN(&result) = stream;
            break;
        case 3: V_VT(&result) = VT_I4; V_I4(&result) = 5; break;
        case 4: V_VT(&result) = VT_DISPATCH | VT_BYREF; V_DISPATCHREF(&result) = nullptr; break;
        default:
            // A reference to the stream, which the host keeps alive meanwhile.
            stream->AddRef();
            if (byref_stream_ != nullptr) byref_stream_->Release();
            byref_stream_ = stream;
            V_VT(&result) = VT_DISPATCH | VT_BYREF;
            V_DISPATCHREF(&result) = &byref_stream_;
            break;
    }
    return S_OK;
}

}  // namespace zorvane::fuzz
