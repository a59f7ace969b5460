#pragma once
// The type library's registration at a classes root, written and removed by hand: the keys
// oleaut32's RegisterTypeLib writes, at the root given. oleaut32's own calls cannot be told a
// root: RegisterTypeLib writes through the merged HKEY_CLASSES_ROOT, and Wine's
// RegisterTypeLibForUser is the same call.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "component/classes_root.h"
#include "component/component_model.h"

namespace zorvane::component {

// The keys registering the library writes: the library's own and its automation interfaces'
// (recorded for marshalling), these in both registry views where there are two.
std::vector<ClassesKey> LibraryKeys(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library);

// Where the library's file is recorded for one kind of program:
// TypeLib\{libid}\<major>.<minor>\<locale>\<win32|win64>, the numbers in hexadecimal.
std::wstring LibraryPathKey(const RegistrationRecord& record, SYSKIND kind);

void RegisterLibrary(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library,
                     const std::wstring& path);

// The library's registration for the kind of program given; the parts both kinds share (the
// version's description, flags and help folder, the interfaces) go with the last kind.
void UnregisterLibrary(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library,
                       SYSKIND kind);

}  // namespace zorvane::component
