// A DLL built as Zorvane.dll is (in the DLL's own tree: same compiler and thread model,
// flags, static runtime and module entry) that does what every C++ DLL of ours does at
// least once: throw and catch an exception. Freeing and loading it again shows what the
// toolchain itself leaves behind per load.
#include <windows.h>

#include <stdexcept>
#include <string>

extern "C" __declspec(dllexport) int ThrowAndCatch(int value) {
    try {
        if (value > 0) throw std::runtime_error("probe");
    } catch (const std::exception& e) {
        return static_cast<int>(std::string(e.what()).size());
    }
    return 0;
}
