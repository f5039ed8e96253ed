#pragma once

#include <cstddef>

namespace kelvo {

// Zero-filled pages for a per-thread canvas scratch block (text caches, staging areas). The block
// is taken once per thread and never given back. When the pages cannot be had the process stops
// with "out of memory allocating per-thread canvas scratch": the toolkit has no way to lay out or
// draw without them.
void* takeCanvasScratchPages(std::size_t bytes);

}  // namespace kelvo
