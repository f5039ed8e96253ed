#pragma once

// Private to src/platform/macos/canvas: the names a TrueType face is found by, read from its
// name table.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kelvo {

// The face's full name and PostScript name, and its family name when the face is the family's
// regular one (so that a family name finds the regular face, not its bold). Names are UTF-8;
// duplicates and empty names are left out. Empty for data without a readable name table.
std::vector<std::string> fontFaceNames(std::span<const std::uint8_t> data);

}  // namespace kelvo
