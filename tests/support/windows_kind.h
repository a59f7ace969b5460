#pragma once
// What tells a 32-bit build of ours from a 64-bit one: the facts its files and its
// registration must show. Tests take these from here, by the kind of the tree a file was
// built in, never from the file they check.
#include <windows.h>
#include <oaidl.h>

#include <string_view>

namespace zorvane::test {

struct WindowsKind {
    const char* name;             // "win32", "win64": ZORVANE_DLL_KIND, the tree's name
    const wchar_t* platform_key;  // below TypeLib\{libid}\<version>\<lcid> when registered
    WORD machine;                 // the PE file header's
    WORD optional_header_magic;   // PE32 or PE32+
    SYSKIND syskind;              // of the type libraries built for it
    unsigned pointer_bytes;       // a vtable slot, as its type libraries store offsets
    REGSAM registry_view;         // the registry view its programs see and write
};

inline constexpr WindowsKind kWin32{"win32", L"win32", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC,
                                    SYS_WIN32, 4, KEY_WOW64_32KEY};
inline constexpr WindowsKind kWin64{"win64", L"win64", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC,
                                    SYS_WIN64, 8, KEY_WOW64_64KEY};

// The kind of the program running: the tree it was built in.
#ifdef _WIN64
inline constexpr const WindowsKind& kThisProgram = kWin64;
#else
inline constexpr const WindowsKind& kThisProgram = kWin32;
#endif
static_assert(sizeof(void*) == kThisProgram.pointer_bytes);

// The kind of that name; null for any other name.
inline const WindowsKind* KindNamed(std::string_view name) {
    for (const WindowsKind* kind : {&kWin32, &kWin64}) {
        if (name == kind->name) return kind;
    }
    return nullptr;
}

// The offset of a vtable slot in a FUNCDESC as this program reads it. A type library of
// either kind is read in the reader's own pointer size (the loader scales the stored
// offsets), so a 32-bit library read here shows the same offsets as a 64-bit one.
inline constexpr SHORT ReadOffsetOfSlot(unsigned slot) {
    return static_cast<SHORT>(slot * kThisProgram.pointer_bytes);
}

}  // namespace zorvane::test
