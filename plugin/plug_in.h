#pragma once
// clsVELTPlugIn, the class the host creates: its one creation function for the class table.
#include <windows.h>

namespace zorvane {

// Creates a clsVELTPlugIn and hands out its interface iid (the class-table signature).
HRESULT CreatePlugIn(REFIID iid, void** out) noexcept;

}  // namespace zorvane
