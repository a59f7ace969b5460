// VELTTypeLib.dll as the registered host library: its identifiers and members, its
// registration, its module-information class and collection, and its exports.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VELTTypeLib.h"
#include "host/standin/host_library.h"
#include "host/standin/module_info.h"
#include "win/private_classes_root.h"
#include "tests/support/temporary_copy.h"
#include "tests/support/type_descriptions.h"
#include "tests/support/windows_kind.h"
#include "win/com_error.h"
#include "win/handles.h"

namespace zorvane::standin {
namespace {

using Microsoft::WRL::ComPtr;
using win::Bstr;
using test::FuncDesc;
using test::TypeAttr;
using win::Variant;

constexpr GUID kLibraryId = {0x2EC5C0F2, 0x8A43, 0x4D51, {0xA6, 0x46, 0x7D, 0xD3, 0x6F, 0x74, 0xC6, 0x12}};

std::wstring LibraryPath() {
    std::wstring path = ModulePath(nullptr);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"VELTTypeLib.dll";
}

GUID Guid(const wchar_t* text) {
    GUID guid{};
    EXPECT_EQ(CLSIDFromString(text, &guid), S_OK) << "bad GUID text";
    return guid;
}

// The vtable side of a dual interface's dispatch type information.
ComPtr<ITypeInfo> VtableSide(ITypeInfo* dispatch) {
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> side;
    EXPECT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference), S_OK);
    EXPECT_EQ(dispatch->GetRefTypeInfo(reference, &side), S_OK);
    return side;
}

std::wstring MemberName(ITypeInfo* info, MEMBERID id) {
    Bstr name;
    EXPECT_EQ(info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr), S_OK);
    return std::wstring(name.view());
}

struct Member {
    std::wstring name;
    MEMBERID id;
    INVOKEKIND kind;
};

struct Interface {
    const char* label;
    GUID iid;
    std::vector<Member> members;
};

// IVELTModuleInfo: each property read, then written, in the order the host declares them.
std::vector<Member> ModuleInfoMembers() {
    const wchar_t* names[] = {L"ModuleGUID",       L"ModuleName",      L"ModuleDescription", L"ModuleAuthor",
                              L"Enabled",          L"Configurable",    L"ModuleType",        L"ToolWindowName",
                              L"ToolWindow",       L"ToolWindowDocked", L"ToolWindowModal",  L"ShowInToolsMenu",
                              L"ShowInPluginList"};
    std::vector<Member> members;
    MEMBERID id = 1;
    for (const wchar_t* name : names) {
        members.push_back({name, id, INVOKE_PROPERTYGET});
        members.push_back({name, id, std::wstring(name) == L"ToolWindow" ? INVOKE_PROPERTYPUTREF : INVOKE_PROPERTYPUT});
        ++id;
    }
    members.push_back({L"Capabilities", id, INVOKE_PROPERTYGET});
    return members;
}

const std::vector<Interface>& Interfaces() {
    static const std::vector<Interface> interfaces = {
        {"IVELTPlugin", Guid(L"{4C57BCAF-A427-42A8-BB5C-6D34F421F3B3}"),
         {{L"Disable", 0x60030008, INVOKE_FUNC},
          {L"Enable", 0x60030009, INVOKE_FUNC},
          {L"Configure", 0x6003000A, INVOKE_FUNC},
          {L"Init", 0x6003000B, INVOKE_FUNC},
          {L"MessageHandle", 0x6003000C, INVOKE_FUNC},
          {L"PluginName", 0x68030007, INVOKE_PROPERTYGET},
          {L"Term", 0x6003000D, INVOKE_FUNC}}},
        {"IVELTModule", Guid(L"{9D486659-B1DC-4D5F-8289-FBA199DFA881}"),
         {{L"ModuleInfo", 0x68030000, INVOKE_PROPERTYGET}}},
        {"IVELTTool", Guid(L"{8B25F28D-3DE1-4FA5-958F-26AD068FCFD5}"),
         {{L"ClearProjectData", 0x60030001, INVOKE_FUNC},
          {L"LoadProjectData", 0x60030002, INVOKE_FUNC},
          {L"SaveProjectData", 0x60030003, INVOKE_FUNC},
          {L"AskToSaveProjectData", 0x60030004, INVOKE_FUNC},
          {L"ViewMode", 0x68030000, INVOKE_PROPERTYPUT}}},
        {"IVELTPluginHelper", Guid(L"{FD56FCFE-99F8-4131-B69A-69BE8550C871}"),
         {{L"ChannelGetValue", 1, INVOKE_FUNC}, {L"MyStream", 2, INVOKE_PROPERTYGET}}},
        {"IVELTModuleInfo", Guid(L"{CFE4666B-0ABF-433D-A051-6F38B237F340}"), ModuleInfoMembers()},
    };
    return interfaces;
}

