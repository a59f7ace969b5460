// IDispatch calls other than Invoke: GetIDsOfNames of names right, wrong and odd,
// GetTypeInfoCount and GetTypeInfo; and the host showing the tool window as hosts do.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {

void Session::DispatchCall() {
    Held* held = PickHeld([](const Held& h) {
        return (h.kind == Kind::PlugIn || h.kind == Kind::Tool) && h.iid != IID_IUnknown && h.iid != IID_ISupportErrorInfo;
    });
    if (held == nullptr) {
        if (random_.Chance(50)) return ReadModuleInfo();
        return CreatePlugIn();
    }
    Face face = Face::Default;
    if (held->kind == Kind::Tool) {
        face = Face::Tool;
    } else if (held->iid == __uuidof(IVELTModule)) {
        face = Face::Module;
    } else if (held->iid == __uuidof(IVELTPlugin)) {
        face = Face::Plugin;
    }
    auto* target = static_cast<IDispatch*>(static_cast<void*>(held->pointer));
    const Kind kind = held->kind;
    // The call holds its own reference, as a host's call does.
    target->AddRef();
    const unsigned which = random_.Below(100);
    if (which < 14) {
        NamesCall(target, face);
    } else if (which < 18) {
        TypeInfoCall(target);
    } else {
        InvokeCall(target, face, kind);
    }
    target->Release();
}

void Session::NamesCall(IDispatch* target, Face face) {
    tally_.Count("GetIDsOfNames calls");
    const Surface& surface = SurfaceOf(face);
    std::vector<std::wstring> texts;
    std::vector<bool> null_name;
    const Member* member = nullptr;
    const unsigned first = random_.Below(100);
    std::wstring name;
    if (first < 60) {
        member = &surface.members[random_.Below(surface.members.size())];
        name = member->name;
        for (wchar_t& c : name) {
            if (random_.Chance(30)) c = static_cast<wchar_t>(iswupper(c) ? towlower(c) : towupper(c));
        }
    } else if (first < 75) {
        name = AnyMember(random_).name;
    } else if (first < 82) {
        static const wchar_t* const kParameterNames[] = {L"Modal", L"OwnerForm", L"Left", L"Position", L"Msg"};
        name = random_.Pick(kParameterNames);
    } else {
        static const wchar_t* const kJunk[] = {L"", L"Unload", L"Show ", L"h\u00E4nde", L"\xD800", L"PluginName2"};
        name = random_.Chance(20) ? std::wstring(300, L'N') : std::wstring(random_.Pick(kJunk));
    }
    texts.push_back(name);
    null_name.push_back(random_.Chance(3));
    const UINT extra = random_.Chance(75) ? 0 : random_.Below(4);
    for (UINT i = 0; i < extra; ++i) {
        if (member != nullptr && member->ParameterCount() > 0 && random_.Chance(70)) {
            texts.emplace_back(member->parameters[random_.Below(member->ParameterCount())]);
        } else {
            texts.emplace_back(random_.Chance(50) ? L"Nirgends" : L"modal");
        }
        null_name.push_back(random_.Chance(3));
    }
    if (null_name[0]) member = nullptr;
    std::vector<LPOLESTR> names;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        names.push_back(null_name[i] ? nullptr : const_cast<LPOLESTR>(texts[i].c_str()));
    }
    const UINT count = random_.Chance(4) ? 0 : static_cast<UINT>(names.size());
    const bool null_names = random_.Chance(3);
    const bool null_ids = random_.Chance(3);
    const bool odd_iid = random_.Chance(4);
    std::vector<DISPID> ids(names.size() + 2, static_cast<DISPID>(0x5A5A5A5A));
    std::string line = Format("%s IDispatch::GetIDsOfNames(", surface.name);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) line += ", ";
        line += null_name[i] ? std::string("null") : Format("\"%s\"", Printable(texts[i]).c_str());
    }
    line += Format(") count %u%s%s%s", count, null_names ? ", names null" : "", null_ids ? ", ids null" : "",
                   odd_iid ? ", riid not IID_NULL" : "");
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    {
        Scope scope(*this, FrameKind::Call, line);
        ticket = scope.ticket();
        SetStale();
        hr = target->GetIDsOfNames(odd_iid ? IID_IDispatch : IID_NULL, null_names ? nullptr : names.data(), count,
                                   LOCALE_USER_DEFAULT, null_ids ? nullptr : ids.data());
    }
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    SetErrorInfo(0, nullptr);
    if (null_names || null_ids) {
        if (hr != E_POINTER && hr != E_INVALIDARG) {
            Journal::Fail("GetIDsOfNames without its arrays did not give E_POINTER or E_INVALIDARG");
        }
        return;
    }
    if (count == 0) {
        if (hr != E_INVALIDARG && hr != S_OK) Journal::Fail("GetIDsOfNames of no names answered " + Hex(hr));
        return;
    }
    // riid is reserved; a server may refuse what is not IID_NULL, or look past it.
    if (odd_iid && (hr == DISP_E_UNKNOWNINTERFACE || hr == E_INVALIDARG)) return;
    const Member* found = null_name[0] ? nullptr : FindMemberNamed(surface, texts[0].c_str());
    if (found == nullptr) {
        if (hr != DISP_E_UNKNOWNNAME) Journal::Fail("an unknown name did not give DISP_E_UNKNOWNNAME");
        if (ids[0] != DISPID_UNKNOWN) Journal::Fail("an unknown name did not get DISPID_UNKNOWN");
        return;
    }
    if (ids[0] != found->id) {
        Journal::Fail(Format("the name %s got identifier 0x%lX, not 0x%lX", Printable(found->name).c_str(),
                             static_cast<unsigned long>(ids[0]), static_cast<unsigned long>(found->id)));
    }
    bool all_known = true;
    for (UINT i = 1; i < count; ++i) {
        DISPID expected = DISPID_UNKNOWN;
        for (std::size_t p = 0; p < found->ParameterCount() && !null_name[i]; ++p) {
            if (_wcsicmp(found->parameters[p], texts[i].c_str()) == 0) expected = static_cast<DISPID>(p);
        }
        if (expected == DISPID_UNKNOWN) all_known = false;
        if (ids[i] != expected) {
            Journal::Fail(Format("parameter name %u got identifier 0x%lX, not 0x%lX", i, static_cast<unsigned long>(ids[i]),
                                 static_cast<unsigned long>(expected)));
        }
    }
    const HRESULT expected = all_known ? S_OK : DISP_E_UNKNOWNNAME;
    if (hr != expected) Journal::Fail("GetIDsOfNames answered " + Hex(hr) + ", not " + Hex(expected));
}

