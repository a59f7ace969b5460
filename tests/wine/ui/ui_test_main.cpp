// The UI tests' entry: an apartment for the windows and the host's type library
// registered (from the copy beside the program) when the prefix does not have it yet.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "VELTTypeLib.h"
#include "clamp/win32/velt_zorvane.h"
#include "ui/win32/window_instances.h"

namespace {

bool RegisterHostLibraryIfMissing() {
    ITypeLib* library = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(LIBID_VELTTypeLib, 2, 2, LOCALE_NEUTRAL, &library))) {
        library->Release();
        return true;
    }
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"VELTTypeLib.tlb";
    if (FAILED(LoadTypeLibEx(file.c_str(), REGKIND_REGISTER, &library))) return false;
    library->Release();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    if (!RegisterHostLibraryIfMissing()) {
        fprintf(stderr, "the host's type library could not be registered\n");
        return 2;
    }
    const int result = RUN_ALL_TESTS();
    zorvane::ui::ReleaseWindowInstances();
    zorvane::velt_zorvane::Release();
    CoUninitialize();
    return result;
}
