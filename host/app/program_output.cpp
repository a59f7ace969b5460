#include "host/app/program_output.h"

#include <string>

#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

bool Usable(HANDLE handle) noexcept {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

void WriteAll(HANDLE handle, const std::string& bytes) noexcept {
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

ProgramOutput::ProgramOutput() noexcept {
    standard_ = GetStdHandle(STD_OUTPUT_HANDLE);
    if (Usable(standard_)) return;
    // Started from a Windows console: a GUI program has to join it to print.
    standard_ = nullptr;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
        if (Usable(console)) {
            console_.reset(console);
            standard_ = console;
        }
    }
}

void ProgramOutput::AlsoWriteTo(const std::wstring& path) {
    file_.reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_.get() == INVALID_HANDLE_VALUE) {
        file_.release();
        win::ThrowHr(HRESULT_FROM_WIN32(GetLastError()), L"cannot create " + path);
    }
}

void ProgramOutput::Line(std::wstring_view text) noexcept {
    try {
        std::wstring line(text);
        line += L"\r\n";
        const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                             nullptr, 0, nullptr, nullptr);
        std::string bytes(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                            nullptr, nullptr);
        if (standard_ != nullptr) WriteAll(standard_, bytes);
        if (file_) WriteAll(file_.get(), bytes);
    } catch (...) {
        // Out of memory for one line: the line is lost, the run goes on.
    }
}

}  // namespace zorvane::host_app
