// Calls through the vtables of our interfaces, as an early-bound host makes them: the
// fixed answers, null out-pointers, the input box of Configure, error information.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <functional>
#include <string>

#include "plugin/plugin_identity.h"
#include "tests/wine/fuzz/journal.h"
#include "tests/wine/fuzz/session_state.h"

namespace zorvane::fuzz {

void Session::VtableCall() {
    Held* held = PickHeld([](const Held& h) { return h.kind == Kind::PlugIn || h.kind == Kind::Tool; });
    if (held == nullptr) return CreatePlugIn();
    tally_.Count("vtable calls");
    IUnknown* object = held->pointer;
    object->AddRef();
    const bool null_out = random_.Chance(10);
    const auto call = [&](const std::string& line, unsigned effects, REFIID iid, const std::function<HRESULT()>& body,
                          HRESULT expected) {
        HRESULT hr = S_OK;
        std::uint64_t ticket = 0;
        int boxes = 0;
        {
            Scope scope(*this, FrameKind::Call, line, effects);
            ticket = scope.ticket();
            SetStale();
            hr = body();
            boxes = scope.frame().input_boxes;
        }
        tally_.Record(hr);
        Journal::Result(ticket, Hex(hr));
        if (hr != expected) Journal::Fail(line + " answered " + Hex(hr) + ", not " + Hex(expected));
        ExpectErrorInfo(hr, object, iid, line);
        if (SUCCEEDED(hr) && (effects & kOpensInputBox) && boxes == 0) Journal::Fail(line + " showed no input box");
        if (FAILED(hr) && (effects & kOpensInputBox) && boxes != 0) Journal::Fail(line + " showed a box and failed");
        return hr;
    };
    if (held->kind == Kind::Tool) {
        IVELTTool* tool = nullptr;
        object->QueryInterface(__uuidof(IVELTTool), reinterpret_cast<void**>(&tool));
        switch (random_.Below(6)) {
            case 0: call("IVELTTool::ClearProjectData()", 0, __uuidof(IVELTTool), [&] { return tool->ClearProjectData(); }, S_OK); break;
            case 1: call("IVELTTool::LoadProjectData()", 0, __uuidof(IVELTTool), [&] { return tool->LoadProjectData(); }, S_OK); break;
            case 2: call("IVELTTool::SaveProjectData()", 0, __uuidof(IVELTTool), [&] { return tool->SaveProjectData(); }, S_OK); break;
            case 3: {
                VARIANT_BOOL answer = 0x5A5A;
                call(null_out ? "IVELTTool::AskToSaveProjectData(null)" : "IVELTTool::AskToSaveProjectData(&b)", 0,
                     __uuidof(IVELTTool), [&] { return tool->AskToSaveProjectData(null_out ? nullptr : &answer); },
                     null_out ? E_POINTER : S_OK);
                if (!null_out && answer != VARIANT_FALSE) Journal::Fail("AskToSaveProjectData is not false");
                break;
            }
            case 4: {
                const LONG mode = static_cast<LONG>(random_.Bits());
                call(Format("IVELTTool::put_ViewMode(%ld)", mode), 0, __uuidof(IVELTTool), [&] { return tool->put_ViewMode(mode); }, S_OK);
                break;
            }
            default: {
                ISupportErrorInfo* supports = nullptr;
                object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports));
                const NamedIid& iid = random_.Pick(Iids());
                const std::uint64_t ticket = Journal::Call(depth(), std::string("rule editor InterfaceSupportsErrorInfo(") + iid.name + ")");
                const HRESULT hr = supports->InterfaceSupportsErrorInfo(iid.iid);
                tally_.Record(hr);
                Journal::Result(ticket, Hex(hr));
                if (hr != S_OK && hr != S_FALSE) Journal::Fail("InterfaceSupportsErrorInfo answered " + Hex(hr));
                supports->Release();
                break;
            }
        }
        tool->Release();
        object->Release();
        return;
    }
    IVELTPlugin* plugin = nullptr;
    object->QueryInterface(__uuidof(IVELTPlugin), reinterpret_cast<void**>(&plugin));
    REFIID plugin_iid = __uuidof(IVELTPlugin);
    VARIANT_BOOL answer = 0x5A5A;
    VARIANT_BOOL* out = null_out ? nullptr : &answer;
    const char* out_text = null_out ? "null" : "&b";
    switch (random_.Below(9)) {
        case 0:
            call(Format("IVELTPlugin::Disable(%s)", out_text), 0, plugin_iid, [&] { return plugin->Disable(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_FALSE) Journal::Fail("Disable is not false");
            break;
        case 1:
            call(Format("IVELTPlugin::Enable(%s)", out_text), 0, plugin_iid, [&] { return plugin->Enable(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_TRUE) Journal::Fail("Enable is not true");
            break;
        case 2:
            call(Format("IVELTPlugin::Term(%s)", out_text), 0, plugin_iid, [&] { return plugin->Term(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_TRUE) Journal::Fail("Term is not true");
            break;
        case 3:
            call(Format("IVELTPlugin::Configure(%s)", out_text), null_out ? 0u : unsigned{kOpensInputBox}, plugin_iid,
                 [&] { return plugin->Configure(out); }, null_out ? E_POINTER : S_OK);
            if (!null_out && answer != VARIANT_TRUE) Journal::Fail("Configure is not true");
            break;
        case 4: {
            LONG value = 0x5A5A5A5A;
            const LONG message = static_cast<LONG>(random_.Bits());
            call(Format("IVELTPlugin::MessageHandle(%ld, ...%s)", message, null_out ? ", null" : ""), 0, plugin_iid,
                 [&] { return plugin->MessageHandle(message, -1, 0x7FFFFFFF, null_out ? nullptr : &value); },
                 null_out ? E_POINTER : S_OK);
            if (!null_out && value != 0) Journal::Fail("MessageHandle is not 0");
            break;
        }
        case 5:
        case 6: {
            BSTR name = reinterpret_cast<BSTR>(static_cast<std::uintptr_t>(0xDEADBEEF));
            const bool through_default = random_.Chance(50);
            if (through_default) {
                _clsVELTPlugIn* own = nullptr;
                object->QueryInterface(__uuidof(_clsVELTPlugIn), reinterpret_cast<void**>(&own));
                call(Format("_clsVELTPlugIn::get_PluginName(%s)", out_text), 0, __uuidof(_clsVELTPlugIn),
                     [&] { return own->get_PluginName(null_out ? nullptr : &name); }, null_out ? E_POINTER : S_OK);
                own->Release();
            } else {
                call(Format("IVELTPlugin::get_PluginName(%s)", out_text), 0, plugin_iid,
                     [&] { return plugin->get_PluginName(null_out ? nullptr : &name); }, null_out ? E_POINTER : S_OK);
            }
            if (!null_out) {
                if (name == nullptr || wcscmp(name, L"Zorvane") != 0) Journal::Fail("PluginName is not \"Zorvane\"");
                SysFreeString(name);
            }
            break;
        }
        default:
            plugin->Release();
            object->Release();
            return ReadModuleInfo();
    }
    plugin->Release();
    object->Release();
}
}  // namespace zorvane::fuzz
