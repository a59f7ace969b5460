#pragma once
// The real Zorvane.dll as a host meets it: created through COM by its programmatic
// identifier, initialised with a helper, its module information and rule editor reached
// as the host reaches them, its exports found on the loaded module, and the ticks of its
// timer dispatched one at a time so that each tick can be checked on its own.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "VELTTypeLib.h"

namespace zorvane::reliability {

using Microsoft::WRL::ComPtr;

inline constexpr wchar_t kProgId[] = L"Zorvane.clsVELTPlugIn";
inline constexpr wchar_t kModuleFile[] = L"Zorvane.dll";

// The reference count as it stands (AddRef, then what Release answers).
ULONG CountOf(IUnknown* object);

// CLSIDFromProgID and CoCreateInstance, as the host creates the plug-in; throws on failure.
ComPtr<IVELTPlugin> CreatePlugIn();

// Init with the helper (null: an empty reference), passed by reference as the host
// passes it. Returns Init's answer; throws when the call itself fails.
bool InitPlugIn(IVELTPlugin* plugin, IVELTPluginHelper* helper);

// ModuleInfo on the plug-in's IVELTModule, its HRESULT as it came.
HRESULT ReadModuleInfo(IVELTPlugin* plugin, IVELTModuleInfo** info);
// ModuleInfo that must succeed; throws otherwise.
ComPtr<IVELTModuleInfo> ModuleInfoOf(IVELTPlugin* plugin);
ComPtr<IDispatch> ToolWindowOf(IVELTModuleInfo* info);

// A member called by name, without arguments, as the host calls the tool window.
HRESULT InvokeByName(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* result);
// The tool window's hWnd (which loads the window) and Show; both throw on failure.
HWND WindowOf(IDispatch* tool);
void ShowToolWindow(IDispatch* tool);

// Configure through the vtable; Configure's answer. The caller answers the boxes.
bool Configure(IVELTPlugin* plugin);

// The plug-in as a host brings it up: created, Init with the helper, ModuleInfo read,
// the tool window shown.
struct OpenedPlugIn {
    ComPtr<IVELTPlugin> plugin;
    ComPtr<IVELTModuleInfo> info;
    ComPtr<IDispatch> tool;
    HWND window = nullptr;

    static OpenedPlugIn Open(IVELTPluginHelper* helper);  // throws on any failed step
    // Closes the rule editor and lets go of everything held; the module may unload then.
    void Close() noexcept;
};

// The module loaded under its file name in this process, or null.
HMODULE LoadedModule();
// DllCanUnloadNow of a loaded module, found with GetProcAddress.
HRESULT CanUnloadNow(HMODULE module);

// Texts longer than this are not set into an edit control but answered for it (see
// AnswerTextOf): Wine's edit control takes time quadratic in the length to take a text
// (100 000 characters: over 6 s), where Windows' takes a million at once.
inline constexpr std::size_t kLongestTypedText = 20'000;

// Empties the edit and makes it answer WM_GETTEXT and WM_GETTEXTLENGTH with the text,
// as if it held it, until its text is set again or it is destroyed.
void AnswerTextOf(HWND edit, std::wstring text);

// Sets the text of an edit as pasting would; a longer text than kLongestTypedText is
// answered for it instead.
void SetEditText(HWND edit, std::wstring_view text);

// The rule editor's controls, found by their identifiers.
struct RuleEditor {
    explicit RuleEditor(HWND editor);

    HWND window;
    HWND channel_text, minimum_text, maximum_text;
    HWND channel_list, minimum_list, maximum_list;
    HWND add_button, delete_button, enabled_check;

    std::vector<std::wstring> Rows(HWND list) const;
    // The three lists, row by row: {channel, minimum, maximum}.
    std::vector<std::vector<std::wstring>> Table() const;
    void Type(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum) const;
    // Types the three texts and clicks "Werte hinzufügen".
    void Add(std::wstring_view channel, std::wstring_view minimum, std::wstring_view maximum) const;
    // Selects the last row in the three lists and clicks "Markierten Eintrag löschen".
    void DeleteLastRow() const;
};

// Dispatches this thread's messages until one WM_TIMER of the editor's Timer1 has been
// dispatched (true), or the time is up (false). Other messages are dispatched as they come.
bool RunOneTick(HWND editor, DWORD timeout_ms = 3000);

// Counts the editor's ticks dispatched while pumping for the given time.
int CountTicks(HWND editor, DWORD milliseconds);

// What the process writes to the debugger output while this lives (OutputDebugString
// raises an exception that a vectored handler sees first). One object at a time.
class DebugOutput {
public:
    DebugOutput();
    ~DebugOutput();
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    // Lines starting with prefix, oldest first, without their line break.
    std::vector<std::string> Lines(std::string_view prefix = "Zorvane:") const;
    void Clear();

private:
    void* handler_;
};

// The text of a tick failure line for this code: "Zorvane: Timer1 tick failed (0x80020005)".
std::string TickFailureHead(HRESULT code);

}  // namespace zorvane::reliability
