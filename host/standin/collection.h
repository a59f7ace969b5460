#pragma once
// The host's collection as the stand-in has it, the one a module-information object
// hands out as its Capabilities: entries added at the end, before or after another, with
// or without a key, and read back by position or key. Its calls go into the record of
// the module information it belongs to.
#include <windows.h>
#include <wrl/client.h>

#include <memory>

#include "VELTTypeLib.h"
#include "host/standin/module_info_record.h"

namespace zorvane::standin {

Microsoft::WRL::ComPtr<IVELTCollection> MakeCollection(std::shared_ptr<ModuleInfoRecord> record);

}  // namespace zorvane::standin
