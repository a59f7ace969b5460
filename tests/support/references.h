#pragma once
// Reference counts as they stand, and checks of them that report the line they stand on.
#include <windows.h>
#include <unknwn.h>

namespace zorvane::test {

// The count as it stands: AddRef, then what Release answers.
inline ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace zorvane::test

// EXPECT_REF(object, count) << "why": GoogleTest's check, expanded where it is written so
// that a failure names that line. object is any COM interface pointer.
#define EXPECT_REF(object, count) \
    EXPECT_EQ(::zorvane::test::RefCount(object), static_cast<ULONG>(count)) << "references of " #object ": "
#define ASSERT_REF(object, count) \
    ASSERT_EQ(::zorvane::test::RefCount(object), static_cast<ULONG>(count)) << "references of " #object ": "
