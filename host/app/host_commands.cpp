#include "host/app/host_commands.h"

#include <cwchar>

#include "host/app/host_form.h"
#include "win/com_error.h"

namespace zorvane::host_app {
namespace {

std::wstring BoolText(bool value) { return value ? L"true" : L"false"; }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring PlaceText(const TwipsPlace& place) {
    return std::to_wstring(place.left) + L", " + std::to_wstring(place.top) + L", " + std::to_wstring(place.width) +
           L", " + std::to_wstring(place.height);
}

// Pixels and twips as forms count them: 1440 twips to the inch of the screen.
class ScreenScale {
public:
    ScreenScale() noexcept {
        HDC screen = GetDC(nullptr);
        x_ = GetDeviceCaps(screen, LOGPIXELSX);
        y_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    long TwipsX(int pixels) const noexcept { return MulDiv(pixels, 1440, x_); }
    long TwipsY(int pixels) const noexcept { return MulDiv(pixels, 1440, y_); }
    int PixelsX(long twips) const noexcept { return MulDiv(twips, x_, 1440); }
    int PixelsY(long twips) const noexcept { return MulDiv(twips, y_, 1440); }

private:
    int x_ = 96;
    int y_ = 96;
};

}  // namespace

std::wstring HandleText(HWND window) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08X", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

HostCommands::HostCommands(CommandFrame& frame)
    : frame_(frame), host_(std::make_shared<standin::StandinHost>()), log_(host_), session_(host_) {}

HostCommands::~HostCommands() {
    ForgetToolWindow();
    session_.Unload();
}

void HostCommands::ForgetToolWindow() noexcept {
    tick_watch_.reset();
    tool_window_ = nullptr;
    placed_window_ = nullptr;
}

HWND HostCommands::FollowToolWindow() {
    const HWND window = session_.ToolWindowHandle();
    if (window == tool_window_) return window;
    const bool renewed = tool_window_ != nullptr;
    ForgetToolWindow();
    tick_watch_ = std::make_unique<TickWatch>(log_, window);
    tool_window_ = window;
    if (renewed) log_.Note(L"> ToolWindow.hWnd -> " + HandleText(window) + L", a new window");
    return window;
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
        FollowToolWindow();
    });
}

void HostCommands::PlaceBesideFrame(TwipsPlace place) {
    const ScreenScale scale;
    RECT frame{};
    if (GetWindowRect(frame_.window(), &frame) &&
        frame.right + scale.PixelsX(place.width) <= GetSystemMetrics(SM_CXSCREEN)) {
        place.left = scale.TwipsX(frame.right);
        place.top = scale.TwipsY(frame.top);
    }
    session_.MoveToolWindow(place);
    log_.Note(L"> ToolWindow.Move " + PlaceText(place));
}

bool HostCommands::FloatToolWindow() {
    return Run(L"Werkzeugfenster", [this] {
        const HWND window = FollowToolWindow();
        if (docked_) {
            Undock(window, floating_frame_);
            docked_ = false;
            frame_.ClosePane();
            log_.Note(L"> SetParent " + HandleText(window) + L", <desktop> (its own style again)");
            PlaceBesideFrame(floating_place_);
            placed_window_ = window;
        } else if (window != placed_window_) {
            PlaceBesideFrame(session_.ToolWindowPlace());
            placed_window_ = window;
        }
        if (!frame_form_) frame_form_ = MakeHostForm(frame_.window());
        session_.ShowToolWindow(frame_form_.Get());
        log_.Note(L"> ToolWindow.Show 0, <Pult>");
    });
}

bool HostCommands::DockToolWindow() {
    return Run(L"Andocken", [this] {
        const HWND window = FollowToolWindow();
        if (!docked_) {
            const ScreenScale scale;
            const TwipsPlace floating = session_.ToolWindowPlace();
            const SIZE client = session_.ToolWindowClientSize();
            RECT area{};
            const HWND pane = frame_.OpenPane({scale.PixelsX(client.cx), scale.PixelsY(client.cy)},
                                              session_.ToolWindowCaption(), area);
            try {
                floating_frame_ = DockInto(window, pane);
            } catch (...) {
                frame_.ClosePane();
                throw;
            }
            floating_place_ = floating;
            docked_ = true;
            log_.Note(L"> SetParent " + HandleText(window) + L", <pane> (style WS_CHILD, no caption or frame)");
            const TwipsPlace place{scale.TwipsX(area.left), scale.TwipsY(area.top),
                                   scale.TwipsX(area.right - area.left), scale.TwipsY(area.bottom - area.top)};
            session_.MoveToolWindow(place);
            log_.Note(L"> ToolWindow.Move " + PlaceText(place));
        }
        session_.ShowToolWindow();
        log_.Note(L"> ToolWindow.Show");
    });
}

void HostCommands::PaneClosed() {
    if (!docked_) return;
    docked_ = false;
    // The window went with the pane: its ticks are over, and the next window the plug-in
    // makes is another, to be watched and placed afresh (the old handle stays to tell).
    tick_watch_.reset();
    placed_window_ = nullptr;
    log_.Note(L"> pane closed, the tool window with it");
    frame_.CommandDone();
}

bool HostCommands::Ask(const wchar_t* name, bool (PluginSession::*call)(), bool* result) {
    const bool answer = (session_.*call)();
    log_.Note(L"> " + std::wstring(name) + L" -> " + BoolText(answer));
    if (result != nullptr) *result = answer;
    return answer;
}

bool HostCommands::Configure(bool* result) {
    return Run(L"Configure", [&] {
        log_.Note(L"> Configure");
        // The host's window is the active one while the plug-in asks for its settings.
        SetActiveWindow(frame_.window());
        Ask(L"Configure", &PluginSession::Configure, result);
    });
}

bool HostCommands::Enable(bool* result) {
    return Run(L"Enable", [&] {
        Ask(L"Enable", &PluginSession::Enable, result);
    });
}

bool HostCommands::Disable(bool* result) {
    return Run(L"Disable", [&] {
        Ask(L"Disable", &PluginSession::Disable, result);
    });
}

bool HostCommands::Term(bool* result) {
    return Run(L"Term", [&] {
        Ask(L"Term", &PluginSession::Term, result);
        // The host lets go of the plug-in after Term. Its window, loaded, would keep the
        // component in memory with its rules and interval: the host closes it (with its
        // pane when docked, as the close box does when floating), so that the component
        // can be freed and the next "Plugin laden" starts afresh.
        if (docked_) {
            docked_ = false;
            frame_.ClosePane();
            log_.Note(L"> pane closed, the tool window with it");
        } else if (tool_window_ != nullptr && IsWindow(tool_window_)) {
            SendMessageW(tool_window_, WM_CLOSE, 0, 0);
            log_.Note(L"> WM_CLOSE to the tool window");
        }
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
        const bool answer = Ask(L"AskToSaveProjectData", &PluginSession::AskToSaveProjectData, result);
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
