#include "render/packet/packet_from_frame.hpp"

#include <algorithm>
#include <cmath>

#include "render/gpu_command.hpp"
#include "render/render_command.hpp"
#include "text/text_run_plan.hpp"
#include "widgets/draw_text_bounds.hpp"

namespace kelvo {

namespace {

PacketRect rectOf(const Rect& r) { return {r.x, r.y, r.width, r.height}; }
PacketPoint pointOf(const Point& p) { return {p.x, p.y}; }
PacketColor colorOf(const Color& c) { return {c.r, c.g, c.b, c.a}; }
PacketRadii radiiOf(const CornerRadii& r) { return {r.top_left, r.top_right, r.bottom_right, r.bottom_left}; }

bool isIdentity(const Affine& m) { return m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1 && m.tx == 0 && m.ty == 0; }

// A finite, non-negative overhang; anything else adds nothing.
float overhang(float v) { return std::isfinite(v) && v > 0 ? v : 0; }

PacketShape shapeOf(const CanvasGpuCommand& g) {
    PacketShape shape;
    shape.kind = static_cast<PacketShapeKind>(g.shape);
    shape.rect = rectOf(g.rect);
    shape.radius = radiiOf(g.radii);
    shape.width = g.stroke_width;
    shape.from = pointOf(g.from);
    shape.to = pointOf(g.to);
    shape.path.reserve(g.elements.size());
    for (const PathElement& e : g.elements) {
        PacketPathElement element;
        element.verb = static_cast<PacketPathVerb>(static_cast<std::uint8_t>(e.verb) % kPacketVerbPoints.size());
        element.point_count = kPacketVerbPoints[static_cast<std::size_t>(element.verb)];
        for (std::uint8_t i = 0; i < element.point_count; ++i) element.points[i] = pointOf(e.points[i]);
        shape.path.push_back(element);
    }
    return shape;
}

PacketPaint paintOf(const CanvasGpuCommand& g) {
    PacketPaint paint;
    if (g.paint == GpuPaintKind::linear_gradient) {
        paint.kind = PacketPaintKind::linear_gradient;
        paint.start = pointOf(g.gradient_start);
        paint.end = pointOf(g.gradient_end);
        for (const GradientStop& stop : g.stops) paint.stops.push_back({stop.offset, colorOf(stop.color)});
    } else {
        paint.color = colorOf(g.color);
    }
    return paint;
}

// Grows each dirty rectangle that a blur reaches into by the blur's window, within the surface.
void growByBlurs(std::vector<PacketRect>& dirty, const CanvasFrame& frame) {
    for (const RenderCommand& render : frame.render_commands) {
        if (canvasCommandTagBits(render.command) != static_cast<std::uint8_t>(CanvasCommandTag::blur)) continue;
        const float reach = overhang(render.command.blur.radius) + 1.0f / std::max(frame.scale, 1.0f);
        const Rect b = render.bounds;
        for (PacketRect& d : dirty) {
            const bool overlaps =
                b.x < d.x + d.width && d.x < b.x + b.width && b.y < d.y + d.height && d.y < b.y + b.height;
            if (!overlaps) continue;
            const double left = std::max(0.0, d.x - reach), top = std::max(0.0, d.y - reach);
            const double right = std::min<double>(frame.width, d.x + d.width + reach);
            const double bottom = std::min<double>(frame.height, d.y + d.height + reach);
            d = {left, top, std::max(0.0, right - left), std::max(0.0, bottom - top)};
        }
    }
}

// The text a laid-out line shows: its visible characters, and "…" where it was cut.
std::string lineText(const TextRun& run, const TextLine& line) {
    std::string_view text = run.text;
    TextRange range;
    if (run.glyphs.empty()) {
        range.start = static_cast<std::size_t>(std::min<std::uint64_t>(line.text_start, text.size()));
        range.end = static_cast<std::size_t>(std::min<std::uint64_t>(line.visibleTextEnd(), text.size()));
    } else {
        range = textRangeForGlyphRangeWithGlyphs(text, run.glyphs, line.glyph_start,
                                                 line.visible_glyph_count.value_or(line.glyph_count));
    }
    std::string out(text.substr(range.start, range.end > range.start ? range.end - range.start : 0));
    if (line.ellipsis_width > 0.0f) out += kTextEllipsis;
    return out;
}

// For each render command that draws text in a layout box of its own, the lines the plan laid it
// out in. Render commands and text layout plans both follow the display list, and a plan's
// fingerprint names its run and box, so walking both in order pairs them.
void pairTextPlans(const CanvasFrame& frame, std::vector<std::span<const TextLine>>& lines) {
    lines.assign(frame.render_commands.size(), {});
    std::size_t next = 0;
    for (std::size_t i = 0; i < frame.render_commands.size(); ++i) {
        const CanvasCommand& command = frame.render_commands[i].command;
        if (canvasCommandTagBits(command) != static_cast<std::uint8_t>(CanvasCommandTag::draw_text)) continue;
        if (!command.draw_text.layout) continue;
        const TextRun run = textRunOfDrawText(command.draw_text);
        const std::uint64_t fingerprint = textRunPlanFingerprint(run, run.layout);
        std::size_t at = next;
        while (at < frame.text_plans.size() && frame.text_plans[at].fingerprint != fingerprint) ++at;
        if (at == frame.text_plans.size()) continue;
        const TextLayoutPlan& plan = frame.text_plans[at];
        if (plan.first_line + plan.line_count <= frame.text_lines.size()) {
            lines[i] = frame.text_lines.subspan(plan.first_line, plan.line_count);
        }
        next = at + 1;
    }
}

void addImages(const CanvasFrame& frame, CanvasPacket& out) {
    for (const FrameImage& image : frame.images) {
        if (!image.found) continue;
        const bool known = std::any_of(out.images.begin(), out.images.end(), [&](const PacketImage& p) {
            return p.image_id == image.image_id && p.fingerprint == image.fingerprint;
        });
        if (!known) {
            out.images.push_back({image.image_id, image.fingerprint, static_cast<double>(image.width),
                                  static_cast<double>(image.height), std::nullopt});
        }
    }
    // Image cache entries are keyed (fingerprint, image id).
    for (const RetainedCacheAction& action : frame.image_cache.actions) {
        PacketImageAction a;
        a.kind = static_cast<PacketImageActionKind>(action.action);
        a.fingerprint = action.entry.key[0];
        a.image_id = action.entry.key[1];
        if (action.action != CacheAction::evict) {
            for (std::size_t i = 0; i < out.images.size(); ++i) {
                if (out.images[i].image_id == a.image_id && out.images[i].fingerprint == a.fingerprint)
                    a.image_index = i;
            }
        }
        // An image the runtime does not hold has nothing to upload; the surface would refuse the
        // whole packet for an upload without its image (its draws draw nothing either way).
        if (action.action == CacheAction::upload && !a.image_index) continue;
        out.image_actions.push_back(a);
    }
}

}  // namespace

PacketCommand packetCommandFromRender(const RenderCommand& render, std::uint64_t index, float scale,
                                      std::span<const TextLine> lines) {
    const CanvasGpuCommand g = canvasGpuCommandFromRenderCommand(render, index);
    PacketCommand c;
    c.kind = static_cast<std::uint8_t>(g.kind);
    // The plan's bounds are already in surface points after transform and clip, with stroke and
    // shadow reach; one device pixel more covers the antialiased fringe.
    const float fringe = 1.0f / (std::isfinite(scale) && scale > 0 ? scale : 1.0f);
    c.bounds = {render.bounds.x - fringe, render.bounds.y - fringe, render.bounds.width + 2 * fringe,
                render.bounds.height + 2 * fringe};
    c.opacity = g.opacity;
    c.stroke_width = g.stroke_width;
    c.cap = g.cap == LineCap::round ? PacketCap::round : PacketCap::butt;
    c.id = g.id;
    if (g.has_clip) c.clip = rectOf(g.clip);
    if (!isIdentity(g.transform)) {
        const Affine& m = g.transform;
        c.transform = PacketTransform{m.a, m.b, m.c, m.d, m.tx, m.ty};
    }
    if (g.shape != GpuShapeKind::none) {
        c.shape = shapeOf(g);
        c.paint = paintOf(g);
    }
    if (g.kind == CanvasGpuCommandKind::draw_image) {
        PacketImageDraw& image = c.image.emplace();
        image.image = g.image_id;
        if (g.src) image.src = rectOf(*g.src);
        image.dst = rectOf(g.rect);
        image.opacity = g.image_opacity;
        image.fit = static_cast<PacketImageFit>(g.fit);
        image.sampling = static_cast<PacketSampling>(g.sampling);
        image.radius = radiiOf(g.radii);
    }
    if (g.kind == CanvasGpuCommandKind::draw_text) {
        PacketText& text = c.text.emplace();
        text.font = g.font;
        text.size = g.size;
        text.origin = pointOf(g.origin);
        text.color = colorOf(g.color);
        text.text = std::string(g.text);
        if (g.layout) {
            text.layout = PacketTextLayout{g.layout->max_width, g.layout->line_height,
                                           static_cast<PacketTextWrap>(maskedTextWrap(g.layout->wrap)),
                                           static_cast<PacketTextAlign>(maskedTextAlign(g.layout->align))};
            if (!lines.empty()) {
                const TextRun run = textRunOfDrawText(render.command.draw_text);
                auto& out = text.lines.emplace();
                out.reserve(lines.size());
                for (const TextLine& line : lines) out.push_back({line.x, line.baseline, lineText(run, line)});
            }
        }
    }
    if (g.effect != GpuEffectKind::none) {
        PacketEffect& effect = c.effect.emplace();
        effect.kind = g.effect == GpuEffectKind::blur ? PacketEffectKind::blur : PacketEffectKind::shadow;
        effect.rect = rectOf(g.rect);
        effect.radii = radiiOf(g.radii);
        effect.offset = pointOf(g.offset);
        effect.blur = g.blur;
        effect.spread = g.spread;
        effect.color = colorOf(g.color);
        effect.radius = g.radius;
    }
    return c;
}

bool canvasPacketKeysUnique(std::span<const KeyedGpuCommand> sortedByKey) {
    for (std::size_t i = 1; i < sortedByKey.size(); ++i) {
        if (sortedByKey[i].key == sortedByKey[i - 1].key) return false;
    }
    return true;
}

CanvasPacketCounts buildCanvasPacket(const CanvasPacketPlan& plan, CanvasPacket& out) {
    const CanvasFrame& frame = *plan.frame;
    out = CanvasPacket{};
    out.load_action = plan.action;
    out.generation = plan.generation;
    addImages(frame, out);

    // The visible commands in drawing order.
    std::vector<const KeyedGpuCommand*> drawOrder;
    drawOrder.reserve(plan.current.size());
    for (const KeyedGpuCommand& keyed : plan.current) drawOrder.push_back(&keyed);
    std::sort(drawOrder.begin(), drawOrder.end(),
              [](const KeyedGpuCommand* a, const KeyedGpuCommand* b) { return a->index < b->index; });
    thread_local std::vector<std::span<const TextLine>> lines;
    pairTextPlans(frame, lines);
    auto commandAt = [&](const KeyedGpuCommand& keyed) {
        const std::span<const TextLine> text =
            keyed.index < lines.size() ? lines[keyed.index] : std::span<const TextLine>{};
        return packetCommandFromRender(frame.render_commands[keyed.index], keyed.index, frame.scale, text);
    };

    CanvasPacketCounts counts;
    counts.commands = plan.current.size();
    if (plan.action != PacketLoadAction::patch) {
        auto& commands = out.commands.emplace();
        auto& keys = out.command_keys.emplace();
        commands.reserve(drawOrder.size());
        keys.reserve(drawOrder.size());
        for (const KeyedGpuCommand* keyed : drawOrder) {
            commands.push_back(commandAt(*keyed));
            keys.push_back(keyed->key);
        }
        counts.upserts = commands.size();
        return counts;
    }

    auto& evicts = out.patch_evicts.emplace();
    auto& upserts = out.patch_upserts.emplace();
    auto& order = out.patch_order.emplace();
    const auto& previous = plan.previous;
    std::size_t i = 0;
    for (const KeyedGpuCommand& keyed : plan.current) {
        while (i < previous.keys.size() && previous.keys[i] < keyed.key) evicts.push_back(previous.keys[i++]);
        const bool kept = i < previous.keys.size() && previous.keys[i] == keyed.key;
        if (!kept || previous.fingerprints[i] != keyed.fingerprint) upserts.push_back({keyed.key, commandAt(keyed)});
        if (kept) ++i;
    }
    while (i < previous.keys.size()) evicts.push_back(previous.keys[i++]);
    order.reserve(drawOrder.size());
    for (const KeyedGpuCommand* keyed : drawOrder) order.push_back(keyed->key);

    // Without a dirty region the patch redraws the whole surface from the retained commands.
    if (!frame.full_repaint && frame.dirty) {
        out.scissor = rectOf(*frame.dirty);
        auto& dirty = out.dirty_rects.emplace();
        if (frame.patch_count > 1) {
            for (std::uint32_t r = 0; r < std::min<std::uint32_t>(frame.patch_count, kPacketMaxDirtyRects); ++r) {
                dirty.push_back(rectOf(frame.patch_rects[r]));
            }
        } else {
            dirty.push_back(rectOf(*frame.dirty));
        }
        growByBlurs(dirty, frame);
        PacketRect bound = dirty.front();
        for (const PacketRect& d : dirty) {
            const double right = std::max(bound.x + bound.width, d.x + d.width);
            const double bottom = std::max(bound.y + bound.height, d.y + d.height);
            bound.x = std::min(bound.x, d.x);
            bound.y = std::min(bound.y, d.y);
            bound.width = right - bound.x;
            bound.height = bottom - bound.y;
        }
        *out.scissor = bound;
    }
    counts.upserts = upserts.size();
    counts.evicts = evicts.size();
    return counts;
}

}  // namespace kelvo
