#pragma once

#include <cstddef>

// Counts the heap that the process holds, for benchmarks: the executable
// that links heap_counter.cpp replaces malloc and friends with forwarders to
// the C library's own allocator (glibc only) that add up the sizes asked for.
// Single-threaded programs only.
namespace heap_counter {

// Bytes currently allocated, as asked for.
std::size_t Live();
// Forgets the peak so far; the next Peak() is the highest Live() from now on.
void ResetPeak();
// The highest Live() since the last ResetPeak().
std::size_t Peak();

}  // namespace heap_counter
