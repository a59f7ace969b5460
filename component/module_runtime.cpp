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
// The unwinder's own lock (one semaphore, created when the frames are registered) is out
// of reach inside libgcc and stays; docs/RELIABILITY.md has the figures.
#include <windows.h>

#include <cxxabi.h>

#include <cstdlib>

namespace __gnu_cxx {
void __freeres();  // libstdc++: frees the emergency pool
}

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, void* reserved);

namespace {

// The Itanium C++ ABI's __cxa_eh_globals: the exceptions caught and not yet finished, and
// the number thrown and not yet caught.
struct ExceptionState {
    void* caught_exceptions;
    unsigned int uncaught_exceptions;
};

DWORD g_exception_state_slot = FLS_OUT_OF_INDEXES;

void WINAPI FreeExceptionState(void* state) {
    if (state != nullptr) HeapFree(GetProcessHeap(), 0, state);
}

}  // namespace

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
    }
    const BOOL result = DllMainCRTStartup(module, reason, reserved);
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        __gnu_cxx::__freeres();
        if (g_exception_state_slot != FLS_OUT_OF_INDEXES) FlsFree(g_exception_state_slot);
        g_exception_state_slot = FLS_OUT_OF_INDEXES;
    }
    return result;
}
