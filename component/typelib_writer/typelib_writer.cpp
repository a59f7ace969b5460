// Build-time tool, run under Wine: writes the component's type library. widl cannot
// make a coclass refer to interfaces of an imported library, ICreateTypeLib2 can.
// Usage: zorvane_typelib_writer win32|win64 <output .tlb>: the library of the 32- or the
// 64-bit DLL, the same bytes whichever kind of program writes it. VELTTypeLib.dll must be
// findable by that bare name (in the working directory or beside this program), which is
// also the file name recorded.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "VELTTypeLib.h"
#include "component/typelib_writer/function_record_sizes.h"
#include "plugin/plugin_identity.h"
#include "win/com_error.h"
#include "win/private_classes_root.h"

using Microsoft::WRL::ComPtr;
using zorvane::win::ComError;

namespace {

void Check(HRESULT hr, const char* step) {
    if (FAILED(hr)) {
        std::fprintf(stderr, "typelib_writer: %s failed: 0x%08lX\n", step,
                     static_cast<unsigned long>(hr));
        throw ComError(hr);
    }
}

ComPtr<ITypeInfo> TypeInfoOf(ITypeLib* library, REFGUID guid, const char* what) {
    ComPtr<ITypeInfo> info;
    Check(library->GetTypeInfoOfGuid(guid, &info), what);
    return info;
}

HREFTYPE Reference(ICreateTypeInfo* from, ITypeInfo* to, const char* what) {
    HREFTYPE reference = 0;
    Check(from->AddRefTypeInfo(to, &reference), what);
    return reference;
}

// _clsVELTPlugIn: dual, hidden, one property get PluginName with an unnamed retval.
ComPtr<ICreateTypeInfo> WriteDefaultInterface(ICreateTypeLib2* library, ITypeInfo* dispatch,
                                              SYSKIND kind) {
    ComPtr<ICreateTypeInfo> type;
    Check(library->CreateTypeInfo(const_cast<wchar_t*>(zorvane::kDefaultInterfaceName),
                                  TKIND_INTERFACE, &type),
          "CreateTypeInfo(_clsVELTPlugIn)");
    Check(type->SetGuid(__uuidof(zorvane::_clsVELTPlugIn)), "SetGuid(_clsVELTPlugIn)");
    Check(type->SetVersion(1, 0), "SetVersion(_clsVELTPlugIn)");
    Check(type->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                             TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE),
          "SetTypeFlags(_clsVELTPlugIn)");
    Check(type->AddImplType(0, Reference(type.Get(), dispatch, "AddRefTypeInfo(IDispatch)")),
          "AddImplType(IDispatch)");

    TYPEDESC bstr{};
    bstr.vt = VT_BSTR;
    ELEMDESC parameter{};
    parameter.tdesc.vt = VT_PTR;
    parameter.tdesc.lptdesc = &bstr;
    parameter.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

    FUNCDESC function{};
    function.memid = zorvane::kPluginNameDispId;
    function.funckind = FUNC_PUREVIRTUAL;
    function.invkind = INVOKE_PROPERTYGET;
    function.callconv = CC_STDCALL;
    function.cParams = 1;
    function.lprgelemdescParam = &parameter;
    // After IUnknown and IDispatch, in slots of the library's kind: the writer stores the
    // offset as given, whatever its own pointer size.
    function.oVft = static_cast<SHORT>(7 * (kind == SYS_WIN64 ? 8 : 4));
    function.elemdescFunc.tdesc.vt = VT_HRESULT;
    Check(type->AddFuncDesc(0, &function), "AddFuncDesc(PluginName)");
    // Only the member's name: the parameter stays unnamed.
    LPOLESTR names[] = {const_cast<wchar_t*>(L"PluginName")};
    Check(type->SetFuncAndParamNames(0, names, 1), "SetFuncAndParamNames(PluginName)");
    Check(type->LayOut(), "LayOut(_clsVELTPlugIn)");
    return type;
}

