// What the statically linked C++ runtime holds for one load of the module, given back
// when the module is freed, so that a host may load and free it as often as it likes.
//
// The module's entry point wraps the C runtime's. Once that has finished a detach (static
// destructors, atexit functions, the unwinder's frames deregistered), no code of the
// runtime in this image runs again, and what it would leave behind is released:
// - the emergency pool libstdc++ keeps for exceptions thrown when memory is short
//   (about 18 KiB, allocated at load and otherwise never freed);
// - the per-thread exception state. libstdc++ keeps it in emulated thread-local storage,
//   whose TLS index and lock are never freed: after about a thousand loads the process
//   has no TLS index left and the next exception aborts it. Here it lives in a fiber-local
//   slot of the module instead; freeing the slot frees every thread's state.
// - on 32 bits, the lock of the unwinder's list of registered unwind tables: a semaphore
//   libgcc makes the first time tables are registered, keeps in a static of its own and
//   never closes. The module registers its tables once itself before the C runtime does,
//   so that the lock is made then, and catches the handle on its way (every call to
//   CreateSemaphoreW in this image goes through CreateSemaphoreSeen: the DLL is linked
//   with --wrap for its import). docs/RELIABILITY.md has the figures.
//
// On 32 bits (DWARF unwinding), the C runtime registers the module's unwind tables with the
// shared libgcc DLL instead of the unwinder linked in here when a host process already has
// that DLL loaded (another plug-in built with MinGW, say). Exceptions thrown in here are
// unwound by the unwinder linked in here, which would then find no tables and end the
// host's process; so in that case the tables are registered with it too, and deregistered
// before the module goes. On 64 bits the system unwinds from the image's own tables, and
// nothing is registered.
#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>

namespace __gnu_cxx {
void __freeres();  // libstdc++: frees the emergency pool
}

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, void* reserved);

#if defined(__i386__)
#define ZORVANE_REGISTERS_UNWIND_TABLES 1
// libgcc's registration of unwind tables, as linked into this module.
extern "C" void __register_frame_info(const void* tables, void* object);
extern "C" void* __deregister_frame_info(const void* tables);

// CreateSemaphoreW as this image imports it (its import slot), and what its calls reach
// instead: the names the linker's --wrap gives __imp__CreateSemaphoreW@16.
using CreateSemaphoreFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR);
extern "C" CreateSemaphoreFunction g_imported_create_semaphore __asm__("___real__imp__CreateSemaphoreW@16");
extern "C" CreateSemaphoreFunction g_create_semaphore_seen __asm__("___wrap__imp__CreateSemaphoreW@16");
#else
#define ZORVANE_REGISTERS_UNWIND_TABLES 0
#endif

namespace {

// The Itanium C++ ABI's __cxa_eh_globals: the exceptions caught and not yet finished, and
// the number thrown and not yet caught.
struct ExceptionState {
    void* caught_exceptions;
    unsigned int uncaught_exceptions;
};

DWORD g_exception_state_slot = FLS_OUT_OF_INDEXES;

#if ZORVANE_REGISTERS_UNWIND_TABLES

// The shared libgcc's name, as the C runtime looks it up when it registers the tables.
constexpr wchar_t kSharedLibgcc[] = L"libgcc_s_dw2-1.dll";

// Room for libgcc's bookkeeping of one table (its `struct object`, six words in GCC 12).
using TablesObject = unsigned char[16 * sizeof(void*)];
alignas(void*) TablesObject g_tables_object;
const void* g_registered_tables = nullptr;

// The unwinder's lock, once caught; closed when the module goes.
HANDLE g_unwinder_lock = nullptr;
bool g_catching_unwinder_lock = false;

// The module's unwind tables: its .eh_frame section (the name cut to eight characters).
const void* UnwindTables(HANDLE module) noexcept {
    auto* const base = static_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        if (std::memcmp(section->Name, ".eh_fram", 8) == 0) return base + section->VirtualAddress;
    }
    return nullptr;
}

HANDLE WINAPI CreateSemaphoreSeen(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
    const HANDLE semaphore = g_imported_create_semaphore(security, initial, maximum, name);
    if (g_catching_unwinder_lock && g_unwinder_lock == nullptr) g_unwinder_lock = semaphore;
    return semaphore;
}

// Registering and deregistering the module's tables makes the unwinder's lock, which the
// C runtime's registration and every exception then use.
void CatchUnwinderLock(HANDLE module) noexcept {
    const void* tables = UnwindTables(module);
    if (tables == nullptr) return;
    alignas(void*) TablesObject object;
    g_catching_unwinder_lock = true;
    __register_frame_info(tables, object);
    __deregister_frame_info(tables);
    g_catching_unwinder_lock = false;
}
#endif

void WINAPI FreeExceptionState(void* state) {
    if (state != nullptr) HeapFree(GetProcessHeap(), 0, state);
}

}  // namespace

#if ZORVANE_REGISTERS_UNWIND_TABLES
CreateSemaphoreFunction g_create_semaphore_seen = CreateSemaphoreSeen;
#endif

// The runtime's per-thread exception state; replaces libstdc++'s definition, which the
// linker then leaves out together with the emulated thread-local storage.
namespace __cxxabiv1 {
extern "C" {

__cxa_eh_globals* __cxa_get_globals() noexcept {
    void* state = FlsGetValue(g_exception_state_slot);
    if (state == nullptr) {
        state = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ExceptionState));
        // Without it no exception can be thrown or caught on this thread.
        if (state == nullptr) std::abort();
        if (!FlsSetValue(g_exception_state_slot, state)) {
            FreeExceptionState(state);
            std::abort();
        }
    }
    return static_cast<__cxa_eh_globals*>(state);
}

__cxa_eh_globals* __cxa_get_globals_fast() noexcept {
    return __cxa_get_globals();
}

}  // extern "C"
}  // namespace __cxxabiv1

// The module's entry point (linked with -e): the slot before anything of the runtime can
// throw, the release after the C runtime's detach. A detach at process end releases
// nothing: the process takes it all, and other threads may already be gone.
extern "C" BOOL WINAPI ZorvaneModuleEntry(HANDLE module, DWORD reason, void* reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_exception_state_slot = FlsAlloc(FreeExceptionState);
        if (g_exception_state_slot == FLS_OUT_OF_INDEXES) return FALSE;
#if ZORVANE_REGISTERS_UNWIND_TABLES
        CatchUnwinderLock(module);
#endif
    }
#if ZORVANE_REGISTERS_UNWIND_TABLES
    if (reason == DLL_PROCESS_DETACH && g_registered_tables != nullptr) {
        __deregister_frame_info(g_registered_tables);
        g_registered_tables = nullptr;
    }
#endif
    const BOOL result = DllMainCRTStartup(module, reason, reserved);
#if ZORVANE_REGISTERS_UNWIND_TABLES
    if (reason == DLL_PROCESS_ATTACH && result && GetModuleHandleW(kSharedLibgcc) != nullptr) {
        g_registered_tables = UnwindTables(module);
        if (g_registered_tables != nullptr) __register_frame_info(g_registered_tables, g_tables_object);
    }
#endif
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        __gnu_cxx::__freeres();
        if (g_exception_state_slot != FLS_OUT_OF_INDEXES) FlsFree(g_exception_state_slot);
        g_exception_state_slot = FLS_OUT_OF_INDEXES;
#if ZORVANE_REGISTERS_UNWIND_TABLES
        if (g_unwinder_lock != nullptr) CloseHandle(g_unwinder_lock);
        g_unwinder_lock = nullptr;
#endif
    }
    return result;
}
