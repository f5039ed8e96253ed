#pragma once

// The canvas fonts: font ids to faces for text measuring and packet text drawing, which run on the
// main thread and on the raster worker threads alike. A font registered under an id wins over the
// id's meaning (2 monospaced, 3 medium, 4 bold, 5 italic, 6 bold italic, any other regular).
// Without a face of their own, medium and bold are the regular outlines with advances widened by
// the factors layout estimates them with, and italic is the upright outline slanted by 0.2.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "raster/font_ttf.hpp"

namespace kelvo {

// A font file's bytes with the face read from them.
struct FontFile {
    std::vector<std::uint8_t> bytes;
    Face face;
};
using FontFileRef = std::shared_ptr<const FontFile>;

// A font at no particular size: a face and the synthetic style applied to it. `file` keeps a
// registered face's bytes alive while the font is in use (null for the embedded faces).
struct CanvasFont {
    FontFileRef file;
    const Face* face = nullptr;
    float advanceScale = 1.0f;
    float obliqueShear = 0.0f;     // x moves this much per unit of height above the baseline
    std::uint64_t generation = 0;  // the registry's registrations when the font was looked up
};

// Widths measured per (font id, size in thousandths, text). Two generations of at most half the
// entries and half the text bytes each: when the newer fills up it becomes the older and the
// oldest widths go.
inline constexpr std::size_t kTextWidthCacheEntries = 16384;
inline constexpr std::size_t kTextWidthCacheBytes = 4u << 20;

struct TextWidthCache {
    struct Generation {
        std::unordered_map<std::string, float> widths;
        std::size_t bytes = 0;
    };
    Generation newer;
    Generation older;
};

struct FontRegistry {
    std::mutex lock;
    std::unordered_map<std::uint64_t, FontFileRef> registered;
    std::unordered_map<std::string, FontFileRef> named;  // application fonts by name; first wins
    TextWidthCache widths;
    std::uint64_t generation = 0;  // advanced by every registration
};

// The registry font lookups, measuring and packet text drawing use.
FontRegistry& processFontRegistry();

// Reads `bytes` (copied) as a TrueType face and registers it under `id`, replacing an earlier
// one and forgetting every width measured with the id. False for id 0, no bytes, or data the
// TrueType reader refuses (other font formats included).
bool registerCanvasFont(FontRegistry& registry, std::uint64_t id, std::span<const std::uint8_t> bytes);

// Makes a TrueType face findable by its names for the ids' meanings; false when it is unreadable.
bool addNamedCanvasFont(FontRegistry& registry, std::span<const std::uint8_t> bytes);

CanvasFont canvasFontForId(FontRegistry& registry, std::uint64_t id);

// A character's advance in pixels at `size`; 0 for line breaks.
float canvasFontAdvance(const CanvasFont& font, std::uint32_t code_point, float size);

// The cached width of (id, size, text), if any; and storing one measured with `font`, unless a
// registration came in between.
bool findCachedTextWidth(FontRegistry& registry, std::uint64_t id, float size, std::string_view text, float& width);
void cacheTextWidth(FontRegistry& registry, const CanvasFont& font, std::uint64_t id, float size, std::string_view text,
                    float width);

}  // namespace kelvo
