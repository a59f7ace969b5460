#include "host/app/host_commands.h"

#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

std::wstring BoolText(bool value) { return value ? L"true" : L"false"; }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

HostCommands::HostCommands(CommandFrame& frame)
    : frame_(frame), host_(std::make_shared<standin::StandinHost>()), log_(host_), session_(host_) {}

HostCommands::~HostCommands() {
    ForgetToolWindow();
    session_.Unload();
}

void HostCommands::ForgetToolWindow() noexcept {
    tick_watch_.reset();
    tool_window_ = nullptr;
}

template <class Body>
bool HostCommands::Run(const wchar_t* what, Body&& body) {
    bool done = false;
    try {
        body();
        done = true;
    } catch (const win::ComError& error) {
        frame_.ShowFailure(what, error.description());
    } catch (...) {
        frame_.ShowFailure(what, L"unerwarteter Fehler");
    }
    frame_.CommandDone();
    return done;
}

bool HostCommands::LoadPlugin() {
    return Run(L"Plugin laden", [this] {
        ForgetToolWindow();
        session_.Load(kPlugInProgId);
        log_.Note(L"> CLSIDFromProgID " + Quoted(kPlugInProgId) + L" -> " + GuidText(session_.class_id()));
        log_.Note(L"> CoCreateInstance -> IVELTPlugin");
        log_.Note(L"> Init " + Quoted(PluginSession::kHostTitle) + L", " + Quoted(session_.file_name()) +
                  L", <helper> -> " + BoolText(session_.init_result()));
        log_.Note(L"> PluginName -> " + Quoted(session_.plugin_name()));
        const ModuleDescription& module = session_.module();
        log_.Note(L"> ModuleInfo -> ModuleName " + Quoted(module.name) + L", Configurable " +
                  BoolText(module.configurable) + L", ToolWindowName " + Quoted(module.tool_window_name));
        tool_window_ = session_.ToolWindowHandle();
        tick_watch_ = std::make_unique<TickWatch>(log_, tool_window_);
        session_.ShowToolWindow();
        log_.Note(L"> ToolWindow.Show");
    });
}

bool HostCommands::ShowToolWindow() {
    return Run(L"Werkzeugfenster", [this] {
        session_.ShowToolWindow();
        log_.Note(L"> ToolWindow.Show");
    });
}

bool HostCommands::Configure(bool* result) {
    return Run(L"Configure", [&] {
        log_.Note(L"> Configure");
        // The host's window is the active one while the plug-in asks for its settings.
        SetActiveWindow(frame_.window());
        const bool answer = session_.Configure();
        log_.Note(L"> Configure -> " + BoolText(answer));
        if (result != nullptr) *result = answer;
    });
}

bool HostCommands::Enable(bool* result) {
    return Run(L"Enable", [&] {
        const bool answer = session_.Enable();
        log_.Note(L"> Enable -> " + BoolText(answer));
        if (result != nullptr) *result = answer;
    });
}

bool HostCommands::Disable(bool* result) {
    return Run(L"Disable", [&] {
        const bool answer = session_.Disable();
        log_.Note(L"> Disable -> " + BoolText(answer));
        if (result != nullptr) *result = answer;
    });
}

bool HostCommands::Term(bool* result) {
    return Run(L"Term", [&] {
        const bool answer = session_.Term();
        log_.Note(L"> Term -> " + BoolText(answer));
        if (result != nullptr) *result = answer;
        // The host lets go of the plug-in after Term; its window goes out of sight.
        session_.HideToolWindow();
        ForgetToolWindow();
        session_.Unload();
        CoFreeUnusedLibraries();
        log_.Note(L"> Plugin freigegeben");
    });
}

bool HostCommands::ClearProjectData() {
    return Run(L"Projekt", [this] {
        session_.ClearProjectData();
        log_.Note(L"> ClearProjectData");
    });
}

bool HostCommands::LoadProjectData() {
    return Run(L"Projekt", [this] {
        session_.LoadProjectData();
        log_.Note(L"> LoadProjectData");
    });
}

bool HostCommands::SaveProjectData() {
    return Run(L"Projekt", [this] {
        session_.SaveProjectData();
        log_.Note(L"> SaveProjectData");
    });
}

bool HostCommands::AskToSaveProjectData(bool* result) {
    return Run(L"Projekt", [&] {
        const bool answer = session_.AskToSaveProjectData();
        log_.Note(L"> AskToSaveProjectData -> " + BoolText(answer));
        if (result != nullptr) *result = answer;
        frame_.ShowAnswer(L"AskToSaveProjectData", answer ? L"Das Plugin m\u00F6chte seine Projektdaten speichern."
                                                          : L"Das Plugin hat nichts zu speichern.");
    });
}

bool HostCommands::SetViewMode(long mode) {
    return Run(L"Projekt", [&] {
        session_.SetViewMode(mode);
        log_.Note(L"> ViewMode = " + std::to_wstring(mode));
    });
}

}  // namespace zorvane::host_app
