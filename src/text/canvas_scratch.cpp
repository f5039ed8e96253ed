#include "text/canvas_scratch.hpp"

#include <sys/mman.h>

#include <cstdlib>

#include "base/stderr.hpp"

namespace kelvo {

void* takeCanvasScratchPages(std::size_t bytes) {
    void* pages = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        writeStderr("out of memory allocating per-thread canvas scratch\n");
        std::abort();
    }
    return pages;
}

}  // namespace kelvo
