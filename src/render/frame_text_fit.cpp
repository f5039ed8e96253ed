#include "render/frame_text_fit.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/utf8.hpp"
#include "render/frame_plan_steps.hpp"
#include "render/frame_text_keys.hpp"
#include "text/text_metrics.hpp"
#include "widgets/draw_text_bounds.hpp"
#include "widgets/thread_scratch.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kMaxFittedTexts = kMaxRenderCommands;
constexpr std::size_t kWhole = SIZE_MAX;

struct TextFitScratch {
    std::array<std::uint32_t, kMaxFittedTexts> texts;   // display-list index of each draw_text
    std::array<std::uint32_t, kMaxFittedTexts> leader;  // the text (position in `texts`) it lays out as
    std::array<std::uint32_t, kMaxFittedTexts> order;   // the leaders, smallest first
    std::array<std::size_t, kMaxFittedTexts> keep;      // bytes or positioned glyphs kept, or kWhole
    std::array<FrameGlyph, kMaxFrameGlyphs> glyphs;
    std::array<std::uint32_t, kGlyphDedupeSlots> glyph_slots;
};

bool isText(const CanvasCommand& command) {
    return canvasCommandTagBits(command) == static_cast<unsigned>(CanvasCommandTag::draw_text);
}

const TextLayoutBox& boxOf(const DrawTextCommand& text, const TextLayoutBox& fallback) {
    return text.layout ? *text.layout : fallback;
}

// The plan's own estimate of a text's glyphs.
std::size_t sizeOf(const DrawTextCommand& text) { return text.glyphs.empty() ? text.text.size() : text.glyphs.size(); }

// What one text keeps of its lines and glyphs.
struct Kept {
    std::size_t lines = 0;  // lines it lays out in
    std::size_t keep = kWhole;
    Error limit = Error::TextLayoutLineListFull;
};

// Walks the text's lines in order: each takes one of `lineRoom` lines, and each glyph the list
// lacks takes a place in it. The text is kept up to the end of the last line that fits, or up to
// the first glyph that finds the list full (its line stays counted: what is kept of it is shorter).
Kept fitOne(const DrawTextCommand& text, std::size_t index, const TextLayoutBox& box, std::size_t lineRoom,
            GlyphLister& glyphs) {
    const TextRun run = textRunOfDrawText(text);
    const bool positioned = !text.glyphs.empty();
    TextLineIterator lines(run, box);
    Kept kept;
    std::size_t lineEnd = 0;  // of the last line taken
    std::size_t at = 0;       // next byte (or positioned glyph) whose glyph is listed
    std::size_t n = 0;        // code points before `at`
    while (std::optional<TextLine> line = lines.next()) {
        if (kept.lines == lineRoom) {
            kept.keep = lineEnd;
            kept.limit = Error::TextLayoutLineListFull;
            return kept;
        }
        ++kept.lines;
        const std::size_t end =
            positioned ? static_cast<std::size_t>(
                             std::min<std::uint64_t>(line->glyph_start + line->glyph_count, text.glyphs.size()))
                       : static_cast<std::size_t>(std::min<std::uint64_t>(line->textEnd(), text.text.size()));
        while (at < end) {
            std::size_t next = at + 1;
            std::optional<FrameGlyph> glyph;
            if (positioned) {
                glyph = positionedFrameGlyph(text, index, at);
            } else {
                const Utf8CodePoint character = utf8CodePointAt(text.text, at);
                next = at + std::max<std::size_t>(character.length, 1);
                if (!isAdvanceOnlyCharacter(character.value)) glyph = textFrameGlyph(text, index, character.value, n);
                ++n;
            }
            if (glyph && !glyphs.contains(*glyph) && !glyphs.add(*glyph)) {
                kept.keep = at;
                kept.limit = Error::GlyphAtlasListFull;
                return kept;
            }
            at = next;
        }
        lineEnd = end;
    }
    return kept;
}

DrawTextCommand cutShort(DrawTextCommand text, std::size_t keep) {
    if (text.glyphs.empty()) {
        text.text = text.text.substr(0, std::min(keep, text.text.size()));
    } else {
        text.glyphs = text.glyphs.first(std::min(keep, text.glyphs.size()));
    }
    return text;
}

}  // namespace

CanvasTextFit fitCanvasTextToFrame(std::span<const CanvasCommand> commands, const TextLayoutBox& default_layout,
                                   CanvasTextFitLimits limits, std::span<CanvasCommand> out) {
    CanvasTextFit fit;
    fit.commands = commands;
    TextFitScratch& scratch = perThreadCanvasScratch<TextFitScratch>();

    // The texts, and for each the first of the texts right before it that lay out as it does.
    std::size_t count = 0;
    std::size_t leaders = 0;
    std::size_t estimate = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (!isText(commands[i])) continue;
        if (count == scratch.texts.size()) return fit;
        const DrawTextCommand& text = commands[i].draw_text;
        scratch.texts[count] = static_cast<std::uint32_t>(i);
        scratch.leader[count] = static_cast<std::uint32_t>(count);
        scratch.keep[count] = kWhole;
        estimate += sizeOf(text);
        if (count > 0) {
            const DrawTextCommand& previous = commands[scratch.texts[count - 1]].draw_text;
            if (laysOutAsBefore(previous, boxOf(previous, default_layout), text, boxOf(text, default_layout))) {
                scratch.leader[count] = scratch.leader[count - 1];
            }
        }
        if (scratch.leader[count] == count) scratch.order[leaders++] = static_cast<std::uint32_t>(count);
        ++count;
    }
    std::stable_sort(scratch.order.begin(), scratch.order.begin() + static_cast<std::ptrdiff_t>(leaders),
                     [&](std::uint32_t a, std::uint32_t b) {
                         return sizeOf(commands[scratch.texts[a]].draw_text) <
                                sizeOf(commands[scratch.texts[b]].draw_text);
                     });

    GlyphLister glyphs{std::span(scratch.glyphs).first(std::min(limits.glyphs, scratch.glyphs.size())),
                       {scratch.glyph_slots}};
    glyphs.begin(estimate);
    std::size_t usedLines = 0;
    for (std::size_t k = 0; k < leaders; ++k) {
        const std::uint32_t at = scratch.order[k];
        const std::size_t index = scratch.texts[at];
        const DrawTextCommand& text = commands[index].draw_text;
        // Every text after this one keeps at least its one line, even when it keeps no text.
        const std::size_t later = leaders - k - 1;
        const std::size_t taken = usedLines + later;
        const std::size_t lineRoom = taken < limits.lines ? limits.lines - taken : 1;
        const Kept kept = fitOne(text, index, boxOf(text, default_layout), lineRoom, glyphs);
        usedLines += kept.lines;
        if (kept.keep == kWhole) continue;
        scratch.keep[at] = kept.keep;
        if (!fit.first_cut) {
            fit.first_cut = index;
            fit.limit = kept.limit;
        }
    }
    if (!fit.first_cut || out.size() < commands.size()) return CanvasTextFit{commands, 0, std::nullopt, fit.limit};

    std::copy(commands.begin(), commands.end(), out.begin());
    for (std::size_t t = 0; t < count; ++t) {
        const std::size_t keep = scratch.keep[scratch.leader[t]];
        if (keep == kWhole) continue;
        CanvasCommand& command = out[scratch.texts[t]];
        command.draw_text = cutShort(command.draw_text, keep);
        ++fit.cut;
    }
    fit.commands = out.first(commands.size());
    return fit;
}

}  // namespace kelvo
