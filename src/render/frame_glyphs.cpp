// Glyphs of a frame plan: every draw_text of the display list (drawn or not) lists the glyphs it
// needs in the atlas, each at its font, size and subpixel buckets, once per frame.

#include <bit>
#include <cmath>

#include "base/utf8.hpp"
#include "render/frame_plan_steps.hpp"
#include "render/retained_cache.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kGlyphIndexFrom = 64;

// The quarter of a pixel a coordinate falls in: its positive fraction in four buckets.
std::uint8_t subpixelBucket(float v) {
    const float bucket = std::floor((v - std::floor(v)) * 4.0f);
    if (!(bucket > 0.0f)) return 0;
    return bucket >= 3.0f ? 3 : static_cast<std::uint8_t>(bucket);
}

bool sameGlyph(const FrameGlyph& a, const FrameGlyph& b) {
    return a.font == b.font && a.glyph == b.glyph &&
           std::bit_cast<std::uint32_t>(a.size) == std::bit_cast<std::uint32_t>(b.size) && a.bx == b.bx && a.by == b.by;
}

std::uint64_t glyphHash(const FrameGlyph& glyph) {
    std::uint64_t hash = splitMix64Finalize(glyph.font ^ (static_cast<std::uint64_t>(glyph.glyph) << 32));
    hash = foldHash(hash, std::bit_cast<std::uint32_t>(glyph.size));
    return foldHash(hash, static_cast<std::uint64_t>(glyph.by) * 256u + glyph.bx);
}

struct GlyphLister {
    std::span<FrameGlyph> out;
    HashIndex index;
    bool indexed = false;
    std::size_t count = 0;

    Status add(const FrameGlyph& glyph) {
        if (indexed) {
            const std::uint64_t hash = glyphHash(glyph);
            if (index.find(hash, [&](std::uint32_t at) { return sameGlyph(out[at], glyph); })) return {};
            if (count == out.size()) return fail(Error::GlyphAtlasListFull);
            index.insert(hash, static_cast<std::uint32_t>(count));
        } else {
            for (std::size_t i = 0; i < count; ++i) {
                if (sameGlyph(out[i], glyph)) return {};
            }
            if (count == out.size()) return fail(Error::GlyphAtlasListFull);
        }
        out[count++] = glyph;
        return {};
    }
};

bool isBlank(std::uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

Status planGlyphs(FramePlan& plan) {
    std::span<const CanvasCommand> commands = plan.source.commands;
    const auto isText = [](const CanvasCommand& c) {
        return canvasCommandTagBits(c) == static_cast<unsigned>(CanvasCommandTag::draw_text);
    };
    std::size_t estimate = 0;
    for (const CanvasCommand& command : commands) {
        if (isText(command)) {
            estimate +=
                command.draw_text.glyphs.empty() ? command.draw_text.text.size() : command.draw_text.glyphs.size();
        }
    }

    GlyphLister lister{plan.storage.glyphs, {plan.scratch.glyph_slots}};
    if (estimate >= kGlyphIndexFrom && lister.out.size() * 2 <= lister.index.slots.size()) {
        lister.index.clear();
        lister.indexed = true;
    }
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!isText(commands[i])) continue;
        const DrawTextCommand& text = commands[i].draw_text;
        const auto glyphAt = [&](std::uint64_t font, std::uint32_t id, float x, float y, std::size_t n) {
            return FrameGlyph{font,
                              id,
                              text.size,
                              subpixelBucket(x),
                              subpixelBucket(y),
                              static_cast<std::uint32_t>(i),
                              static_cast<std::uint32_t>(n)};
        };
        if (!text.glyphs.empty()) {
            for (std::size_t n = 0; n < text.glyphs.size(); ++n) {
                const PositionedGlyph& glyph = text.glyphs[n];
                TRY(lister.add(glyphAt(glyph.font != 0 ? glyph.font : text.font, glyph.glyph, text.origin.x + glyph.x,
                                       text.origin.y + glyph.y, n)));
            }
            continue;
        }
        std::size_t n = 0;
        for (std::size_t at = 0; at < text.text.size(); ++n) {
            const Utf8CodePoint character = utf8CodePointAt(text.text, at);
            at += character.length;
            if (isBlank(character.value)) continue;
            const float x = text.origin.x + text.size * static_cast<float>(n) * 0.5f;
            TRY(lister.add(glyphAt(text.font, character.value, x, text.origin.y, n)));
        }
    }
    plan.frame.glyphs = plan.storage.glyphs.first(lister.count);

    RetainedCacheClassifier cache = beginRetainedCache(RetainedCacheKind::glyph, plan.storage.glyph_cache,
                                                       previousCacheEntries(plan, RetainedCacheKind::glyph),
                                                       plan.request.frame_tag, Error::GlyphAtlasCacheListFull);
    for (const FrameGlyph& glyph : plan.frame.glyphs) {
        RetainedCacheEntry entry;
        entry.key = {glyph.font,
                     glyph.glyph | (static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(glyph.size)) << 32),
                     glyph.bx | (static_cast<std::uint64_t>(glyph.by) << 8), 0};
        TRY(addRetainedCacheEntry(cache, entry));
    }
    TRY(finishRetainedCache(cache, plan.request.glyph_retention));
    plan.frame.glyph_cache = retainedCacheLists(cache);
    return {};
}

}  // namespace kelvo
