#pragma once

// What both modes of the lab do with files and failures.

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/io.hpp"
#include "widgets/widget_tree_storage.hpp"

namespace kelvo {

// Writes "kelvo-canvas-lab: <what> <path>: <error>" on standard error; returns the exit status 1.
int labFailed(std::string_view what, std::string_view path, Error error);

// The whole content of a regular file of at most 16 MiB, opened without blocking: IsDir for a
// folder, InvalidReadablePath for anything else that is not a regular file (a FIFO, a device).
Result<std::vector<std::uint8_t>> readWholeFile(const Io& io, std::string_view path);

// Reads and parses a tree file into `out`; on failure writes the reason (with the line of a text
// the format refuses) and returns false.
bool readTreeFile(const Io& io, std::string_view path, WidgetTreeStorage& out);

}  // namespace kelvo