// The library loaded from the DLL's resource, and as registered.
class HostLibrary : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) {
            ASSERT_EQ(LoadRegTypeLib(kLibraryId, 2, 2, LOCALE_NEUTRAL, &library_), S_OK);
        } else {
            ASSERT_EQ(LoadTypeLibEx(LibraryPath().c_str(), REGKIND_NONE, &library_), S_OK);
        }
    }
    ComPtr<ITypeLib> library_;
};

TEST_P(HostLibrary, IsVersion22OfTheHostLibrary) {
    EXPECT_EQ(test::IdentityOf(*test::LibAttr(library_)),
              (test::LibraryIdentity{kLibraryId, 2, 2, 0, test::kThisProgram.syskind}))
        << "built in this program's tree";
}

TEST_P(HostLibrary, InterfacesAreDualWithTheirMembersInSlotOrder) {
    for (const auto& expected : Interfaces()) {
        SCOPED_TRACE(expected.label);
        ComPtr<ITypeInfo> dispatch;
        ASSERT_EQ(library_->GetTypeInfoOfGuid(expected.iid, &dispatch), S_OK);
        {
            const TypeAttr attr(dispatch);
            EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
            EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FDUAL, 0);
        }
        const ComPtr<ITypeInfo> vtable = VtableSide(dispatch.Get());
        const TypeAttr attr(vtable);
        EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
        EXPECT_EQ(attr->guid, expected.iid);
        ASSERT_EQ(attr->cFuncs, expected.members.size());
        for (UINT i = 0; i < attr->cFuncs; ++i) {
            const FuncDesc func(vtable.Get(), i);
            const Member& member = expected.members[i];
            SCOPED_TRACE(testing::Message() << "slot " << i);
            EXPECT_EQ(func->memid, member.id);
            EXPECT_EQ(func->invkind, member.kind);
            // After IUnknown's three and IDispatch's four.
            EXPECT_EQ(func->oVft, test::ReadOffsetOfSlot(7 + i));
            EXPECT_EQ(MemberName(vtable.Get(), func->memid), member.name);
        }
    }
}

