#include "text/text_run_plan.hpp"

#include <algorithm>

#include "base/fnv1a.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kRunFingerprintSeed = Fnv1a64::seededWith("glyph_run").state;
static_assert(kRunFingerprintSeed == 0xf344cfdbba168ac7ull);
constexpr std::uint64_t kPlanFingerprintSeed = 0x157cf5681e319699ull;

float clampAtZero(float value) { return value > 0.0f ? value : 0.0f; }

void feedLayoutBox(Fnv1a64& hash, const TextLayoutBox& box) {
    hash.f32(clampAtZero(box.max_width));
    hash.f32(clampAtZero(box.line_height));
    hash.u64(static_cast<std::uint64_t>(maskedTextWrap(box.wrap)));
    hash.u64(static_cast<std::uint64_t>(maskedTextAlign(box.align)));
    if (box.no_ellipsis) {
        hash.bytes("text_overflow");
        hash.u64(1);
    }
}

}  // namespace

std::uint64_t textRunFingerprint(const TextRun& run) {
    Fnv1a64 first{kRunFingerprintSeed};
    first.u64(run.font);
    first.f32(run.size);
    first.f32(run.origin_x);
    first.f32(run.baseline_y);
    first.bytes(run.text);
    first.u64(run.glyphs.size());
    for (const PositionedGlyph& glyph : run.glyphs) {
        first.u32(glyph.glyph);
        first.u64(glyph.font != 0 ? glyph.font : run.font);
        first.f32(glyph.x);
        first.f32(glyph.y);
        first.f32(glyph.advance);
        first.u64(glyph.text_offset);
        first.u64(glyph.text_length);
    }
    if (run.has_layout) {
        first.byte(1);
        feedLayoutBox(first, run.layout);
    } else {
        first.byte(0);
    }
    return first.state;
}

std::uint64_t textRunPlanFingerprint(const TextRun& run, const TextLayoutBox& box) {
    Fnv1a64 second{kPlanFingerprintSeed};
    second.u64(textRunFingerprint(run));
    feedLayoutBox(second, box);
    return second.state;
}

void uniteTextBounds(std::optional<Rect>& bounds, Rect rect) {
    rect = normalizeRect(rect);
    if (!(rect.width > 0.0f && rect.height > 0.0f)) return;
    if (!bounds) {
        bounds = rect;
        return;
    }
    float left = std::min(bounds->x, rect.x);
    float top = std::min(bounds->y, rect.y);
    float right = std::max(bounds->x + bounds->width, rect.x + rect.width);
    float bottom = std::max(bounds->y + bounds->height, rect.y + rect.height);
    bounds = Rect{left, top, right - left, bottom - top};
}

Result<TextRunPlan> layoutTextRunPlan(const TextRun& run, const TextLayoutBox& box, std::span<TextLine> lines) {
    TextRunPlan plan;
    std::size_t count = 0;
    TextLineIterator iterator(run, box);
    while (auto line = iterator.next()) {
        if (count == lines.size()) return fail(Error::TextLayoutLineListFull);
        lines[count++] = *line;
        uniteTextBounds(plan.bounds, {line->x, line->y, line->width, line->height});
    }
    plan.font = run.font;
    plan.text_length = run.text.size();
    plan.glyph_count = run.glyphs.size();
    plan.fingerprint = textRunPlanFingerprint(run, box);
    plan.size = run.size;
    plan.origin_x = run.origin_x;
    plan.origin_y = run.baseline_y;
    plan.max_width = clampAtZero(box.max_width);
    plan.line_height = clampAtZero(box.line_height);
    plan.wrap = maskedTextWrap(box.wrap);
    plan.align = maskedTextAlign(box.align);
    plan.no_ellipsis = box.no_ellipsis;
    plan.lines = lines.first(count);
    return plan;
}

std::optional<Rect> textBounds(const TextRun& run) {
    if (run.text.empty() && run.glyphs.empty()) return std::nullopt;
    std::optional<Rect> bounds;
    if (run.has_layout) {
        TextLineIterator iterator(run, run.layout);
        while (auto line = iterator.next()) uniteTextBounds(bounds, {line->x, line->y, line->width, line->height});
    }
    if (!bounds && run.glyphs.empty()) {
        const TextMeasurer* measurer = run.has_layout ? run.layout.measurer : nullptr;
        float width = measureTextWidthForFont(measurer, run.font, run.text, run.size);
        bounds = Rect{run.origin_x, run.baseline_y - run.size, std::max(width, run.size * 0.25f), run.size * 1.25f};
    } else if (!bounds) {
        for (const PositionedGlyph& glyph : run.glyphs) {
            uniteTextBounds(bounds, {run.origin_x + glyph.x, run.baseline_y + glyph.y - run.size,
                                     std::max(glyph.advance, run.size * 0.25f), run.size * 1.25f});
        }
        if (!bounds) return std::nullopt;
    }
    float ink = clampAtZero(run.size);
    return Rect{bounds->x - 0.1f * ink, bounds->y, bounds->width + 0.45f * ink, bounds->height + 0.1f * ink};
}

}  // namespace kelvo
