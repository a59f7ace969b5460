#include "win/this_module.h"

#include <vector>

#include "win/com_error.h"

namespace zorvane::win {

std::wstring ModuleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) ThrowHr(HRESULT_FROM_WIN32(GetLastError()));
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace zorvane::win
