#include "host/app/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

namespace zorvane::host_app {

std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& arguments,
                                        std::wstring& error) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        const bool has_value = i + 1 < arguments.size();
        if (argument == L"--scenario") {
            options.scenario = true;
        } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            options.help = true;
        } else if (argument == L"--screenshots" || argument == L"--output") {
            if (!has_value) {
                error = argument + L" needs a value";
                return std::nullopt;
            }
            (argument == L"--screenshots" ? options.screenshot_dir : options.output_file) = arguments[++i];
        } else {
            error = L"unknown argument: " + argument;
            return std::nullopt;
        }
    }
    return options;
}

std::vector<std::wstring> ProcessArguments() {
    struct FreeLocal {
        void operator()(LPWSTR* words) const noexcept { LocalFree(words); }
    };
    int count = 0;
    const std::unique_ptr<LPWSTR, FreeLocal> words(CommandLineToArgvW(GetCommandLineW(), &count));
    std::vector<std::wstring> arguments;
    if (!words) return arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(words.get()[i]);
    return arguments;
}

}  // namespace zorvane::host_app