TEST_P(HostLibrary, InitTakesTwoTextsAndTheHelperByReference) {
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(Guid(L"{4C57BCAF-A427-42A8-BB5C-6D34F421F3B3}"), &dispatch), S_OK);
    const ComPtr<ITypeInfo> vtable = VtableSide(dispatch.Get());
    const FuncDesc init(vtable.Get(), 3);
    ASSERT_EQ(init->memid, 0x6003000B);
    ASSERT_EQ(init->cParams, 4);
    const ELEMDESC* params = init->lprgelemdescParam;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(params[i].tdesc.vt, VT_BSTR);
        EXPECT_EQ(params[i].paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN);
    }
    const TYPEDESC& helper = params[2].tdesc;
    ASSERT_EQ(helper.vt, VT_PTR);
    ASSERT_EQ(helper.lptdesc->vt, VT_PTR);
    ASSERT_EQ(helper.lptdesc->lptdesc->vt, VT_USERDEFINED);
    EXPECT_EQ(params[2].paramdesc.wParamFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT), PARAMFLAG_FIN | PARAMFLAG_FOUT);
    ComPtr<ITypeInfo> helper_info;
    ASSERT_EQ(vtable->GetRefTypeInfo(helper.lptdesc->lptdesc->hreftype, &helper_info), S_OK);
    const TypeAttr helper_attr(helper_info);
    EXPECT_EQ(helper_attr->guid, Guid(L"{FD56FCFE-99F8-4131-B69A-69BE8550C871}"));

    EXPECT_EQ(params[3].tdesc.vt, VT_PTR);
    EXPECT_EQ(params[3].tdesc.lptdesc->vt, VT_BOOL);
    EXPECT_NE(params[3].paramdesc.wParamFlags & PARAMFLAG_FRETVAL, 0);
}

TEST_P(HostLibrary, TheModuleInformationClassIsCreatableWithItsInterfaceAsDefault) {
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(Guid(L"{89F7A844-50F6-4BC4-B950-8C49C3242067}"), &coclass), S_OK);
    const TypeAttr attr(coclass);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_NE(attr->wTypeFlags & TYPEFLAG_FCANCREATE, 0);
    ASSERT_EQ(attr->cImplTypes, 1);
    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_NE(flags & IMPLTYPEFLAG_FDEFAULT, 0);
    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, &implemented), S_OK);
    const TypeAttr implemented_attr(implemented);
    EXPECT_EQ(implemented_attr->guid, Guid(L"{CFE4666B-0ABF-433D-A051-6F38B237F340}"));
}

INSTANTIATE_TEST_SUITE_P(FromFileAndRegistry, HostLibrary, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "registered" : "file"; });

TEST(Registration, RecordsTheLibraryAndTheClassAtTheDllsPath) {
    Bstr registered;
    ASSERT_EQ(QueryPathOfRegTypeLib(kLibraryId, 2, 2, LOCALE_NEUTRAL, registered.put()), S_OK);
    EXPECT_EQ(CompareStringOrdinal(registered.get(), -1, LibraryPath().c_str(), -1, TRUE), CSTR_EQUAL);

    wchar_t server[MAX_PATH] = {};
    LONG size = sizeof(server);
    ASSERT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, L"CLSID\\{89F7A844-50F6-4BC4-B950-8C49C3242067}\\InprocServer32",
                             server, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(CompareStringOrdinal(server, -1, LibraryPath().c_str(), -1, TRUE), CSTR_EQUAL);
    wchar_t model[32] = {};
    DWORD model_size = sizeof(model);
    ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, L"CLSID\\{89F7A844-50F6-4BC4-B950-8C49C3242067}\\InprocServer32",
                           L"ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &model_size),
              ERROR_SUCCESS);
    EXPECT_STREQ(model, L"Apartment");
}

ComPtr<IVELTModuleInfo> CreateModuleInfo() {
    ComPtr<IVELTModuleInfo> info;
    EXPECT_EQ(CoCreateInstance(CLSID_VELTModuleInfo, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&info)), S_OK);
    return info;
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    return id;
}

HRESULT PutByName(IDispatch* object, const wchar_t* name, VARIANT& value, WORD flags, EXCEPINFO* excep) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &put, 1, 1};
    return object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, nullptr, excep, nullptr);
}

HRESULT GetByName(IDispatch* object, const wchar_t* name, Variant& result) {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          result.put(), nullptr, nullptr);
}

