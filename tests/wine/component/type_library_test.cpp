// The type library embedded in Zorvane.dll, read as a host's tools read it: loaded as a
// file, never as a module, so that a DLL of either kind can be checked
// (ZORVANE_DLL_UNDER_TEST).
#include <gtest/gtest.h>

#include "tests/support/type_descriptions.h"
#include "tests/wine/component/component_support.h"

namespace zorvane::test {
namespace {

std::wstring NameOf(ITypeInfo* info) {
    win::Bstr name;
    info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
    return std::wstring(name.view());
}

class TypeLibraryTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLibEx(ZorvaneDllPath().c_str(), REGKIND_NONE, &library_), S_OK);
    }

    ComPtr<ITypeInfo> TypeInfo(UINT index) {
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(library_->GetTypeInfo(index, &info), S_OK);
        return info;
    }

    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibraryTest, IdentifiesTheLibrary) {
    const LibAttr attr(library_);
    EXPECT_EQ(IdentityOf(*attr), (LibraryIdentity{kLibraryId, 1, 0, 0, ZorvaneDllKind().syskind}));
    // "Has a disk image" is the loader's note, not a flag of the library.
    EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);

    win::Bstr name;
    win::Bstr help;
    win::Bstr help_file;
    ASSERT_EQ(library_->GetDocumentation(-1, name.put(), help.put(), nullptr, help_file.put()), S_OK);
    EXPECT_EQ(name.view(), L"Zorvane");
    EXPECT_EQ(help.view(), L"Zorvane");
    EXPECT_TRUE(help_file.view().empty());
}

TEST_F(TypeLibraryTest, HoldsExactlyTheDefaultInterfaceAndTheClass) {
    ASSERT_EQ(library_->GetTypeInfoCount(), 2u);
    struct Case {
        const wchar_t* name;
        GUID guid;
        TYPEKIND kind;
        WORD flags;
        WORD functions;
        WORD implemented;
    };
    const Case cases[] = {
        // "oleautomation" shows on the interface view only (checked below).
        {L"_clsVELTPlugIn", __uuidof(_clsVELTPlugIn), TKIND_DISPATCH,
         TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
         // The dispatch view lists IUnknown's and IDispatch's members before PluginName.
         8, 1},
        {L"clsVELTPlugIn", kPlugInClassId, TKIND_COCLASS, TYPEFLAG_FCANCREATE, 0, 3},
    };
    for (UINT index = 0; index < 2; ++index) {
        const Case& c = cases[index];
        SCOPED_TRACE(testing::Message() << c.name);
        const TypeAttr type(TypeInfo(index));
        EXPECT_EQ(NameOf(type.owner()), c.name);
        EXPECT_EQ(type->guid, c.guid);
        EXPECT_EQ(type->typekind, c.kind);
        EXPECT_EQ(type->wTypeFlags, c.flags);
        EXPECT_EQ(type->cFuncs, c.functions);
        EXPECT_EQ(type->cImplTypes, c.implemented);
        EXPECT_EQ(type->wMajorVerNum, 1);
        EXPECT_EQ(type->wMinorVerNum, 0);

        win::Bstr help;
        type.owner()->GetDocumentation(MEMBERID_NIL, nullptr, help.put(), nullptr, nullptr);
        EXPECT_TRUE(help.view().empty());
    }
}

