// The class object and the module's unload answer, through the DLL's own exports.
#include <gtest/gtest.h>

#include <functional>

#include "tests/wine/component/component_support.h"

namespace zorvane::test {
namespace {

IUnknown* const kJunk = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(0xDEADBEEF));

class ClassObjectTest : public testing::Test {
protected:
    ZorvaneDll dll_;
};

TEST_F(ClassObjectTest, OnlyThePlugInClassIsServed) {
    struct Case {
        const char* what;
        GUID class_id;
    };
    const Case cases[] = {
        {"the type library's identifier", kLibraryId},
        {"the default interface's identifier", __uuidof(_clsVELTPlugIn)},
        {"the host's module-information class", CLSID_VELTModuleInfo},
        {"no identifier", GUID_NULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        void* out = kJunk;
        EXPECT_EQ(dll_.GetClassObject(c.class_id, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
        EXPECT_EQ(out, nullptr);
    }
}

TEST_F(ClassObjectTest, ServesTheFactoryAsIClassFactoryOrIUnknown) {
    for (const IID& iid : {IID_IClassFactory, IID_IUnknown}) {
        ComPtr<IUnknown> factory;
        ASSERT_EQ(dll_.GetClassObject(kPlugInClassId, iid, reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
        ComPtr<IClassFactory> as_factory;
        EXPECT_EQ(factory.As(&as_factory), S_OK);
    }
    void* out = kJunk;
    EXPECT_EQ(dll_.GetClassObject(kPlugInClassId, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ClassObjectTest, RefusesAggregation) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll_.GetClassObject(kPlugInClassId, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IUnknown> outer = CreatePlugIn<IUnknown>();
    ASSERT_TRUE(outer);
    void* out = kJunk;
    EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ClassObjectTest, EachCreationMakesANewObject) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll_.GetClassObject(kPlugInClassId, IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IUnknown> first;
    ComPtr<IUnknown> second;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&first)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&second)), S_OK);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(CountOf(first.Get()), 1u);
    void* out = kJunk;
    EXPECT_EQ(factory->CreateInstance(nullptr, __uuidof(IVELTTool), &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

// Each row holds the module through one kind of holder; dropping it lets it go.
TEST_F(ClassObjectTest, CanUnloadOnlyWhenNothingIsHeld) {
    ASSERT_EQ(dll_.CanUnloadNow(), S_OK) << "an earlier test left something alive";

    struct Holder {
        const char* what;
        std::function<ComPtr<IUnknown>(IClassFactory*)> take;
        std::function<void(IClassFactory*)> drop;
    };
    const Holder holders[] = {
        {"a plug-in object",
         [](IClassFactory* factory) {
             ComPtr<IUnknown> object;
             factory->CreateInstance(nullptr, IID_PPV_ARGS(&object));
             return object;
         },
         [](IClassFactory*) {}},
        {"a lock on the class object",
         [](IClassFactory* factory) {
             factory->LockServer(TRUE);
             return ComPtr<IUnknown>();
         },
         [](IClassFactory* factory) { factory->LockServer(FALSE); }},
    };
    for (const Holder& holder : holders) {
        SCOPED_TRACE(holder.what);
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(dll_.GetClassObject(kPlugInClassId, IID_PPV_ARGS(&factory)), S_OK);
        EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE) << "the class object itself";
        ComPtr<IUnknown> held = holder.take(factory.Get());
        factory.Reset();
        EXPECT_EQ(dll_.CanUnloadNow(), S_FALSE);

        ASSERT_EQ(dll_.GetClassObject(kPlugInClassId, IID_PPV_ARGS(&factory)), S_OK);
        holder.drop(factory.Get());
        factory.Reset();
        held.Reset();
        EXPECT_EQ(dll_.CanUnloadNow(), S_OK);
    }
}

}  // namespace
}  // namespace zorvane::test
