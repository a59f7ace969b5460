// IDispatch::Invoke as a host calls it: a member of the face or any identifier, flags as
// the member wants them or anything, arguments meant well or anything (objects that
// count how often their value is read; a required one passed as the missing value by
// reference), DISPPARAMS well formed or not, any locale; then the rules checked.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/wine/fuzz/counting_objects.h"
#include "tests/wine/fuzz/invoke_rules.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {
namespace {

struct Aim {
    const Member* member = nullptr;
    DISPID id = 0;
    WORD flags = 0;
    unsigned kind_wanted = 0;  // 0 when the flags are anything
};

Aim PickAim(Random& random, const Surface& surface) {
    Aim aim;
    const unsigned which = random.Below(100);
    if (which < 78) {
        aim.member = &surface.members[random.Below(surface.members.size())];
        aim.id = aim.member->id;
    } else if (which < 88) {
        aim.id = AnyMember(random).id;
        aim.member = FindMember(surface, aim.id);
    } else {
        static const DISPID kOdd[] = {DISPID_VALUE, DISPID_UNKNOWN, DISPID_NEWENUM, DISPID_EVALUATE,
                                      0x7FFFFFFF, 12345, -1000, DISPID_PROPERTYPUT};
        aim.id = random.Pick(kOdd);
        aim.member = FindMember(surface, aim.id);
    }
    if (aim.member != nullptr && random.Chance(70)) {
        std::vector<unsigned> kinds;
        for (unsigned k : {kMethod, kGet, kPut}) {
            if (aim.member->kinds & k) kinds.push_back(k);
        }
        aim.kind_wanted = kinds[random.Below(kinds.size())];
        aim.flags = aim.kind_wanted == kMethod ? DISPATCH_METHOD
                    : aim.kind_wanted == kGet
                        ? (random.Chance(50) ? DISPATCH_PROPERTYGET : DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                        : (random.Chance(90) ? DISPATCH_PROPERTYPUT : DISPATCH_PROPERTYPUTREF);
    } else {
        static const WORD kFlags[] = {0, 1, 2, 3, 4, 8, 12, 5, 6, 15, 0x10, 0xFFFF};
        aim.flags = random.Chance(90) ? random.Pick(kFlags) : static_cast<WORD>(random.Bits());
    }
    return aim;
}

// A value for a parameter that wants one: now and then an object whose value it is.
void AddValueFor(Random& random, ArgPack& pack, Want want, CountingObjects& counting) {
    const bool countable = want == Want::Long || want == Want::Text || want == Want::Bool;
    if (!countable || !random.Chance(12)) return pack.AddWanted(want);
    CountingObject& object = counting.Make(random);
    VARIANT value;
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = &object;
    pack.AddValue(value, "DISPATCH " + object.Name());
}

// Arguments a host means well with, now and then named; the argument (in the caller's
// order) of a required parameter passed as the missing value by reference, or -1.
int AddWellMeant(Random& random, ArgPack& pack, const Member& member, unsigned kind_wanted, CountingObjects& counting) {
    const bool missing_by_reference = random.Chance(10);
    if (kind_wanted == kPut) {
        if (missing_by_reference) {
            pack.AddMissingByReference();
        } else {
            AddValueFor(random, pack, member.put, counting);
        }
        if (random.Chance(85)) pack.Name(0, DISPID_PROPERTYPUT);
        return missing_by_reference ? 0 : -1;
    }
    const std::size_t parameters = member.ParameterCount();
    const std::size_t count =
        member.required + (parameters > member.required ? random.Below(parameters - member.required + 1) : 0);
    const int missing = missing_by_reference && member.required > 0 ? static_cast<int>(random.Below(member.required)) : -1;
    for (std::size_t i = 0; i < count; ++i) {
        if (static_cast<int>(i) == missing) {
            pack.AddMissingByReference();
        } else if (i >= member.required && random.Chance(15)) {
            pack.AddMissing();
        } else {
            AddValueFor(random, pack, member.wants[i], counting);
        }
    }
    if (count > 0 && random.Chance(15)) {
        for (std::size_t i = 0; i < count; ++i) pack.Name(i, static_cast<DISPID>(i));
    }
    return missing;
}

void AddAnything(Random& random, ArgPack& pack) {
    const std::size_t count = random.Below(5);
    for (std::size_t i = 0; i < count; ++i) pack.AddAny();
    if (count > 0 && random.Chance(15)) {
        static const DISPID kNames[] = {0, 1, 2, 3, DISPID_PROPERTYPUT, 7, -5};
        const std::size_t named = 1 + random.Below(count);
        for (std::size_t i = 0; i < named; ++i) pack.Name(i, random.Pick(kNames));
    }
}

ParamsShape PickShape(Random& random) {
    const unsigned shape = random.Below(100);
    if (shape < 3) return ParamsShape::Null;
    if (shape < 5) return ParamsShape::NullArguments;
    if (shape < 6) return ParamsShape::NullNames;
    if (shape < 7) return ParamsShape::MoreNamesThanArguments;
    return ParamsShape::Normal;
}

const wchar_t* TextOf(const VARIANT& result) { return V_BSTR(&result) != nullptr ? V_BSTR(&result) : L""; }

}  // namespace

void Session::InvokeCall(IDispatch* target, Face face, Kind kind) {
    tally_.Count("Invoke calls");
    const Surface& surface = SurfaceOf(face);
    const Aim aim = PickAim(random_, surface);
    const Member* member = aim.member;
    CountingObjects counting;
    ArgPack pack(Sources());
    int missing = -1;
    if (aim.kind_wanted != 0 && random_.Chance(75)) {
        missing = AddWellMeant(random_, pack, *member, aim.kind_wanted, counting);
    } else {
        AddAnything(random_, pack);
    }
    pack.SetShape(PickShape(random_));
    pack.Seal();
    const bool stores_helper = member != nullptr && (member->effects & kStoresHelper);
    if (stores_helper) {
        for (HostObject* object : pack.host_objects()) {
            object->offered_to_init = true;
            if (object->other != nullptr) object->other->offered_to_init = true;
        }
        for (IDispatch* ours : sources_->ours) lifetime_->OfferedToInit(IdentityOf(ours));
        lifetime_->HelperUnknown();
    }

    InvokeCase call;
    call.member = member;
    call.kind_called = member != nullptr ? KindCalled(*member, aim.flags) : 0;
    call.flags = aim.flags;
    call.odd_iid = random_.Chance(3);
    call.shape = pack.shape();
    call.params = pack.params();
    static const LCID kLocales[] = {LOCALE_USER_DEFAULT, LOCALE_USER_DEFAULT, LOCALE_USER_DEFAULT, 0, 0x0407, 0x0409};
    const LCID lcid = random_.Pick(kLocales);
    call.result_given = !random_.Chance(20);
    call.excep_given = !random_.Chance(25);
    call.arg_error_given = !random_.Chance(25);
    if (missing >= 0 && call.shape == ParamsShape::Normal && !call.odd_iid) {
        call.missing_by_reference = static_cast<int>(pack.IndexOf(static_cast<std::size_t>(missing)));
    }
    VARIANT result;
    std::memset(&result, 0xCC, sizeof result);  // junk: the callee must set it
    EXCEPINFO excep{};
    InvokeAnswer answer;
    answer.result = &result;
    answer.excep = &excep;

    const unsigned effects = member != nullptr ? member->effects : 0;
    const std::string line = Format(
        "%s Invoke(%s 0x%lX, flags 0x%X, lcid 0x%lX) %s%s%s%s%s", surface.name,
        member != nullptr ? Printable(member->name).c_str() : "id", static_cast<unsigned long>(aim.id), aim.flags,
        static_cast<unsigned long>(lcid), pack.Describe().c_str(), call.result_given ? "" : " result null",
        call.excep_given ? "" : " excep null", call.arg_error_given ? "" : " argerr null",
        call.odd_iid ? " riid not IID_NULL" : "");
    std::uint64_t ticket = 0;
    int input_boxes = 0;
    {
        Scope scope(*this, FrameKind::Call, line, effects);
        ticket = scope.ticket();
        if (face == Face::Tool && (effects & kMayBeModal)) ArmModalBreaker(scope.frame().serial);
        SetStale();
        answer.hr = target->Invoke(aim.id, call.odd_iid ? IID_IDispatch : IID_NULL, lcid, aim.flags, pack.params(),
                                   call.result_given ? &result : nullptr, call.excep_given ? &excep : nullptr,
                                   call.arg_error_given ? &answer.arg_error : nullptr);
        input_boxes = scope.frame().input_boxes;
        EndModalBreaker(scope.frame().serial);
    }
    const HRESULT hr = answer.hr;
    tally_.Record(hr);
    std::string outcome = Hex(hr);
    if (call.result_given && SUCCEEDED(hr)) outcome += Format(" vt 0x%X", V_VT(&result));
    if (hr == DISP_E_EXCEPTION && call.excep_given) outcome += " scode " + Hex(excep.scode);
    if (call.arg_error_given && answer.arg_error != kArgErrorUnset) outcome += Format(" argerr %u", answer.arg_error);
    Journal::Result(ticket, outcome);
    if (missing >= 0) tally_.Count("required arguments missing by reference");
    if (!counting.empty()) tally_.Count("calls with objects that count their reads");

    const auto fail = [&](const std::string& why) { Journal::Fail(line + ": " + why + " (answered " + Hex(hr) + ")"); };
    if (hr == DISP_E_EXCEPTION && call.excep_given && excep.pfnDeferredFillIn != nullptr) {
        const auto fill = excep.pfnDeferredFillIn;
        excep.pfnDeferredFillIn = nullptr;
        fill(&excep);
    }
    if (const std::string broken = BrokenInvokeRule(call, answer); !broken.empty()) fail(broken);
    if (const std::string counted = counting.Problems(lcid); !counted.empty()) fail("objects passed as values:" + counted);
    if (kind == Kind::Tool) ExpectErrorInfo(hr, target, IID_IDispatch, line);
    SetErrorInfo(0, nullptr);
    if (const std::string changes = pack.Changes(); !changes.empty()) fail("the arguments were changed:" + changes);
    if (SUCCEEDED(hr) && (effects & kOpensInputBox) && input_boxes == 0) fail("no input box was shown");

    // What the call gave.
    if (SUCCEEDED(hr) && call.result_given && member != nullptr && V_VT(&result) == member->gives) {
        if (member->gives == VT_BSTR && face != Face::Tool && wcscmp(TextOf(result), L"Zorvane") != 0) {
            fail("PluginName is not \"Zorvane\"");
        }
        if (member->gives == VT_BOOL && face == Face::Plugin) {
            const bool expected = wcscmp(member->name, L"Disable") != 0;
            if ((V_BOOL(&result) != VARIANT_FALSE) != expected) fail("the answer is not the member's fixed answer");
        }
        if (member->gives == VT_DISPATCH && V_DISPATCH(&result) != nullptr && (effects & kGivesModuleInfo)) {
            IVELTModuleInfo* info = nullptr;
            V_DISPATCH(&result)->QueryInterface(__uuidof(IVELTModuleInfo), reinterpret_cast<void**>(&info));
            if (info != nullptr) TakeModuleInfo(info);
        }
        if (wcscmp(member->name, L"Name") == 0 && wcscmp(TextOf(result), L"frmZorvane") != 0) {
            fail("Name is not \"frmZorvane\"");
        }
    }
    // A ModuleInfo read through Invoke consumes an armed fault as the vtable's does.
    if ((effects & kGivesModuleInfo) && lifetime_->FaultArmed() &&
        (hr == S_OK || hr == DISP_E_EXCEPTION || (!call.excep_given && hr == lifetime_->fault()))) {
        if (hr == S_OK) fail("ModuleInfo succeeded though the host refuses it");
        lifetime_->TakeFault();
        module_info_class_->factory().FailCallOfNewObjects(0, S_OK);
    }
    if (call.result_given && (SUCCEEDED(hr) || V_VT(&result) == VT_EMPTY)) VariantClear(&result);
    if (call.excep_given) FreeExcepInfo(excep);
}

}  // namespace zorvane::fuzz
