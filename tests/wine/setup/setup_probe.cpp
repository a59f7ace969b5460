// What the setup tests need from inside the Wine prefix:
//   setup_probe hold <ProgID> <stop file> <released file>
//                                         creates the object as a host does, prints the path
//                                         of the DLL it came from, keeps it loaded until
//                                         <stop file> exists, then lets go of it and creates
//                                         <released file> (a script cannot stand in here:
//                                         Wine's WScript.Sleep and WScript.StdIn are stubs)
//   setup_probe lock <file> <stop file> <locked file>
//                                         holds <file> open, shared for reading only, so that
//                                         nobody deletes it, until <stop file> exists; creates
//                                         <locked file> once it holds it
//   setup_probe version <file>             prints the file's version block
//   setup_probe user-sid                   prints the SID of this process's user
//   setup_probe limited <program> <command line>
//                                         runs the program, as a user without administrator
//                                         rights: with this process's token but the
//                                         Administrators group for deny only, as UAC's filtered
//                                         token has it for an administrator who has not
//                                         elevated; waits and exits with its exit code
//   setup_probe gui <step>...              drives the setup's windows, one step after another:
//     window=<caption>  waits for an enabled top-level window whose caption starts so
//     box               waits for an enabled message box
//     show=<text>       waits until the current window shows a control containing <text>
//     texts             prints the class and text of each visible control of the current window
//     click=<text>|#id  clicks the current window's button with this text ('&' ignored) or id,
//                       once it is enabled
//     choose=<text>     clicks the current window's radio button whose text starts so
//     rect              prints the current window's screen rectangle
//     touch=<file>      creates <file>;  await=<file>  waits until <file> exists
//     gone              waits until the current window is closed
// Output is UTF-8; a step that waits in vain prints "timeout: <step>" and the top-level
// windows, and the probe exits with 1.
#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shellapi.h>
#include <wrl/client.h>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "win/handles.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr auto kPatience = std::chrono::seconds(60);

void Print(std::wstring_view text) {
    std::wstring line(text);
    line += L'\n';
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
}

