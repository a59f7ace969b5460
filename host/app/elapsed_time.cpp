#include "host/app/elapsed_time.h"

#include <windows.h>

namespace zorvane::host_app {

double ElapsedSeconds() {
    static const ULONGLONG start = GetTickCount64();
    return static_cast<double>(GetTickCount64() - start) / 1000.0;
}

}  // namespace zorvane::host_app
