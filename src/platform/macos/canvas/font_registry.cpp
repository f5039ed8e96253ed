#include "platform/macos/canvas/font_registry.hpp"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "platform/macos/canvas/font_names.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

namespace {

constexpr float kSyntheticObliqueShear = 0.2f;
constexpr std::size_t kWidthKeyPrefix = 16;  // font id and size in thousandths
constexpr std::size_t kWidthEntryOverhead = 64;

FontFileRef readFontFile(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return nullptr;
    auto file = std::make_shared<FontFile>();
    file->bytes.assign(bytes.begin(), bytes.end());
    Result<Face> face = loadFace(file->bytes);
    if (!face) return nullptr;
    file->face = *face;
    return file;
}

// The first application font with one of `names`; the lock is held.
FontFileRef namedFont(const FontRegistry& registry, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (auto found = registry.named.find(std::string(name)); found != registry.named.end()) return found->second;
    }
    return nullptr;
}

CanvasFont fontOfFile(FontFileRef file, const Face& fallback) {
    CanvasFont font;
    font.face = file ? &file->face : &fallback;
    font.file = std::move(file);
    return font;
}

// A weight without a face of its own: the base font with the advances layout assumes for it.
CanvasFont weightedFont(const FontRegistry& registry, std::initializer_list<std::string_view> names,
                        const CanvasFont& base, std::uint64_t id) {
    if (FontFileRef file = namedFont(registry, names)) return fontOfFile(std::move(file), *base.face);
    CanvasFont font = base;
    font.advanceScale = textFaceFactor(id);
    return font;
}

CanvasFont italicFont(const FontRegistry& registry, std::initializer_list<std::string_view> names,
                      const CanvasFont& upright) {
    if (FontFileRef file = namedFont(registry, names)) {
        CanvasFont font = fontOfFile(std::move(file), *upright.face);
        font.advanceScale = upright.file ? 1.0f : upright.advanceScale;
        return font;
    }
    CanvasFont font = upright;
    font.obliqueShear = kSyntheticObliqueShear;
    return font;
}

CanvasFont builtInFont(const FontRegistry& registry, std::uint64_t id) {
    if (id == kFontMonospace) {
        return fontOfFile(namedFont(registry, {"Geist Mono", "GeistMono-Regular", "Geist Mono Regular"}),
                          geistMonoFace());
    }
    CanvasFont base = fontOfFile(namedFont(registry, {"Geist", "Geist-Regular", "Geist Sans", "Geist Sans Regular"}),
                                 geistRegularFace());
    switch (id) {
        case kFontMedium:
            return weightedFont(registry, {"Geist-Medium", "Geist Medium"}, base, id);
        case kFontBold:
            return weightedFont(registry, {"Geist-Bold", "Geist Bold"}, base, id);
        case kFontItalic:
            return italicFont(registry, {"Geist-Italic", "Geist Italic"}, base);
        case kFontBoldItalic:
            return italicFont(registry, {"Geist-BoldItalic", "Geist Bold Italic"},
                              weightedFont(registry, {"Geist-Bold", "Geist Bold"}, base, id));
        default:
            return base;
    }
}

std::string widthKey(std::uint64_t id, float size, std::string_view text) {
    std::string key(kWidthKeyPrefix, '\0');
    auto thousandths = static_cast<std::int64_t>(std::llround(static_cast<double>(size) * 1000.0));
    std::memcpy(key.data(), &id, 8);
    std::memcpy(key.data() + 8, &thousandths, 8);
    key.append(text);
    return key;
}

void forgetWidthsOf(TextWidthCache::Generation& generation, std::uint64_t id) {
    for (auto it = generation.widths.begin(); it != generation.widths.end();) {
        std::uint64_t keyId = 0;
        std::memcpy(&keyId, it->first.data(), 8);
        if (keyId == id) {
            generation.bytes -= it->first.size() + kWidthEntryOverhead;
            it = generation.widths.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace

FontRegistry& processFontRegistry() {
    static FontRegistry registry;
    return registry;
}

bool registerCanvasFont(FontRegistry& registry, std::uint64_t id, std::span<const std::uint8_t> bytes) {
    if (id == 0) return false;
    FontFileRef file = readFontFile(bytes);
    if (!file) return false;
    std::lock_guard<std::mutex> hold(registry.lock);
    registry.registered[id] = std::move(file);
    ++registry.generation;
    // Widths measured with the font the id named before would disagree with what is drawn now.
    forgetWidthsOf(registry.widths.newer, id);
    forgetWidthsOf(registry.widths.older, id);
    return true;
}

bool addNamedCanvasFont(FontRegistry& registry, std::span<const std::uint8_t> bytes) {
    FontFileRef file = readFontFile(bytes);
    if (!file) return false;
    std::vector<std::string> names = fontFaceNames(file->bytes);
    std::lock_guard<std::mutex> hold(registry.lock);
    for (std::string& name : names) registry.named.emplace(std::move(name), file);
    ++registry.generation;
    registry.widths = {};  // the ids' meanings may have found new faces
    return true;
}

CanvasFont canvasFontForId(FontRegistry& registry, std::uint64_t id) {
    std::lock_guard<std::mutex> hold(registry.lock);
    auto found = registry.registered.find(id);
    CanvasFont font =
        found != registry.registered.end() ? fontOfFile(found->second, geistRegularFace()) : builtInFont(registry, id);
    font.generation = registry.generation;
    return font;
}

float canvasFontAdvance(const CanvasFont& font, std::uint32_t code_point, float size) {
    if (code_point == '\n' || code_point == '\r') return 0;
    const Face& face = *font.face;
    float units = face.units_per_em > 0 ? face.units_per_em : 1.0f;
    return static_cast<float>(glyphAdvance(face, glyphIndex(face, code_point))) * size / units * font.advanceScale;
}

bool findCachedTextWidth(FontRegistry& registry, std::uint64_t id, float size, std::string_view text, float& width) {
    std::string key = widthKey(id, size, text);
    std::lock_guard<std::mutex> hold(registry.lock);
    if (auto found = registry.widths.newer.widths.find(key); found != registry.widths.newer.widths.end()) {
        width = found->second;
        return true;
    }
    if (auto found = registry.widths.older.widths.find(key); found != registry.widths.older.widths.end()) {
        width = found->second;
        return true;
    }
    return false;
}

void cacheTextWidth(FontRegistry& registry, const CanvasFont& font, std::uint64_t id, float size, std::string_view text,
                    float width) {
    std::string key = widthKey(id, size, text);
    const std::size_t cost = key.size() + kWidthEntryOverhead;
    if (cost > kTextWidthCacheBytes / 2) return;
    std::lock_guard<std::mutex> hold(registry.lock);
    if (font.generation != registry.generation) return;
    TextWidthCache& cache = registry.widths;
    if (cache.newer.widths.size() >= kTextWidthCacheEntries / 2 ||
        cache.newer.bytes + cost > kTextWidthCacheBytes / 2) {
        cache.older = std::move(cache.newer);
        cache.newer = {};
    }
    if (cache.newer.widths.emplace(std::move(key), width).second) cache.newer.bytes += cost;
}

}  // namespace kelvo
