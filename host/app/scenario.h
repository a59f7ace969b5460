#pragma once
// The main job's headless run: rules typed into the plug-in's own window, faders moved,
// the poll interval changed through Configure, clamping switched off and on, all while
// the host's call trace is printed; then a summary and screenshots. It runs twice: with
// the tool window floating beside the host, then docked in the host's pane.
#include <string>

#include "host/app/host_window.h"
#include "host/app/program_output.h"

namespace zorvane::host_app {

struct ScenarioRule {
    int channel;
    int minimum;
    int maximum;
    int fader;  // the value a person sets before the first tick
};

inline constexpr ScenarioRule kScenarioRules[] = {
    {5, 10, 200, 3},
    {7, 0, 100, 150},
    {12, 50, 50, 49},
};

// The rule whose fader is moved while clamping is off, and where it goes.
inline constexpr int kUnheldChannel = 7;
inline constexpr int kUnheldValue = 180;
inline constexpr wchar_t kIntervalBoxCaption[] = L"Plugin: Zorvane Einstellungen";
inline constexpr wchar_t kTypedInterval[] = L"250";
inline constexpr wchar_t kAboutCaption[] = L"Info zu Zorvane";

// Runs the scenario twice in a created host window, floating and docked; 0 when every
// expected call happened in both. Screenshots go to screenshot_dir when it is not empty.
int RunScenario(HostWindow& host, ProgramOutput& output, const std::wstring& screenshot_dir);

}  // namespace zorvane::host_app
