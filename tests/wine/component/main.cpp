#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

// One single-threaded apartment for every test, as the host's user-interface thread.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