std::wstring WindowText(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// A combo box shows its selected item, not its window text.
std::wstring ShownText(HWND control) {
    if (ClassName(control) != L"ComboBox") return WindowText(control);
    const LRESULT selected = SendMessageW(control, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return {};
    std::wstring text(static_cast<size_t>(SendMessageW(control, CB_GETLBTEXTLEN, selected, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(
        SendMessageW(control, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

std::wstring OneLine(std::wstring text) {
    std::wstring line;
    for (const wchar_t c : text) {
        if (c == L'\r') continue;
        line += c == L'\n' ? std::wstring(L" / ") : std::wstring(1, c);
    }
    return line;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM found) {
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectVisibleWindow(HWND window, LPARAM found) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> VisibleControls(HWND window) {
    std::vector<HWND> controls;
    EnumChildWindows(window, CollectVisibleWindow, reinterpret_cast<LPARAM>(&controls));
    return controls;
}

bool IsActiveTopLevel(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

// A message box: a dialog whose text sits in the static control with id 0xFFFF, and that
// holds no page dialog of its own (the setup's main window does).
bool IsMessageBox(HWND window) {
    if (ClassName(window) != L"#32770") return false;
    bool has_text = false;
    for (HWND control : VisibleControls(window)) {
        if (ClassName(control) == L"#32770") return false;
        if (GetDlgCtrlID(control) == 0xFFFF && ClassName(control) == L"Static") has_text = true;
    }
    return has_text;
}

void PrintTopLevelWindows() {
    for (HWND window : TopLevelWindows()) {
        if (!IsWindowVisible(window)) continue;
        Print(L"  top-level " + ClassName(window) + L" \"" + WindowText(window) + L"\"" +
              (IsWindowEnabled(window) ? L"" : L" (disabled)"));
        for (HWND control : VisibleControls(window)) {
            const std::wstring text = ShownText(control);
            if (!text.empty()) Print(L"    " + ClassName(control) + L": " + OneLine(text));
        }
    }
}

// Polls `ready` until it holds or patience runs out.
bool WaitFor(const std::function<bool()>& ready) {
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) return false;
        Sleep(50);
    }
    return true;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateEmptyFile(const std::wstring& path) {
    const HANDLE created =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    const zorvane::win::UniqueKernelHandle file(created == INVALID_HANDLE_VALUE ? nullptr : created);
    return static_cast<bool>(file);
}

std::wstring WithoutAmpersands(std::wstring text) {
    std::erase(text, L'&');
    return text;
}

class Gui {
public:
    bool Run(const std::wstring& step) {
        const size_t equals = step.find(L'=');
        const std::wstring name = step.substr(0, equals);
        const std::wstring value = equals == std::wstring::npos ? L"" : step.substr(equals + 1);
        if (name == L"window") return Window(value);
        if (name == L"box") return Box();
        if (name == L"show") return Show(value);
        if (name == L"texts") return Texts();
        if (name == L"click") return Click(value);
        if (name == L"choose") return Choose(value);
        if (name == L"rect") return Rect();
        if (name == L"touch") return CreateEmptyFile(value);
        if (name == L"await") return WaitFor([&] { return FileExists(value); });
        if (name == L"gone") return WaitFor([&] { return !IsWindow(current_); });
        Print(L"unknown step: " + step);
        return false;
    }

private:
    bool Window(const std::wstring& caption) {
        return Find([&](HWND window) { return IsActiveTopLevel(window) && WindowText(window).starts_with(caption); });
    }

    bool Box() {
        return Find([](HWND window) { return IsActiveTopLevel(window) && IsMessageBox(window); });
    }

    bool Find(const std::function<bool(HWND)>& wanted) {
        return WaitFor([&] {
            for (HWND window : TopLevelWindows()) {
                if (wanted(window)) {
                    current_ = window;
                    Print(L"window \"" + WindowText(window) + L"\"");
                    return true;
                }
            }
            return false;
        });
    }

    bool Show(const std::wstring& text) {
        return WaitFor([&] {
            for (HWND control : VisibleControls(current_)) {
                if (ShownText(control).find(text) != std::wstring::npos) return true;
            }
            return false;
        });
    }

    bool Texts() {
        for (HWND control : VisibleControls(current_)) {
            const std::wstring text = ShownText(control);
            if (!text.empty()) Print(L"  " + ClassName(control) + L": " + OneLine(text));
        }
        return true;
    }

    // Waits for the button to be enabled: a page may enable it only once its work is done.
    bool Click(const std::wstring& which) {
        const bool by_id = which.starts_with(L'#');
        const int id = by_id ? std::stoi(which.substr(1)) : 0;
        HWND button = nullptr;
        const bool found = WaitFor([&] {
            for (HWND control : VisibleControls(current_)) {
                if (ClassName(control) != L"Button" || !IsWindowEnabled(control)) continue;
                if (by_id ? GetDlgCtrlID(control) == id : WithoutAmpersands(WindowText(control)) == which) {
                    button = control;
                    return true;
                }
            }
            return false;
        });
        if (!found) {
            Print(L"no button " + which);
            return false;
        }
        // Posted, so that a box the click opens does not block the probe.
        PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        Print(L"clicked " + WithoutAmpersands(WindowText(button)));
        return true;
    }

    // A radio button checks itself only when clicked, not on its parent's notification.
    bool Choose(const std::wstring& text) {
        for (HWND control : VisibleControls(current_)) {
            if (ClassName(control) == L"Button" && IsWindowEnabled(control) &&
                WithoutAmpersands(WindowText(control)).starts_with(text)) {
                PostMessageW(control, BM_CLICK, 0, 0);
                Print(L"chose " + OneLine(WithoutAmpersands(WindowText(control))));
                return true;
            }
        }
        Print(L"no radio button " + text);
        return false;
    }

    bool Rect() {
        RECT rect{};
        if (!GetWindowRect(current_, &rect)) return false;
        Print(L"rect " + std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
              std::to_wstring(rect.right - rect.left) + L" " + std::to_wstring(rect.bottom - rect.top));
        return true;
    }

    HWND current_ = nullptr;
};

int DriveGui(const std::vector<std::wstring>& steps) {
    Gui gui;
    for (const std::wstring& step : steps) {
        if (!gui.Run(step)) {
            Print(L"timeout: " + step);
            PrintTopLevelWindows();
            return 1;
        }
    }
    return 0;
}

int Hold(const std::wstring& prog_id, const std::wstring& stop_file, const std::wstring& released_file) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int result = 0;
    {
        CLSID class_id{};
        ComPtr<IDispatch> object;
        HMODULE module = nullptr;
        wchar_t path[MAX_PATH] = {};
        if (FAILED(CLSIDFromProgID(prog_id.c_str(), &class_id)) ||
            FAILED(CoCreateInstance(class_id, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object))) ||
            // The object's table of methods lies in the DLL that made it.
            !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                *reinterpret_cast<LPCWSTR*>(object.Get()), &module) ||
            GetModuleFileNameW(module, path, MAX_PATH) == 0) {
            Print(L"cannot create " + prog_id);
            result = 1;
        } else {
            Print(std::wstring(L"loaded ") + path);
            while (!FileExists(stop_file)) Sleep(50);
        }
    }
    CoUninitialize();
    Print(L"released");
    // Only now: the DLL is unloaded with the apartment.
    CreateEmptyFile(released_file);
    return result;
}

int Lock(const std::wstring& file, const std::wstring& stop_file, const std::wstring& locked_file) {
    const HANDLE opened = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    const zorvane::win::UniqueKernelHandle held(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
    if (!held) {
        Print(L"cannot open " + file);
        return 1;
    }
    Print(L"locked " + file);
    CreateEmptyFile(locked_file);
    while (!FileExists(stop_file)) Sleep(50);
    return 0;
}

int RunLimited(const std::wstring& program, std::wstring command_line) {
    HANDLE own = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY, &own)) {
        Print(L"cannot open this process's token");
        return 1;
    }
    const zorvane::win::UniqueKernelHandle own_token(own);
    BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(administrators);
    HANDLE limited = nullptr;
    SID_AND_ATTRIBUTES deny_only{administrators, 0};
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) ||
        !CreateRestrictedToken(own_token.get(), 0, 1, &deny_only, 0, nullptr, 0, nullptr, &limited)) {
        Print(L"cannot make a token without administrator rights");
        return 1;
    }
    const zorvane::win::UniqueKernelHandle limited_token(limited);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessAsUserW(limited_token.get(), program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &started)) {
        Print(L"cannot start " + program);
        return 1;
    }
    const zorvane::win::UniqueKernelHandle process(started.hProcess);
    const zorvane::win::UniqueKernelHandle thread(started.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

int PrintUserSid() {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) return 1;
    const zorvane::win::UniqueKernelHandle token(opened);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    LPWSTR text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) {
        return 1;
    }
    Print(text);
    LocalFree(text);
    return 0;
}

int PrintVersion(const std::wstring& file) {
    DWORD ignored = 0;
    std::vector<BYTE> block(GetFileVersionInfoSizeW(file.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoW(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) {
        Print(L"no version block in " + file);
        return 1;
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) && fixed != nullptr) {
        const auto dotted = [](DWORD high, DWORD low) {
            return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
                   std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
        };
        Print(L"fixed FileVersion " + dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
        Print(L"fixed ProductVersion " + dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }
    struct Translation {
        WORD language;
        WORD code_page;
    };
    Translation* translations = nullptr;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &size)) {
        return 0;
    }
    for (UINT i = 0; i < size / sizeof(Translation); ++i) {
        wchar_t table[9] = {};
        wsprintfW(table, L"%04x%04x", translations[i].language, translations[i].code_page);
        for (const wchar_t* key : {L"ProductName", L"CompanyName", L"ProductVersion", L"FileVersion", L"FileDescription"}) {
            const std::wstring query = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + key;
            wchar_t* value = nullptr;
            UINT length = 0;
            if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) {
                Print(std::wstring(table) + L" " + key + L"=" + value);
            }
        }
    }
    return 0;
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> args(arguments + 1, arguments + count);
    LocalFree(arguments);
    if (args.size() == 4 && args[0] == L"hold") return Hold(args[1], args[2], args[3]);
    if (args.size() == 4 && args[0] == L"lock") return Lock(args[1], args[2], args[3]);
    if (args.size() == 2 && args[0] == L"version") return PrintVersion(args[1]);
    if (args.size() == 3 && args[0] == L"limited") return RunLimited(args[1], args[2]);
    if (args.size() == 1 && args[0] == L"user-sid") return PrintUserSid();
    if (!args.empty() && args[0] == L"gui") return DriveGui({args.begin() + 1, args.end()});
    Print(L"usage: setup_probe hold <ProgID> <stop file> <released file> | lock <file> <stop file> <locked file> | "
          L"version <file> | user-sid | limited <program> <command line> | gui <step>...");
    return 2;
}
