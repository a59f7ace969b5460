// The reliability programs' entry: one single-threaded apartment, as the host's
// user-interface thread has.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstring>

#include "tests/wine/reliability/test_main.h"

namespace zorvane::reliability {
namespace {
std::string g_locale;
}  // namespace

const std::string& ExpectedLocale() { return g_locale; }

}  // namespace zorvane::reliability

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--locale=", 9) == 0) zorvane::reliability::g_locale = argv[i] + 9;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