void WriteClass(ICreateTypeLib2* library, ITypeInfo* default_interface, ITypeInfo* module,
                ITypeInfo* plugin) {
    ComPtr<ICreateTypeInfo> type;
    Check(library->CreateTypeInfo(const_cast<wchar_t*>(zorvane::kPlugInClassName), TKIND_COCLASS,
                                  &type),
          "CreateTypeInfo(clsVELTPlugIn)");
    Check(type->SetGuid(zorvane::kPlugInClassId), "SetGuid(clsVELTPlugIn)");
    Check(type->SetVersion(1, 0), "SetVersion(clsVELTPlugIn)");
    Check(type->AddImplType(0, Reference(type.Get(), default_interface, "AddRefTypeInfo(own)")),
          "AddImplType(_clsVELTPlugIn)");
    Check(type->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags(_clsVELTPlugIn)");
    Check(type->AddImplType(1, Reference(type.Get(), module, "AddRefTypeInfo(IVELTModule)")),
          "AddImplType(IVELTModule)");
    Check(type->AddImplType(2, Reference(type.Get(), plugin, "AddRefTypeInfo(IVELTPlugin)")),
          "AddImplType(IVELTPlugin)");
    Check(type->LayOut(), "LayOut(clsVELTPlugIn)");
    // After LayOut, which under Wine adds "dispatchable" from the interfaces listed.
    Check(type->SetTypeFlags(TYPEFLAG_FCANCREATE), "SetTypeFlags(clsVELTPlugIn)");
}

void Write(SYSKIND kind, const std::wstring& output) {
    // By bare name: the name given here is the one recorded for the import. Read only:
    // LoadTypeLib would also register a library named without a path, in the prefix the
    // tests share, and under another writing of its path than regsvr32's.
    ComPtr<ITypeLib> stdole;
    Check(LoadTypeLibEx(L"stdole2.tlb", REGKIND_NONE, &stdole), "LoadTypeLibEx(stdole2.tlb)");
    ComPtr<ITypeLib> host;
    Check(LoadTypeLibEx(L"VELTTypeLib.dll", REGKIND_NONE, &host), "LoadTypeLibEx(VELTTypeLib.dll)");
    // Making an interface dual, Wine's oleaut32 loads stdole2.tlb by bare name itself and so
    // registers it again, with another path, FLAGS and name than the prefix's: the writing
    // happens with a classes root of its own.
    const zorvane::win::PrivateClassesRoot scratch_classes(L"Software\\ZorvaneTypeLibWriter.Classes");

    ComPtr<ICreateTypeLib2> library;
    Check(CreateTypeLib2(kind, output.c_str(), &library), "CreateTypeLib2");
    Check(library->SetName(const_cast<wchar_t*>(zorvane::kComponentName)), "SetName");
    Check(library->SetGuid(zorvane::kLibraryId), "SetGuid");
    Check(library->SetVersion(zorvane::kLibraryMajor, zorvane::kLibraryMinor), "SetVersion");
    Check(library->SetLcid(LOCALE_NEUTRAL), "SetLcid");
    Check(library->SetDocString(const_cast<wchar_t*>(zorvane::kComponentName)), "SetDocString");
    Check(library->SetLibFlags(0), "SetLibFlags");

    const ComPtr<ICreateTypeInfo> default_interface =
        WriteDefaultInterface(library.Get(), TypeInfoOf(stdole.Get(), IID_IDispatch, "IDispatch").Get(), kind);
    ComPtr<ITypeInfo> default_info;
    Check(default_interface.As(&default_info), "QueryInterface(ITypeInfo)");
    WriteClass(library.Get(), default_info.Get(),
               TypeInfoOf(host.Get(), IID_IVELTModule, "IVELTModule").Get(),
               TypeInfoOf(host.Get(), IID_IVELTPlugin, "IVELTPlugin").Get());
    Check(library->SaveAllChanges(), "SaveAllChanges");
    zorvane::typelib_writer::MatchFunctionRecordSizesToKind(output, kind);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind_name = argc == 3 ? argv[1] : "";
    if (kind_name != "win32" && kind_name != "win64") {
        std::fputs("usage: zorvane_typelib_writer win32|win64 <output .tlb>\n", stderr);
        return 2;
    }
    const SYSKIND kind = kind_name == "win64" ? SYS_WIN64 : SYS_WIN32;
    const std::string narrow = argv[2];
    std::wstring output(narrow.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                           output.data(), static_cast<int>(output.size()));
    output.resize(length > 0 ? static_cast<size_t>(length) : 0);
    try {
        Write(kind, output);
    } catch (const ComError&) {
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "typelib_writer: %s\n", e.what());
        return 1;
    }
    return 0;
}