TEST(ModuleInformation, KeepsAndRecordsWhatItIsToldByNameAndThroughTheVtable) {
    const ComPtr<IVELTModuleInfo> info = CreateModuleInfo();
    ASSERT_TRUE(info);
    const ComPtr<IVELTModuleInfo> window = CreateModuleInfo();  // any object will do as a window

    VARIANT name;
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocString(L"Zorvane");
    EXPECT_EQ(PutByName(info.Get(), L"ModuleName", name, DISPATCH_PROPERTYPUT, nullptr), S_OK);
    VariantClear(&name);
    VARIANT object;
    V_VT(&object) = VT_DISPATCH;
    V_DISPATCH(&object) = window.Get();
    EXPECT_EQ(PutByName(info.Get(), L"ToolWindow", object, DISPATCH_PROPERTYPUTREF, nullptr), S_OK);
    EXPECT_EQ(info->put_Enabled(VARIANT_TRUE), S_OK);
    EXPECT_EQ(info->put_ModuleType(2), S_OK);
    EXPECT_EQ(info->put_ModuleGUID(Bstr(L"{b61b4c42-17ed-11da-94c3-00e08161165f}").get()), S_OK);

    Variant read;
    ASSERT_EQ(GetByName(info.Get(), L"modulename", read), S_OK);
    ASSERT_EQ(read.type(), VT_BSTR);
    EXPECT_STREQ(V_BSTR(read.get()), L"Zorvane");
    ComPtr<IDispatch> tool_window;
    ASSERT_EQ(info->get_ToolWindow(&tool_window), S_OK);
    EXPECT_EQ(tool_window.Get(), static_cast<IDispatch*>(window.Get()));
    LONG type = 0;
    ASSERT_EQ(info->get_ModuleType(&type), S_OK);
    EXPECT_EQ(type, 2);

    EXPECT_EQ(RecordedCalls(info.Get()),
              (std::vector<std::wstring>{L"put ModuleName \"Zorvane\"", L"putref ToolWindow <object>",
                                         L"put Enabled true", L"put ModuleType 2",
                                         L"put ModuleGUID \"{b61b4c42-17ed-11da-94c3-00e08161165f}\"",
                                         L"get ModuleName", L"get ToolWindow", L"get ModuleType"}));
    EXPECT_TRUE(RecordedCalls(window.Get()).empty());
}

TEST(ModuleInformation, TheCollectionRecordsAddsWithTheirOmittedArguments) {
    const ComPtr<IVELTModuleInfo> info = CreateModuleInfo();
    ASSERT_TRUE(info);
    Variant capabilities;
    ASSERT_EQ(GetByName(info.Get(), L"Capabilities", capabilities), S_OK);
    ASSERT_EQ(capabilities.type(), VT_DISPATCH);
    IDispatch* collection = V_DISPATCH(capabilities.get());
    const DISPID add = IdOf(collection, L"Add");
    for (const LONG item : {3, 15}) {
        VARIANT argument;
        V_VT(&argument) = VT_I4;
        V_I4(&argument) = item;
        DISPPARAMS params{&argument, nullptr, 1, 0};
        ASSERT_EQ(collection->Invoke(add, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                     nullptr),
                  S_OK);
    }

    ComPtr<IVELTCollection> typed;
    ASSERT_EQ(collection->QueryInterface(IID_PPV_ARGS(&typed)), S_OK);
    LONG count = 0;
    ASSERT_EQ(typed->get_Count(&count), S_OK);
    EXPECT_EQ(count, 2);
    for (const LONG position : {1, 2}) {
        VARIANT index;
        V_VT(&index) = VT_I4;
        V_I4(&index) = position;
        Variant item;
        ASSERT_EQ(typed->Item(&index, item.get()), S_OK);
        EXPECT_EQ(item.type(), VT_I4);
        EXPECT_EQ(V_I4(item.get()), position == 1 ? 3 : 15);
    }
    // Through the vtable, a null pointer is told apart from an argument left out.
    Variant missing;
    V_VT(missing.get()) = VT_ERROR;
    V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;
    Variant item;
    V_VT(item.get()) = VT_I4;
    V_I4(item.get()) = 7;
    ASSERT_EQ(typed->Add(item.get(), missing.get(), nullptr, missing.get()), S_OK);

    EXPECT_EQ(RecordedCalls(info.Get()),
              (std::vector<std::wstring>{L"get Capabilities", L"Add 3 [VT_I4], <missing>, <missing>, <missing>",
                                         L"Add 15 [VT_I4], <missing>, <missing>, <missing>", L"get Count",
                                         L"Item 1", L"Item 2", L"Add 7 [VT_I4], <missing>, <null pointer>, <missing>"}));
}

