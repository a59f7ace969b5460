// standin_host.exe: the stand-in host for a person, or the main job's headless scenario.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "host/app/command_line.h"
#include "host/app/elapsed_time.h"
#include "host/app/host_window.h"
#include "host/app/program_output.h"
#include "host/app/scenario.h"
#include "win/com_error.h"

namespace {

using namespace zorvane::host_app;

// The host's thread is a single-threaded apartment, as the plug-in's windows need.
class OleApartment {
public:
    OleApartment() : hr_(OleInitialize(nullptr)) { zorvane::win::ThrowIfFailed(hr_); }
    ~OleApartment() {
        if (SUCCEEDED(hr_)) OleUninitialize();
    }
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

private:
    HRESULT hr_;
};

int RunForPerson(int show) {
    HostWindow host(false);
    host.Create(show);
    host.LoadPlugin();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (host.handle() != nullptr && IsDialogMessageW(host.handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

int Run(int show) {
    ElapsedSeconds();  // the log's times count from the start
    ProgramOutput output;
    std::wstring error;
    const auto options = ParseCommandLine(ProcessArguments(), error);
    if (!options) {
        output.Line(error);
        output.Line(kUsage);
        return 64;
    }
    if (options->help) {
        output.Line(kUsage);
        return 0;
    }
    if (!options->output_file.empty()) output.AlsoWriteTo(options->output_file);

    const OleApartment apartment;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!options->scenario) return RunForPerson(show);

    HostWindow host(true);
    host.Create(SW_SHOW);
    return RunScenario(host, output, options->screenshot_dir);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    try {
        return Run(show);
    } catch (const zorvane::win::ComError& error) {
        ProgramOutput().Line(L"standin_host: " + error.description());
    } catch (...) {
        ProgramOutput().Line(L"standin_host: unexpected failure");
    }
    return 70;
}
