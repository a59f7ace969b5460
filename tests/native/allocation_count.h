#pragma once
// Counts the program's C++ allocations while switched on.
namespace zorvane::test {

void CountAllocations(bool on) noexcept;
int AllocationsCounted() noexcept;

}  // namespace zorvane::test
