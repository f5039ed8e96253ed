#pragma once

// The fonts an application ships: font files under "fonts", "Fonts" and "assets/fonts" of a base
// folder, walked recursively (hidden entries and symbolic links to folders skipped). TrueType
// faces become findable by their names; files in other formats are passed over.

#include <cstddef>
#include <string_view>

#include "base/io.hpp"
#include "platform/macos/canvas/font_registry.hpp"

namespace kelvo {

// Whether the file name has one of the font extensions (ttf, otf, ttc, otc, woff, woff2; any case).
bool isFontFileName(std::string_view name);

// Adds every readable TrueType face under the base folder's font folders; the count added.
std::size_t addApplicationFonts(FontRegistry& registry, const Io& io, std::string_view baseFolder);

}  // namespace kelvo