TEST_F(TypeLibraryTest, TheDefaultInterfaceHasOnlyPluginName) {
    ComPtr<ITypeInfo> dispatch_view;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(__uuidof(_clsVELTPlugIn), &dispatch_view), S_OK);
    HREFTYPE base_reference = 0;
    ComPtr<ITypeInfo> base;
    ASSERT_EQ(dispatch_view->GetRefTypeOfImplType(0, &base_reference), S_OK);
    ASSERT_EQ(dispatch_view->GetRefTypeInfo(base_reference, &base), S_OK);
    EXPECT_EQ(NameOf(base.Get()), L"IDispatch");

    // The interface (vtable) view of the dual interface.
    HREFTYPE interface_reference = 0;
    ComPtr<ITypeInfo> interface_view;
    ASSERT_EQ(dispatch_view->GetRefTypeOfImplType(-1, &interface_reference), S_OK);
    ASSERT_EQ(dispatch_view->GetRefTypeInfo(interface_reference, &interface_view), S_OK);
    const TypeAttr type(interface_view);
    EXPECT_EQ(type->typekind, TKIND_INTERFACE);
    EXPECT_EQ(type->wTypeFlags, TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                         TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
    ASSERT_EQ(type->cFuncs, 1);

    FUNCDESC* function = nullptr;
    ASSERT_EQ(interface_view->GetFuncDesc(0, &function), S_OK);
    EXPECT_EQ(function->memid, 0x68030002);
    EXPECT_EQ(function->invkind, INVOKE_PROPERTYGET);
    EXPECT_EQ(function->funckind, FUNC_PUREVIRTUAL);
    EXPECT_EQ(function->callconv, CC_STDCALL);
    EXPECT_EQ(function->elemdescFunc.tdesc.vt, VT_HRESULT);
    EXPECT_EQ(function->wFuncFlags, 0);
    EXPECT_EQ(function->oVft, ReadOffsetOfSlot(7)) << "right after IDispatch's members";
    ASSERT_EQ(function->cParams, 1);
    const ELEMDESC& parameter = function->lprgelemdescParam[0];
    EXPECT_EQ(parameter.paramdesc.wParamFlags, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL);
    ASSERT_EQ(parameter.tdesc.vt, VT_PTR);
    EXPECT_EQ(parameter.tdesc.lptdesc->vt, VT_BSTR);
    const MEMBERID member = function->memid;
    interface_view->ReleaseFuncDesc(function);

    BSTR names[3] = {};
    UINT count = 0;
    ASSERT_EQ(interface_view->GetNames(member, names, 3, &count), S_OK);
    EXPECT_EQ(count, 1u) << "the parameter has no name";
    EXPECT_STREQ(names[0], L"PluginName");
    for (UINT i = 0; i < count; ++i) SysFreeString(names[i]);
}

TEST_F(TypeLibraryTest, TheClassListsItsThreeInterfacesInOrder) {
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(kPlugInClassId, &coclass), S_OK);
    struct Case {
        const wchar_t* name;
        GUID iid;
        GUID library;
        WORD major;
        WORD minor;
        INT flags;
    };
    const Case cases[] = {
        {L"_clsVELTPlugIn", __uuidof(_clsVELTPlugIn), kLibraryId, 1, 0, IMPLTYPEFLAG_FDEFAULT},
        {L"IVELTModule", __uuidof(IVELTModule), LIBID_VELTTypeLib, 2, 2, 0},
        {L"IVELTPlugin", __uuidof(IVELTPlugin), LIBID_VELTTypeLib, 2, 2, 0},
    };
    for (UINT index = 0; index < 3; ++index) {
        const Case& c = cases[index];
        SCOPED_TRACE(testing::Message() << c.name);
        INT flags = -1;
        ASSERT_EQ(coclass->GetImplTypeFlags(index, &flags), S_OK);
        EXPECT_EQ(flags, c.flags);
        HREFTYPE reference = 0;
        ComPtr<ITypeInfo> implemented;
        ASSERT_EQ(coclass->GetRefTypeOfImplType(index, &reference), S_OK);
        ASSERT_EQ(coclass->GetRefTypeInfo(reference, &implemented), S_OK);
        EXPECT_EQ(NameOf(implemented.Get()), c.name);
        const TypeAttr type(implemented);
        EXPECT_EQ(type->guid, c.iid);

        // The host's interfaces resolve into the host's own library, not a copy.
        ComPtr<ITypeLib> container;
        UINT position = 0;
        ASSERT_EQ(implemented->GetContainingTypeLib(&container, &position), S_OK);
        const LibAttr attr(container);
        EXPECT_EQ(attr->guid, c.library);
        EXPECT_EQ(attr->wMajorVerNum, c.major);
        EXPECT_EQ(attr->wMinorVerNum, c.minor);
    }
}

}  // namespace
}  // namespace zorvane::test
