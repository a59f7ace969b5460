// The counters that the DLL's lifetime and soak tests measure with, read where the process
// keeps them, at the offsets of this program's kind: each must follow one object of its
// sort made and let go.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/support/resource_usage.h"
#include "win/handles.h"

namespace zorvane::test {
namespace {

struct TlsSlot {
    DWORD index = TlsAlloc();
    TlsSlot() = default;
    TlsSlot(const TlsSlot&) = delete;
    TlsSlot& operator=(const TlsSlot&) = delete;
    ~TlsSlot() {
        if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
    }
};

template <class Owner, class Handle>
std::shared_ptr<void> Held(Handle handle) {
    EXPECT_TRUE(handle != nullptr && handle != INVALID_HANDLE_VALUE);
    return std::make_shared<Owner>(handle);
}

TEST(ResourceUsageTest, EachCountFollowsAnObjectMadeAndLetGo) {
    // The thread's first window brings a window of the system's along; a child of this one
    // comes alone.
    const win::UniqueWindow holder(
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(holder);
    struct Row {
        const char* what;
        long ResourceUsage::*count;
        std::function<std::shared_ptr<void>()> make;
    };
    const Row rows[] = {
        {"a TLS slot", &ResourceUsage::tls_slots,
         [] {
             auto slot = std::make_shared<TlsSlot>();
             EXPECT_NE(slot->index, TLS_OUT_OF_INDEXES);
             return std::shared_ptr<void>(slot);
         }},
        {"a pen", &ResourceUsage::gdi_objects,
         [] { return Held<win::UniquePen>(CreatePen(PS_SOLID, 1, RGB(1, 2, 3))); }},
        {"a window", &ResourceUsage::user_objects,
         [&holder] {
             return Held<win::UniqueWindow>(
                 CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, holder.get(), nullptr, nullptr, nullptr));
         }},
        {"an event", &ResourceUsage::kernel_handles,
         [] { return Held<win::UniqueKernelHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const long before = SampleResources().*row.count;
        std::shared_ptr<void> object = row.make();
        const long with = SampleResources().*row.count;
        object.reset();
        const long after = SampleResources().*row.count;
        EXPECT_GE(before, 0);
        EXPECT_EQ(with, before + 1);
        EXPECT_EQ(after, before);
    }
}

}  // namespace
}  // namespace zorvane::test
