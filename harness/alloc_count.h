#pragma once
// Counts the heap allocations of the whole program. A program that links
// zarnik_alloc_count gets every form of the global operator new and delete
// replaced (plain, array, aligned, non-throwing) by ones over malloc() and
// free() that count each allocation, whichever container or string made it.
// Tests and benchmarks use it to show that a steady frame allocates nothing,
// and that a file costs no more memory than its budget: it also keeps the
// bytes in use through operator new and their highest level.
#include <cstdint>

namespace alloc_count {

// Allocations made by the process so far (by any thread).
int64_t allocations();

// Allocations made while `f` runs.
template <typename F>
int64_t allocations_during(F&& f) {
  const int64_t before = allocations();
  f();
  return allocations() - before;
}

// Bytes of the blocks operator new gave out that are still in use (as the C
// library sizes them), and the most there were at once since the last
// reset_peak().
int64_t bytes_in_use();
int64_t peak_bytes();
void reset_peak();

// The most bytes in use at once while `f` runs, above what was in use before.
template <typename F>
int64_t peak_bytes_during(F&& f) {
  const int64_t before = bytes_in_use();
  reset_peak();
  f();
  return peak_bytes() - before;
}

// Called after each counted allocation (nullptr: nothing). It may allocate
// itself, which is counted and calls it again, so it must guard against that.
using Observer = void (*)();
void set_observer(Observer observer);

}  // namespace alloc_count