TEST(ModuleInformation, TheCollectionPlacesEntriesByKeyAndPosition) {
    const ComPtr<IVELTModuleInfo> info = CreateModuleInfo();
    ASSERT_TRUE(info);
    ComPtr<IVELTCollection> collection;
    ASSERT_EQ(info->get_Capabilities(&collection), S_OK);
    auto number = [](LONG value) {
        Variant v;
        V_VT(v.get()) = VT_I4;
        V_I4(v.get()) = value;
        return v;
    };
    auto text = [](const wchar_t* value) {
        Variant v;
        V_VT(v.get()) = VT_BSTR;
        V_BSTR(v.get()) = SysAllocString(value);
        return v;
    };
    Variant missing;
    V_VT(missing.get()) = VT_ERROR;
    V_ERROR(missing.get()) = DISP_E_PARAMNOTFOUND;

    Variant one = number(1), two = number(2), three = number(3), four = number(4);
    Variant key = text(L"zwei"), first = number(1);
    ASSERT_EQ(collection->Add(one.get(), missing.get(), missing.get(), missing.get()), S_OK);
    ASSERT_EQ(collection->Add(two.get(), key.get(), missing.get(), missing.get()), S_OK);
    ASSERT_EQ(collection->Add(three.get(), missing.get(), first.get(), missing.get()), S_OK);
    ASSERT_EQ(collection->Add(four.get(), missing.get(), missing.get(), key.get()), S_OK);
    EXPECT_EQ(collection->Add(four.get(), key.get(), missing.get(), missing.get()),
              MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 457));

    std::vector<LONG> order;
    for (LONG position = 1; position <= 4; ++position) {
        Variant index = number(position), item;
        ASSERT_EQ(collection->Item(index.get(), item.get()), S_OK);
        order.push_back(V_I4(item.get()));
    }
    EXPECT_EQ(order, (std::vector<LONG>{3, 1, 2, 4}));
    Variant item;
    ASSERT_EQ(collection->Item(key.get(), item.get()), S_OK);
    EXPECT_EQ(V_I4(item.get()), 2);
    Variant beyond = number(5);
    EXPECT_EQ(collection->Item(beyond.get(), item.get()), DISP_E_BADINDEX);
}

