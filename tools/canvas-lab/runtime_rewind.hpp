#pragma once

// Puts a runtime record back into a state it was once in, so that one scene built once can be
// replayed many times (the input replay and the fuzz targets do that) as if it were built anew.
//
//     RuntimeRewind rewind;
//     saveRuntimeState(runtime, rewind);  // once the scene is built
//     ... input changes the runtime ...
//     rewindRuntime(runtime, rewind);     // as saved again
//
// What is saved is the whole record but its large buffers that input never reads before writing
// (the page-event detail and the bridge router's buffers) or never writes (the canvas image pixels,
// written only when an image is registered), and the pages of canvas slots no view held when it
// was saved. A rewind compares every saved page with its copy and rewrites those that changed
// (pages that were all zero are checked against zero, which halves what it reads).
//
// A replay repeated thousands of times a second (a fuzz target) writes a dozen pages of several
// MB: with write tracking on, the saved pages are read-only between rewinds, the first write to
// each is noted by a SIGSEGV handler that makes the page writable again, and a rewind restores
// only the pages written. Every 256th rewind compares everything as well and aborts the process
// when a write went unnoticed. One runtime per process at a time; its pages must not be written
// by the kernel (a system call writing into a read-only page fails instead).

#include <cstddef>
#include <vector>

namespace kelvo {

struct Runtime;

struct RuntimeRewind {
    std::vector<unsigned char> saved;
    std::vector<bool> zeroPages;  // by 4 KiB step of `saved`
    bool trackingWrites = false;
    std::size_t rewinds = 0;
};

void saveRuntimeState(Runtime& runtime, RuntimeRewind& rewind);

// `runtime` holds the same canvas slots as when it was saved.
void rewindRuntime(Runtime& runtime, RuntimeRewind& rewind);

// Turns write tracking on for a saved runtime; false (and nothing changed) where the system's
// pages are not 4 KiB or the pages cannot be protected, or when another runtime is tracked.
bool trackRuntimeWrites(Runtime& runtime, RuntimeRewind& rewind);

// Makes the runtime's pages writable again and gives SIGSEGV back to the handler before.
void stopTrackingRuntimeWrites(RuntimeRewind& rewind);

}  // namespace kelvo
