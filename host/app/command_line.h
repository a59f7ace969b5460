#pragma once
// What the stand-in host was asked to do on its command line.
#include <optional>
#include <string>
#include <vector>

namespace zorvane::host_app {

struct Options {
    bool scenario = false;            // run the headless scenario and exit
    std::wstring screenshot_dir;      // where the scenario saves its PNGs; empty: none
    std::wstring output_file;         // a copy of what is printed; empty: none
    bool help = false;
};

// The arguments after the program name. nullopt with `error` set for what it cannot read.
std::optional<Options> ParseCommandLine(const std::vector<std::wstring>& arguments,
                                        std::wstring& error);

// The arguments of this process after the program name.
std::vector<std::wstring> ProcessArguments();

inline constexpr wchar_t kUsage[] =
    L"standin_host.exe [--scenario] [--screenshots DIR] [--output FILE]\r\n"
    L"  no option       open the stand-in host for a person\r\n"
    L"  --scenario      run the headless scenario, the tool window floating, then docked;\r\n"
    L"                  exit 0 when the plug-in did its job in both\r\n"
    L"  --screenshots   save the windows of both runs as PNG files in DIR\r\n"
    L"  --output        also write what is printed to FILE\r\n";

}  // namespace zorvane::host_app
