#pragma once

// Counts the heap allocations of a benchmark program by replacing the global allocation
// functions. Include it in exactly one source file of the program (the replacements are ordinary
// definitions) and read `allocationCount()` around the timed loop.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace kelvo::bench {

inline std::atomic<std::uint64_t> gAllocations{0};

inline std::uint64_t allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

// Kept out of line so the compiler does not pair the free with the built-in allocation it sees.
[[gnu::noinline]] inline void releaseBlock(void* block) noexcept { std::free(block); }

}  // namespace kelvo::bench

void* operator new(std::size_t size) {
    kelvo::bench::gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { kelvo::bench::releaseBlock(block); }
void operator delete[](void* block) noexcept { kelvo::bench::releaseBlock(block); }
void operator delete(void* block, std::size_t) noexcept { kelvo::bench::releaseBlock(block); }
void operator delete[](void* block, std::size_t) noexcept { kelvo::bench::releaseBlock(block); }
