#pragma once
// The host's main window as a form object, for `Show 0, <form>`: a plain IDispatch
// whose one member, hWnd, answers the window's handle, as a host's form does.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

namespace zorvane::host_app {

// The form object of a window; it reads the handle whenever asked.
Microsoft::WRL::ComPtr<IDispatch> MakeHostForm(HWND window);

}  // namespace zorvane::host_app