TEST(ModuleInformation, AFailedCallIsRefusedWithGermanErrorInformation) {
    const ComPtr<IVELTModuleInfo> info = CreateModuleInfo();
    ASSERT_TRUE(info);
    // The object vouches for the words it leaves, and so does its collection.
    ComPtr<ISupportErrorInfo> vouches;
    ASSERT_EQ(info.As(&vouches), S_OK);
    EXPECT_EQ(vouches->InterfaceSupportsErrorInfo(IID_IVELTModuleInfo), S_OK);
    EXPECT_EQ(vouches->InterfaceSupportsErrorInfo(IID_IVELTCollection), S_FALSE);
    ComPtr<IVELTCollection> collection;
    ASSERT_EQ(info->get_Capabilities(&collection), S_OK);
    ASSERT_EQ(collection.As(&vouches), S_OK);
    EXPECT_EQ(vouches->InterfaceSupportsErrorInfo(IID_IVELTCollection), S_OK);

    ComPtr<IStandinRecorder> recorder;
    ASSERT_EQ(info.As(&recorder), S_OK);
    ASSERT_EQ(recorder->FailCall(3, E_ACCESSDENIED), S_OK);

    EXPECT_EQ(info->put_ModuleAuthor(Bstr(L"Erste").get()), S_OK);
    VARIANT author;
    V_VT(&author) = VT_BSTR;
    V_BSTR(&author) = SysAllocString(L"Zweite");
    EXCEPINFO excep{};
    EXPECT_EQ(PutByName(info.Get(), L"ModuleAuthor", author, DISPATCH_PROPERTYPUT, &excep), DISP_E_EXCEPTION);
    VariantClear(&author);
    EXPECT_EQ(excep.scode, E_ACCESSDENIED);
    EXPECT_STREQ(excep.bstrDescription, L"Der Aufruf wurde vom Host abgewiesen.");
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrHelpFile);

    ASSERT_EQ(recorder->FailCall(4, E_ACCESSDENIED), S_OK);
    EXPECT_EQ(info->put_ModuleAuthor(Bstr(L"Dritte").get()), E_ACCESSDENIED);
    ComPtr<IErrorInfo> error;
    ASSERT_EQ(GetErrorInfo(0, &error), S_OK);
    Bstr description;
    ASSERT_EQ(error->GetDescription(description.put()), S_OK);
    EXPECT_EQ(description.view(), L"Der Aufruf wurde vom Host abgewiesen.");

    Bstr kept;
    ASSERT_EQ(info->get_ModuleAuthor(kept.put()), S_OK);
    EXPECT_EQ(kept.view(), L"Erste");
}

TEST(ModuleInformation, ATestCanPutItsOwnClassObjectInPlaceOfTheRegisteredOne) {
    {
        ModuleInfoClassOverride override_class;
        auto& factory = override_class.factory();
        // Without words: the code alone, no error information.
        factory.FailCallOfNewObjects(2, E_FAIL, false);
        {
            const ComPtr<IVELTModuleInfo> info = CreateModuleInfo();
            ASSERT_TRUE(info);
            ASSERT_EQ(factory.created().size(), 1u);
            EXPECT_EQ(info->put_ModuleName(Bstr(L"Zorvane").get()), S_OK);
            SetErrorInfo(0, nullptr);
            EXPECT_EQ(info->put_ModuleType(2), E_FAIL);
            ComPtr<IErrorInfo> none;
            EXPECT_EQ(GetErrorInfo(0, &none), S_FALSE);
            EXPECT_EQ(factory.created()[0]->values.module_name, L"Zorvane");
            EXPECT_EQ(factory.created()[0]->values.module_type, 0);
            EXPECT_TRUE(factory.created()[0]->alive);
        }
        EXPECT_FALSE(factory.created()[0]->alive);
        EXPECT_EQ(factory.created()[0]->calls,
                  (std::vector<std::wstring>{L"put ModuleName \"Zorvane\"", L"put ModuleType 2 -> error 0x80004005"}));

        // A refused creation, with or without words.
        for (const bool with_words : {false, true}) {
            SCOPED_TRACE(with_words ? "with words" : "without words");
            SetErrorInfo(0, nullptr);
            factory.FailNextCreate(E_OUTOFMEMORY, with_words);
            ComPtr<IVELTModuleInfo> refused;
            EXPECT_EQ(CoCreateInstance(CLSID_VELTModuleInfo, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&refused)),
                      E_OUTOFMEMORY);
            EXPECT_FALSE(refused);
            ComPtr<IErrorInfo> error;
            EXPECT_EQ(GetErrorInfo(0, &error), with_words ? S_OK : S_FALSE);
        }
        EXPECT_EQ(factory.created().size(), 1u);
    }
    // Revoked: the registered class answers again, with nothing failing.
    const ComPtr<IVELTModuleInfo> info = CreateModuleInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->put_ModuleType(2), S_OK);
}

