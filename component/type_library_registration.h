#pragma once
// The type library's registration at a classes root. For the machine, oleaut32's
// RegisterTypeLib and UnRegisterTypeLib. For the user, the same keys written and removed by
// hand: the ...ForUser calls are not everywhere what their names say (Wine's write the
// machine's keys, and for a 64-bit library the 32-bit view's interfaces past any mapping of
// the classes root), and a user's registration touches nothing of the machine's.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "component/classes_root.h"
#include "component/component_model.h"

namespace zorvane::component {

// The keys registering the library writes: the library's own and its automation
// interfaces' (recorded for marshalling).
std::vector<std::wstring> LibraryKeys(const RegistrationRecord& record, ITypeLib* library);

// Where the library's file is recorded for one kind of program:
// TypeLib\{libid}\<major>.<minor>\<locale>\<win32|win64>, the numbers in hexadecimal.
std::wstring LibraryPathKey(const RegistrationRecord& record, SYSKIND kind);

void RegisterLibrary(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library,
                     std::wstring& path);

// The library's registration for the kind of program given; for the user, the parts both
// kinds share (the version's description, flags and help folder, the interfaces) go with the
// last kind.
void UnregisterLibrary(const ClassesRoot& root, const RegistrationRecord& record, ITypeLib* library,
                       SYSKIND kind);

}  // namespace zorvane::component
