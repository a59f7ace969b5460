#pragma once
// ModuleInfo: a new host module-information object, filled in and handed over.
#include <wrl/client.h>

#include "VELTTypeLib.h"

namespace zorvane {

// Creates the host's module-information object and fills it, each call's result tested
// before the next; also creates the rule editor window instance if there is none.
// Throws win::ComError at the first failing step; the partly filled object is released.
Microsoft::WRL::ComPtr<IVELTModuleInfo> CreateModuleInfo();

}  // namespace zorvane