template <class Function>
Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(Exports, ServeOneClassRefuseAggregationAndTellWhenTheyMayGo) {
    const win::UniqueModule module(LoadLibraryW(LibraryPath().c_str()));
    ASSERT_TRUE(module);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    const auto get_class_object = Export<GetClassObject>(module.get(), "DllGetClassObject");
    const auto can_unload_now = Export<CanUnloadNow>(module.get(), "DllCanUnloadNow");
    ASSERT_NE(get_class_object, nullptr);
    ASSERT_NE(can_unload_now, nullptr);
    EXPECT_NE(GetProcAddress(module.get(), "DllRegisterServer"), nullptr);
    EXPECT_NE(GetProcAddress(module.get(), "DllUnregisterServer"), nullptr);

    void* junk = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(get_class_object(IID_IVELTModuleInfo, IID_IClassFactory, &junk), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(junk, nullptr);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(get_class_object(CLSID_VELTModuleInfo, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(can_unload_now(), S_FALSE);
    ComPtr<IUnknown> object;
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_PPV_ARGS(&object)), CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(object);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&object)), S_OK);

    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    object.Reset();
    EXPECT_EQ(can_unload_now(), S_FALSE);
    ASSERT_EQ(get_class_object(CLSID_VELTModuleInfo, IID_PPV_ARGS(&factory)), S_OK);
    ASSERT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(can_unload_now(), S_OK);
}

// HKEY_CLASSES_ROOT of this process redirected to a fresh private key, and a copy of the
// DLL to register there, for as long as it lives.
class PrivateRegistration {
public:
    const std::wstring& copy() const { return copy_.path(); }
    win::UniqueRegistryKey Open(const std::wstring& path) const { return classes_.Open(path); }

private:
    test::TemporaryCopy copy_{L"velt-typelib-registration-test", LibraryPath()};
    win::PrivateClassesRoot classes_{L"Software\\VeltTypeLibRegistrationTest"};
};

DWORD SubkeyCount(HKEY key) {
    DWORD count = 0;
    if (key != nullptr) {
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr);
    }
    return count;
}

// The library goes in under the kind of this program's tree, and comes out again under
// that kind: nothing of the registration is left.
TEST(Registration, ACopyRegistersUnderItsKindAndUnregistersWithoutTrace) {
    const PrivateRegistration registration;
    const win::UniqueModule module(LoadLibraryW(registration.copy().c_str()));
    ASSERT_TRUE(module);
    using Entry = HRESULT(STDAPICALLTYPE*)();
    const auto register_server = Export<Entry>(module.get(), "DllRegisterServer");
    const auto unregister_server = Export<Entry>(module.get(), "DllUnregisterServer");
    ASSERT_NE(register_server, nullptr);
    ASSERT_NE(unregister_server, nullptr);
    const std::wstring library_key = L"TypeLib\\{2EC5C0F2-8A43-4D51-A646-7DD36F74C612}";
    const std::wstring class_key = L"CLSID\\{89F7A844-50F6-4BC4-B950-8C49C3242067}";

    ASSERT_EQ(register_server(), S_OK);
    const auto platforms = registration.Open(library_key + L"\\2.2\\0");
    EXPECT_EQ(SubkeyCount(platforms.get()), 1u) << "one kind only";
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof(path);
    ASSERT_EQ(RegGetValueW(platforms.get(), test::kThisProgram.platform_key, nullptr, RRF_RT_REG_SZ, nullptr,
                           path, &size),
              ERROR_SUCCESS)
        << "no " << test::kThisProgram.name << " key";
    EXPECT_EQ(CompareStringOrdinal(path, -1, registration.copy().c_str(), -1, TRUE), CSTR_EQUAL);
    EXPECT_TRUE(registration.Open(class_key));

    ASSERT_EQ(unregister_server(), S_OK);
    EXPECT_FALSE(registration.Open(library_key)) << "the library left behind";
    EXPECT_FALSE(registration.Open(class_key)) << "the class left behind";
    EXPECT_EQ(SubkeyCount(registration.Open(L"Interface").get()), 0u) << "interfaces left behind";
}

}  // namespace
}  // namespace zorvane::standin
