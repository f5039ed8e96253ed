#pragma once

// Per-thread scratch records: taken from page memory the first time a thread asks, built in
// place, and kept until the process ends. Canvas work allocates nothing per event; scratch records
// too big for the stack live here.

#include <cstddef>
#include <cstdint>
#include <new>

namespace kelvo {

// Zero-filled pages of `bytes` bytes; stops the process with "out of memory allocating per-thread
// canvas scratch" when they cannot be had.
void* allocateCanvasScratchPages(std::size_t bytes);

// Whether two byte ranges share a byte: a copy whose source overlaps its target goes through
// scratch. Compared as addresses, so unrelated objects may be asked about.
inline bool bytesOverlap(const void* a, std::size_t aBytes, const void* b, std::size_t bBytes) {
    if (a == nullptr || b == nullptr || aBytes == 0 || bBytes == 0) return false;
    auto x = reinterpret_cast<std::uintptr_t>(a);
    auto y = reinterpret_cast<std::uintptr_t>(b);
    return x < y + bBytes && y < x + aBytes;
}

template <class Record>
Record& perThreadCanvasScratch() {
    thread_local Record* record = nullptr;
    if (record == nullptr) record = ::new (allocateCanvasScratchPages(sizeof(Record))) Record;
    return *record;
}

}  // namespace kelvo
