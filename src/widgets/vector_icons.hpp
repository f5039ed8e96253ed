#pragma once

// The toolkit's vector icons: 50 named outline icons and the glyph drawn for a name the table
// lacks. The artwork is generated at build time from the SVG files under third_party/icons; every
// icon is one stroked path of several subpaths in a 24 x 24 artwork box.

#include <cstdint>
#include <span>
#include <string_view>

#include "raster/canvas_geometry.hpp"

namespace kelvo {

// How a path is painted: not at all, in the colour the caller passes, or in the path's own colour.
enum class IconPaintMode : std::uint8_t { none = 0, caller = 1, own = 2 };

// One path of an icon: a run of the icon's elements and how it is filled and stroked. The defaults
// are those of every built-in path: an outline in the caller's colour, 2 units wide, round caps.
struct VectorIconPath {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    IconPaintMode fill_mode = IconPaintMode::none;
    Color fill_color{};
    IconPaintMode stroke_mode = IconPaintMode::caller;
    Color stroke_color{};
    float stroke_width = 2;  // artwork units
    bool round_cap = true;
};

struct VectorIcon {
    std::span<const PathElement> elements;
    std::span<const VectorIconPath> paths;
    Rect artwork{0, 0, 24, 24};
};

struct VectorIconEntry {
    std::string_view name;
    const VectorIcon* icon = nullptr;  // null: the name is known but has no drawing
};

// The 50 icons in table order.
std::span<const VectorIconEntry> vectorIconEntries();
const VectorIcon& missingVectorIcon();

// The entry whose name equals `name` byte for byte, searched in table order; null when none.
const VectorIconEntry* findVectorIconEntry(std::string_view name);

// Names of application-supplied artwork ("app:" and at least one more byte) are never looked up.
inline bool isApplicationIconName(std::string_view name) { return name.size() >= 5 && name.starts_with("app:"); }

// The drawing of a table icon, or null for an application name, a name the table lacks and an
// entry without a drawing.
const VectorIcon* lookupVectorIcon(std::string_view name);

// The icon controls draw for `name`: the table's drawing, else the missing-icon glyph.
inline const VectorIcon& vectorIconOrMissing(std::string_view name) {
    const VectorIcon* icon = lookupVectorIcon(name);
    return icon != nullptr ? *icon : missingVectorIcon();
}

}  // namespace kelvo