void Session::TypeInfoCall(IDispatch* target) {
    tally_.Count("type information calls");
    if (random_.Chance(40)) {
        const bool null_out = random_.Chance(20);
        UINT count = 77;
        const std::uint64_t ticket = Journal::Call(depth(), null_out ? "GetTypeInfoCount(null)" : "GetTypeInfoCount(&n)");
        const HRESULT hr = target->GetTypeInfoCount(null_out ? nullptr : &count);
        tally_.Record(hr);
        Journal::Result(ticket, Hex(hr));
        if (null_out ? (hr != E_POINTER && hr != E_INVALIDARG) : (hr != S_OK || count != 1)) {
            Journal::Fail("GetTypeInfoCount answered " + Hex(hr));
        }
        return;
    }
    const UINT index = random_.Chance(70) ? 0 : random_.Chance(50) ? 1 : random_.Bits();
    const bool null_out = random_.Chance(15);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(static_cast<std::uintptr_t>(0xDEADBEEF));
    const std::uint64_t ticket = Journal::Call(depth(), Format("GetTypeInfo(%u%s)", index, null_out ? ", null" : ""));
    const HRESULT hr = target->GetTypeInfo(index, LOCALE_USER_DEFAULT, null_out ? nullptr : &info);
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (null_out) {
        if (hr != E_POINTER && hr != E_INVALIDARG && hr != DISP_E_BADINDEX) Journal::Fail("GetTypeInfo(null) answered " + Hex(hr));
        return;
    }
    if (index != 0) {
        if (hr != DISP_E_BADINDEX) Journal::Fail("GetTypeInfo of a bad index answered " + Hex(hr));
        if (info != nullptr) Journal::Fail("a refused GetTypeInfo left its out-pointer set");
        return;
    }
    if (hr != S_OK || info == nullptr) Journal::Fail("GetTypeInfo(0) answered " + Hex(hr));
    info->Release();
}

void Session::ShowTool() {
    // The host shows its tool window as hosts do: plainly, owned by its frame, or modally.
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::Tool && h.iid == IID_IDispatch; });
    if (held == nullptr) return ReadModuleInfo();
    tally_.Count("the host shows the tool window");
    auto* tool = static_cast<IDispatch*>(static_cast<void*>(held->pointer));
    tool->AddRef();
    const Member& show = *FindMemberNamed(SurfaceOf(Face::Tool), L"Show");
    ArgPack pack(Sources());
    const unsigned way = random_.Below(10);
    VARIANT modal;
    V_VT(&modal) = VT_I4;
    V_I4(&modal) = way == 9 ? 1 : 0;
    VARIANT owner;
    V_VT(&owner) = VT_I4;
    V_I4(&owner) = static_cast<LONG>(reinterpret_cast<LONG_PTR>(host_frame_));
    if (way >= 6) {
        pack.AddValue(modal, Format("I4 %ld", V_I4(&modal)));
        if (random_.Chance(50)) {
            pack.AddValue(owner, "the host's frame");
        } else {
            pack.AddWanted(Want::Object);  // the host's own form object, as it is
        }
    }
    pack.Seal();
    const std::string line = Format("frmZorvane Invoke(Show) %s", pack.Describe().c_str());
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    {
        Scope scope(*this, FrameKind::Call, line, show.effects);
        ticket = scope.ticket();
        ArmModalBreaker(scope.frame().serial);
        hr = tool->Invoke(show.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, pack.params(), nullptr, nullptr, nullptr);
        EndModalBreaker(scope.frame().serial);
    }
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    // Shown already, a modal Show is refused as a form refuses it; an owner that is no form
    // is a mismatch of that argument, one that is nothing needs an object.
    // (an object naming a window that is not there is an invalid call).
    const bool refused_owner = (hr == DISP_E_TYPEMISMATCH || hr == static_cast<HRESULT>(0x800A01A8) ||
                                hr == static_cast<HRESULT>(0x800A0005)) &&
                               pack.count() == 2;
    if (hr != S_OK && !refused_owner && !(way == 9 && hr == static_cast<HRESULT>(0x800A0190))) {
        Journal::Fail(line + " answered " + Hex(hr));
    }
    if (pack.Changes() != "") Journal::Fail(line + ": the arguments were changed");
    SetErrorInfo(0, nullptr);
    tool->Release();
}
}  // namespace zorvane::fuzz
