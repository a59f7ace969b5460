// Replaces the global allocation functions; kept apart so that no caller sees their bodies.
// Standard C++ only: the native tests and the Windows ones count with it alike.
#include "tests/native/allocation_count.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};
}  // namespace

namespace zorvane::test {

void CountAllocations(bool on) noexcept {
    if (on) g_allocations = 0;
    g_counting = on;
}

int AllocationsCounted() noexcept { return g_allocations.load(); }

}  // namespace zorvane::test

void* operator new(std::size_t size) {
    if (g_counting.load()) ++g_allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
