// Glyphs of a frame plan: every draw_text of the display list (drawn or not) lists the glyphs it
// needs in the atlas, each at its font, size and subpixel buckets, once per frame.

#include <bit>

#include "base/utf8.hpp"
#include "render/frame_plan_steps.hpp"
#include "render/frame_text_keys.hpp"
#include "render/retained_cache.hpp"
#include "text/text_metrics.hpp"

namespace kelvo {

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
    lister.begin(estimate);
    const auto list = [&](const FrameGlyph& glyph) -> Status {
        if (lister.contains(glyph)) return {};
        return lister.add(glyph);
    };
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!isText(commands[i])) continue;
        const DrawTextCommand& text = commands[i].draw_text;
        if (!text.glyphs.empty()) {
            for (std::size_t n = 0; n < text.glyphs.size(); ++n) TRY(list(positionedFrameGlyph(text, i, n)));
            continue;
        }
        std::size_t n = 0;
        for (std::size_t at = 0; at < text.text.size(); ++n) {
            const Utf8CodePoint character = utf8CodePointAt(text.text, at);
            at += character.length;
            if (!isAdvanceOnlyCharacter(character.value)) TRY(list(textFrameGlyph(text, i, character.value, n)));
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
