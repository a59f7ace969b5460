#include "tests/wine/component/windows_imports.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace zorvane::test {
namespace {

struct Import {
    std::string_view library;
    std::string_view function;
    WindowsVersion brought_by;
};

// Our imports that Windows XP lacks, with the release that first exported each by name.
// The 64-bit kind was born with 5.2, which already has some of them.
constexpr Import kNewerThanXp[] = {
    {"advapi32.dll", "RegDeleteKeyExW", {6, 0}},  // 5.2 on 64 bits only
    {"advapi32.dll", "RegDeleteTreeW", {6, 0}},
    {"advapi32.dll", "RegGetValueW", {6, 0}},  // 5.2 on 64 bits only
    {"kernel32.dll", "CompareStringOrdinal", {6, 0}},
    {"kernel32.dll", "FlsAlloc", {5, 2}},
    {"kernel32.dll", "FlsFree", {5, 2}},
    {"kernel32.dll", "FlsGetValue", {5, 2}},
    {"kernel32.dll", "FlsSetValue", {5, 2}},
    {"shlwapi.dll", "SHCreateMemStream", {6, 0}},  // XP had it by ordinal only
};

// Everything else we import, each present in Windows XP (and in 64-bit 5.2). A function not
// in either table fails the test until someone looks up the Windows that brought it.
constexpr std::string_view kInXp[][2] = {
    {"advapi32.dll", "RegCloseKey"}, {"advapi32.dll", "RegCreateKeyExW"}, {"advapi32.dll", "RegDeleteKeyW"},
    {"advapi32.dll", "RegDeleteValueW"},
    {"advapi32.dll", "RegEnumKeyExW"}, {"advapi32.dll", "RegEnumValueW"}, {"advapi32.dll", "RegOpenKeyExW"},
    {"advapi32.dll", "RegQueryInfoKeyW"}, {"advapi32.dll", "RegSetValueExW"},
    {"comctl32.dll", "DefSubclassProc"}, {"comctl32.dll", "RemoveWindowSubclass"},
    {"comctl32.dll", "SetWindowSubclass"},
    {"gdi32.dll", "BitBlt"}, {"gdi32.dll", "CreateCompatibleDC"}, {"gdi32.dll", "CreateFontIndirectW"},
    {"gdi32.dll", "CreatePen"}, {"gdi32.dll", "DeleteDC"}, {"gdi32.dll", "DeleteObject"},
    {"gdi32.dll", "GetDeviceCaps"}, {"gdi32.dll", "GetObjectW"}, {"gdi32.dll", "GetTextFaceW"},
    {"gdi32.dll", "LineTo"}, {"gdi32.dll", "MoveToEx"}, {"gdi32.dll", "SelectObject"},
    {"kernel32.dll", "CloseHandle"}, {"kernel32.dll", "CreateSemaphoreW"},
    {"kernel32.dll", "DeleteCriticalSection"}, {"kernel32.dll", "DisableThreadLibraryCalls"},
    {"kernel32.dll", "EnterCriticalSection"}, {"kernel32.dll", "FindResourceW"}, {"kernel32.dll", "FormatMessageW"},
    {"kernel32.dll", "FreeLibrary"}, {"kernel32.dll", "GetCurrentProcess"}, {"kernel32.dll", "GetCurrentThreadId"},
    {"kernel32.dll", "GetFullPathNameW"}, {"kernel32.dll", "GetLastError"}, {"kernel32.dll", "GetLocaleInfoW"},
    {"kernel32.dll", "GetLongPathNameW"}, {"kernel32.dll", "GetModuleFileNameW"},
    {"kernel32.dll", "GetModuleHandleA"}, {"kernel32.dll", "GetModuleHandleW"}, {"kernel32.dll", "GetProcAddress"},
    {"kernel32.dll", "GetProcessHeap"}, {"kernel32.dll", "HeapAlloc"}, {"kernel32.dll", "HeapFree"},
    {"kernel32.dll", "InitializeCriticalSection"}, {"kernel32.dll", "IsDBCSLeadByteEx"},
    {"kernel32.dll", "IsWow64Process"}, {"kernel32.dll", "LeaveCriticalSection"}, {"kernel32.dll", "LoadLibraryA"},
    {"kernel32.dll", "LoadLibraryW"}, {"kernel32.dll", "LoadResource"}, {"kernel32.dll", "LocalFree"},
    {"kernel32.dll", "LockResource"}, {"kernel32.dll", "MulDiv"}, {"kernel32.dll", "MultiByteToWideChar"},
    {"kernel32.dll", "OutputDebugStringW"}, {"kernel32.dll", "RaiseException"}, {"kernel32.dll", "ReleaseSemaphore"},
    {"kernel32.dll", "RtlCaptureContext"}, {"kernel32.dll", "RtlLookupFunctionEntry"},
    {"kernel32.dll", "RtlUnwindEx"}, {"kernel32.dll", "RtlVirtualUnwind"}, {"kernel32.dll", "SetLastError"},
    {"kernel32.dll", "SizeofResource"}, {"kernel32.dll", "Sleep"}, {"kernel32.dll", "TlsAlloc"},
    {"kernel32.dll", "TlsFree"}, {"kernel32.dll", "TlsGetValue"}, {"kernel32.dll", "TlsSetValue"},
    {"kernel32.dll", "VirtualProtect"}, {"kernel32.dll", "VirtualQuery"}, {"kernel32.dll", "WaitForSingleObject"},
    {"kernel32.dll", "WideCharToMultiByte"},
    {"msvcrt.dll", "___lc_codepage_func"}, {"msvcrt.dll", "___mb_cur_max_func"}, {"msvcrt.dll", "__iob_func"},
    {"msvcrt.dll", "__mb_cur_max"}, {"msvcrt.dll", "_amsg_exit"}, {"msvcrt.dll", "_close"},
    {"msvcrt.dll", "_errno"}, {"msvcrt.dll", "_initterm"}, {"msvcrt.dll", "_iob"}, {"msvcrt.dll", "_lock"},
    {"msvcrt.dll", "_read"}, {"msvcrt.dll", "_unlock"}, {"msvcrt.dll", "_wcsicmp"}, {"msvcrt.dll", "abort"},
    {"msvcrt.dll", "atoi"}, {"msvcrt.dll", "calloc"}, {"msvcrt.dll", "fputc"}, {"msvcrt.dll", "fputs"},
    {"msvcrt.dll", "fputwc"}, {"msvcrt.dll", "free"}, {"msvcrt.dll", "fwprintf"}, {"msvcrt.dll", "fwrite"},
    {"msvcrt.dll", "localeconv"}, {"msvcrt.dll", "malloc"}, {"msvcrt.dll", "memchr"}, {"msvcrt.dll", "memcmp"},
    {"msvcrt.dll", "memcpy"}, {"msvcrt.dll", "memmove"}, {"msvcrt.dll", "memset"}, {"msvcrt.dll", "realloc"},
    {"msvcrt.dll", "setlocale"}, {"msvcrt.dll", "strchr"}, {"msvcrt.dll", "strcmp"}, {"msvcrt.dll", "strerror"},
    {"msvcrt.dll", "strlen"}, {"msvcrt.dll", "strncmp"}, {"msvcrt.dll", "vfprintf"}, {"msvcrt.dll", "wcslen"},
    {"msvcrt.dll", "wcsncpy"},
    {"ole32.dll", "CoCreateInstance"}, {"ole32.dll", "CreateErrorInfo"}, {"ole32.dll", "GetErrorInfo"},
    {"ole32.dll", "SetErrorInfo"}, {"ole32.dll", "StringFromGUID2"},
    {"oleaut32.dll", "DispGetIDsOfNames"}, {"oleaut32.dll", "LoadRegTypeLib"}, {"oleaut32.dll", "LoadTypeLibEx"},
    {"oleaut32.dll", "OleLoadPicture"}, {"oleaut32.dll", "RegisterTypeLib"}, {"oleaut32.dll", "SysAllocStringLen"},
    {"oleaut32.dll", "SysFreeString"}, {"oleaut32.dll", "SysStringLen"}, {"oleaut32.dll", "UnRegisterTypeLib"},
    {"oleaut32.dll", "VarR8FromDec"}, {"oleaut32.dll", "VariantChangeType"}, {"oleaut32.dll", "VariantChangeTypeEx"},
    {"oleaut32.dll", "VariantClear"}, {"oleaut32.dll", "VariantCopy"}, {"oleaut32.dll", "VariantCopyInd"},
    {"oleaut32.dll", "VariantInit"},
    {"user32.dll", "AdjustWindowRectEx"}, {"user32.dll", "BeginPaint"}, {"user32.dll", "CallNextHookEx"},
    {"user32.dll", "CreateWindowExW"}, {"user32.dll", "DefWindowProcW"}, {"user32.dll", "DestroyWindow"},
    {"user32.dll", "DialogBoxIndirectParamW"}, {"user32.dll", "DispatchMessageW"}, {"user32.dll", "DrawTextW"},
    {"user32.dll", "EnableWindow"}, {"user32.dll", "EndDialog"}, {"user32.dll", "EndPaint"},
    {"user32.dll", "FillRect"}, {"user32.dll", "GetActiveWindow"}, {"user32.dll", "GetAncestor"},
    {"user32.dll", "GetClassInfoExW"}, {"user32.dll", "GetClassNameW"}, {"user32.dll", "GetClientRect"},
    {"user32.dll", "GetDC"}, {"user32.dll", "GetDesktopWindow"}, {"user32.dll", "GetDlgCtrlID"},
    {"user32.dll", "GetDlgItem"}, {"user32.dll", "GetFocus"}, {"user32.dll", "GetMessageW"},
    {"user32.dll", "GetMonitorInfoW"}, {"user32.dll", "GetSysColorBrush"}, {"user32.dll", "GetSystemMetrics"},
    {"user32.dll", "GetWindow"}, {"user32.dll", "GetWindowLongPtrW"}, {"user32.dll", "GetWindowLongW"},
    {"user32.dll", "GetWindowRect"}, {"user32.dll", "GetWindowTextLengthW"}, {"user32.dll", "GetWindowTextW"},
    {"user32.dll", "InflateRect"}, {"user32.dll", "IsChild"}, {"user32.dll", "IsDialogMessageW"},
    {"user32.dll", "IsIconic"}, {"user32.dll", "IsWindow"}, {"user32.dll", "IsWindowEnabled"},
    {"user32.dll", "IsWindowVisible"}, {"user32.dll", "IsZoomed"}, {"user32.dll", "KillTimer"},
    {"user32.dll", "LoadCursorW"}, {"user32.dll", "MapWindowPoints"}, {"user32.dll", "MessageBoxW"},
    {"user32.dll", "MonitorFromRect"}, {"user32.dll", "MonitorFromWindow"}, {"user32.dll", "PostQuitMessage"},
    {"user32.dll", "RedrawWindow"}, {"user32.dll", "RegisterClassExW"}, {"user32.dll", "ReleaseDC"},
    {"user32.dll", "SendDlgItemMessageW"}, {"user32.dll", "SendMessageW"}, {"user32.dll", "SetFocus"},
    {"user32.dll", "SetForegroundWindow"}, {"user32.dll", "SetTimer"}, {"user32.dll", "SetWindowLongPtrW"},
    {"user32.dll", "SetWindowLongW"}, {"user32.dll", "SetWindowPos"}, {"user32.dll", "SetWindowTextW"},
    {"user32.dll", "SetWindowsHookExW"}, {"user32.dll", "ShowWindow"}, {"user32.dll", "SystemParametersInfoW"},
    {"user32.dll", "TranslateMessage"}, {"user32.dll", "UnhookWindowsHookEx"}, {"user32.dll", "UnregisterClassW"},
};

bool SameLibrary(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::optional<WindowsVersion> WindowsVersionThatBrought(std::string_view library, std::string_view function) {
    for (const Import& known : kNewerThanXp) {
        if (SameLibrary(known.library, library) && known.function == function) return known.brought_by;
    }
    for (const auto& known : kInXp) {
        if (SameLibrary(known[0], library) && known[1] == function) return kWindowsXp;
    }
    return std::nullopt;
}

}  // namespace zorvane::test
