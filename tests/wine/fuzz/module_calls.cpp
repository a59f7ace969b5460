// Calls on the plug-in that reach the host: the module information (with the host's
// faults armed), Init with every kind of helper, and the module's lifetime as the host
// sees it (DllCanUnloadNow, letting go of everything).
#include <objbase.h>

#include <cstdint>
#include <optional>

#include "plugin/plugin_identity.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {

void Session::ExpectModuleInfo(HRESULT hr, IVELTModuleInfo* info, bool out_given, std::uint64_t ticket) {
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (!out_given) {
        if (hr != E_POINTER) Journal::Fail("ModuleInfo without an out-pointer did not give E_POINTER");
        return;
    }
    const std::optional<HRESULT> fault = lifetime_->TakeFault();
    module_info_class_->factory().FailCallOfNewObjects(0, S_OK);
    const HRESULT expected = fault.value_or(S_OK);
    if (hr != expected) Journal::Fail("ModuleInfo answered " + Hex(hr) + ", not " + Hex(expected));
    if (FAILED(hr) && info != nullptr) Journal::Fail("a failed ModuleInfo handed out an object");
    if (SUCCEEDED(hr) && info == nullptr) Journal::Fail("ModuleInfo succeeded without an object");
}

void Session::TakeModuleInfo(IVELTModuleInfo* info) {
    Hold(info, __uuidof(IVELTModuleInfo), "IVELTModuleInfo", Kind::ModuleInfo);
    if (!random_.Chance(70)) return;
    IDispatch* tool = nullptr;
    if (FAILED(info->get_ToolWindow(&tool)) || tool == nullptr) {
        Journal::Fail("the module information carries no tool window");
    }
    Hold(tool, IID_IDispatch, "IDispatch", Kind::Tool);
}

void Session::ReadModuleInfo() {
    IVELTPlugin* plugin = AnyPlugin();
    IVELTModule* module = nullptr;
    plugin->QueryInterface(__uuidof(IVELTModule), reinterpret_cast<void**>(&module));
    plugin->Release();
    tally_.Count("ModuleInfo reads");
    const bool out_given = !random_.Chance(5);
    auto* info = reinterpret_cast<IVELTModuleInfo*>(static_cast<std::uintptr_t>(0xDEADBEEF));
    HRESULT hr = S_OK;
    std::uint64_t ticket = 0;
    {
        Scope scope(*this, FrameKind::Call, out_given ? "IVELTModule::get_ModuleInfo(&info)" : "IVELTModule::get_ModuleInfo(null)");
        ticket = scope.ticket();
        SetStale();
        hr = module->get_ModuleInfo(out_given ? &info : nullptr);
    }
    ExpectModuleInfo(hr, out_given ? info : nullptr, out_given, ticket);
    ExpectErrorInfo(hr, module, __uuidof(IVELTModule), "ModuleInfo");
    module->Release();
    if (out_given && SUCCEEDED(hr)) TakeModuleInfo(info);
}

