#pragma once

// Per-thread scratch records: taken from page memory the first time a thread asks, built in
// place, and kept until the process ends. Canvas work allocates nothing per event; scratch records
// too big for the stack live here.

#include <cstddef>
#include <new>

namespace kelvo {

// Zero-filled pages of `bytes` bytes; stops the process with "out of memory allocating per-thread
// canvas scratch" when they cannot be had.
void* allocateCanvasScratchPages(std::size_t bytes);

template <class Record>
Record& perThreadCanvasScratch() {
    thread_local Record* record = nullptr;
    if (record == nullptr) record = ::new (allocateCanvasScratchPages(sizeof(Record))) Record;
    return *record;
}

}  // namespace kelvo
