#include "tests/wine/fuzz/our_objects.h"

#include <ocidl.h>
#include <olectl.h>

#include <cwchar>

#include "VELTTypeLib.h"
#include "plugin/plugin_identity.h"
#include "tests/wine/fuzz/journal.h"

namespace zorvane::fuzz {
namespace {

const NamedIid kIids[] = {
    {"IUnknown", IID_IUnknown},
    {"IDispatch", IID_IDispatch},
    {"_clsVELTPlugIn", __uuidof(_clsVELTPlugIn)},
    {"IVELTModule", __uuidof(IVELTModule)},
    {"IVELTPlugin", __uuidof(IVELTPlugin)},
    {"IVELTTool", __uuidof(IVELTTool)},
    {"ISupportErrorInfo", IID_ISupportErrorInfo},
    {"IClassFactory", IID_IClassFactory},
    {"IMarshal", IID_IMarshal},
    {"IProvideClassInfo", IID_IProvideClassInfo},
    {"IConnectionPointContainer", IID_IConnectionPointContainer},
    {"IPersist", IID_IPersist},
    {"IID_NULL", IID_NULL},
    {"IVELTPluginHelper", __uuidof(IVELTPluginHelper)},
    {"a random IID", {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}},
};

}  // namespace

std::span<const NamedIid> Iids() { return kIids; }

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::PlugIn: return "plug-in";
        case Kind::Factory: return "class object";
        case Kind::Tool: return "rule editor";
        case Kind::ModuleInfo: return "module information";
    }
    return "?";
}

bool Answers(Kind kind, REFIID iid) {
    switch (kind) {
        case Kind::PlugIn:
            return iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_clsVELTPlugIn) ||
                   iid == __uuidof(IVELTModule) || iid == __uuidof(IVELTPlugin) || iid == IID_ISupportErrorInfo;
        case Kind::Tool:
            return iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IVELTTool) ||
                   iid == IID_ISupportErrorInfo;
        case Kind::Factory: return iid == IID_IUnknown || iid == IID_IClassFactory;
        case Kind::ModuleInfo: return false;
    }
    return false;
}

IUnknown* IdentityOf(IUnknown* object) {
    IUnknown* identity = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || identity == nullptr) {
        Journal::Fail("an object of ours refuses IUnknown");
    }
    identity->Release();
    return identity;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

bool ClaimsErrorInfo(IUnknown* object, REFIID iid) {
    ISupportErrorInfo* supports = nullptr;
    if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports))) ||
        supports == nullptr) {
        return false;
    }
    const bool claims = supports->InterfaceSupportsErrorInfo(iid) == S_OK;
    supports->Release();
    return claims;
}

std::string ErrorInfoProblem() {
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr) return "no error information";
    BSTR description = nullptr;
    info->GetDescription(&description);
    info->Release();
    std::string problem;
    if (description == nullptr || SysStringLen(description) == 0) {
        problem = "error information without a description";
    } else if (wcscmp(description, kStaleDescription) == 0) {
        problem = "the error information of an earlier call was left in place";
    }
    SysFreeString(description);
    return problem;
}

std::string Hex(HRESULT hr) { return Format("0x%08lX", static_cast<unsigned long>(hr)); }

}  // namespace zorvane::fuzz