void Session::InitCall() {
    IVELTPlugin* plugin = AnyPlugin();
    tally_.Count("Init calls");
    IDispatch* helper = nullptr;
    std::string name;
    const unsigned way = random_.Below(100);
    bool pointer_to_nothing = false;
    if (way < 40 || (way < 55 && helpers_->size() == 0)) {
        helper = helpers_->NewHelper(depth());
        name = Format("scripted helper #%zu", helpers_->size() - 1);
    } else if (way < 55) {
        const std::size_t which = random_.Below(helpers_->size());
        helper = helpers_->helper(which);
        name = Format("scripted helper #%zu", which);
    } else if (way < 75) {
        HostObject& object = objects_.at(random_.Below(objects_.size()));
        object.offered_to_init = true;
        helper = &object;
        name = object.Name();
    } else if (way < 85) {
        name = "null";
    } else if (way < 92) {
        pointer_to_nothing = true;
        name = "a null pointer to the helper";
    } else {
        Held* ours = PickHeld([](const Held& h) { return h.iid == IID_IDispatch && h.kind != Kind::ModuleInfo; });
        if (ours != nullptr) {
            helper = static_cast<IDispatch*>(static_cast<void*>(ours->pointer));
            lifetime_->OfferedToInit(ours->identity);
            name = std::string("our own ") + KindName(ours->kind);
        } else {
            name = "null";
        }
    }
    const bool null_result = random_.Chance(5);
    static const wchar_t* const kTitles[] = {L"Orbanel", L"", nullptr, L"\xD800"};
    BSTR title = random_.Pick(kTitles) != nullptr ? SysAllocString(random_.Pick(kTitles)) : nullptr;
    BSTR file = SysAllocString(L"Zorvane.dll");
    IDispatch* slot = helper;
    if (slot != nullptr) slot->AddRef();
    VARIANT_BOOL answer = 0x5A5A;
    HRESULT hr = S_OK;
    const std::string line = Format("IVELTPlugin::Init(title, file, %s%s)", name.c_str(), null_result ? ", null result" : "");
    std::uint64_t ticket = 0;
    IUnknown* stored = helper != nullptr ? IdentityOf(helper) : nullptr;
    {
        Scope scope(*this, FrameKind::Call, line);
        ticket = scope.ticket();
        SetStale();
        hr = plugin->Init(title, file, pointer_to_nothing ? nullptr : reinterpret_cast<IVELTPluginHelper**>(&slot),
                          null_result ? nullptr : &answer);
    }
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    if (slot != helper) Journal::Fail("Init wrote through its helper argument");
    if (slot != nullptr) slot->Release();
    SysFreeString(title);
    SysFreeString(file);
    if (hr != (null_result ? E_POINTER : S_OK)) Journal::Fail(line + " answered " + Hex(hr));
    ExpectErrorInfo(hr, plugin, __uuidof(IVELTPlugin), line);
    if (!null_result) {
        if (answer != VARIANT_TRUE) Journal::Fail("Init is not true");
        lifetime_->HelperStored(pointer_to_nothing ? nullptr : stored);
    }
    plugin->Release();
}

void Session::CanUnloadNowCall() {
    tally_.Count("DllCanUnloadNow calls");
    const bool in_use = lifetime_->InUse(depth(), !held_.empty());
    const std::uint64_t ticket = Journal::Call(depth(), "DllCanUnloadNow()");
    const HRESULT hr = can_unload_now_();
    tally_.Record(hr);
    Journal::Result(ticket, Hex(hr));
    lifetime_->CheckCanUnloadNow(hr, in_use);
    if (hr == S_OK) Unloaded();
}

void Session::LetGo() {
    // The host closes the windows, lets go of everything and asks whether the module may go.
    tally_.Count("host lets go of everything");
    if (HWND about = AboutWindow()) {
        Scope scope(*this, FrameKind::User, "user closes the about window", 0, kOtherUser);
        SendMessageW(about, WM_CLOSE, 0, 0);
    }
    if (HWND editor = EditorWindow()) {
        Scope scope(*this, FrameKind::User, "user closes the rule editor", 0, kOtherUser);
        SendMessageW(editor, WM_CLOSE, 0, 0);
    }
    ReleaseEverything();
    if (lifetime_->locks() > 0 && random_.Chance(70)) {
        IClassFactory* factory = nullptr;
        get_class_object_(kPlugInClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
        Journal::Note(depth(), "the host unlocks the class object");
        for (long i = 0; i < lifetime_->locks(); ++i) factory->LockServer(FALSE);
        lifetime_->Unlocked();
        factory->Release();
    }
    CanUnloadNowCall();
}

void Session::ArmModuleInfoFault() {
    const unsigned call = random_.Below(17);
    const HRESULT code = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0300 + call);
    Journal::Note(depth(), call == 0 ? "the host's module-information class will refuse its next creation"
                                     : Format("the host's next module information will refuse call %u", call));
    // One fault armed at a time.
    module_info_class_->factory().FailNextCreate(S_OK);
    module_info_class_->factory().FailCallOfNewObjects(0, S_OK);
    if (call == 0) {
        module_info_class_->factory().FailNextCreate(code, random_.Chance(50));
    } else {
        module_info_class_->factory().FailCallOfNewObjects(call, code, random_.Chance(70));
    }
    lifetime_->ArmFault(code);
}
}  // namespace zorvane::fuzz
