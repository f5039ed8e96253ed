// The spinner: an open arc, or a ring of rounded bars that fade behind the leading one.

#include <numbers>

#include "widgets/widget_render_content.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

namespace {

constexpr float kArcSweepDegrees = 288;
constexpr int kArcSegments = 4;
constexpr float kArcControl = 0.4332263f;     // 4/3 tan(72 degrees / 4)
constexpr float kCircleControl = 0.5522848f;  // a quarter circle's control distance
constexpr std::size_t kBarElements = 8;

float radians(float degrees) { return degrees * std::numbers::pi_v<float> / 180; }

Point along(Point from, Point direction, float distance) {
    return {from.x + direction.x * distance, from.y + direction.y * distance};
}

Status emitArc(WidgetRenderTarget& out, const WidgetDescription& widget, Point centre, float side, float phase,
               Color color, const ControlVisualTokens& block) {
    const float r = side * 0.375f;
    const std::span<PathElement> arc = TRY(takeWidgetPathElements(1 + kArcSegments));
    const float step = radians(kArcSweepDegrees / kArcSegments);
    float angle = radians(phase * 360 - 90);
    const auto point = [&](float a) { return Point{centre.x + r * std::cos(a), centre.y + r * std::sin(a)}; };
    const auto tangent = [&](float a) { return Point{-std::sin(a), std::cos(a)}; };
    arc[0] = PathElement::moveTo(point(angle));
    for (int i = 0; i < kArcSegments; ++i) {
        const float next = angle + step;
        arc[1 + static_cast<std::size_t>(i)] =
            PathElement::cubicTo(along(point(angle), tangent(angle), r * kArcControl),
                                 along(point(next), tangent(next), -r * kArcControl), point(next));
        angle = next;
    }
    const float width = firstOf(widget.stroke_override, block.border_width, side / 12);
    return out.append(CanvasCommand::strokePath(
        {widgetCommandId(widget.id, 2), arc, Stroke{Paint::solid(color), width}, LineCap::round}));
}

// One bar of the ring: a capsule around the segment from `inner` to `outer` with end radius r.
void capsule(std::span<PathElement> path, Point inner, Point outer, Point u, float r) {
    const Point side{-u.y * r, u.x * r};  // r to the left of the bar
    const auto add = [](Point a, Point b) { return Point{a.x + b.x, a.y + b.y}; };
    const auto sub = [](Point a, Point b) { return Point{a.x - b.x, a.y - b.y}; };
    const Point tip = along(outer, u, r);
    const Point foot = along(inner, u, -r);
    const Point k{u.x * r * kCircleControl, u.y * r * kCircleControl};
    const Point ks{side.x * kCircleControl, side.y * kCircleControl};
    path[0] = PathElement::moveTo(add(inner, side));
    path[1] = PathElement::lineTo(add(outer, side));
    path[2] = PathElement::cubicTo(add(add(outer, side), k), add(tip, ks), tip);
    path[3] = PathElement::cubicTo(sub(tip, ks), add(sub(outer, side), k), sub(outer, side));
    path[4] = PathElement::lineTo(sub(inner, side));
    path[5] = PathElement::cubicTo(sub(sub(inner, side), k), sub(foot, ks), foot);
    path[6] = PathElement::cubicTo(add(foot, ks), sub(add(inner, side), k), add(inner, side));
    path[7] = PathElement::close();
}

Status emitDotRing(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens, Point centre,
                   float side, float phase, Color color) {
    const unsigned n = std::clamp<std::uint32_t>(tokens.spinner_dot_count, 3, 15);
    const float ring = side * std::max(tokens.spinner_ring, 0.0f);
    const float dot = side * std::max(tokens.spinner_dot, 0.0f);
    if (!(ring > 0) || !(dot > 0)) return {};
    const float r = dot / 2;
    const float h = std::max(ring / 2 - r, 0.0f);
    const float radius = side * std::max(tokens.spinner_radius, 0.0f);
    const float minAlpha = std::clamp(tokens.spinner_min_alpha, 0.0f, 1.0f);
    for (unsigned k = 0; k < n; ++k) {
        const float a = radians(static_cast<float>(k) * 360 / static_cast<float>(n) - 90);
        const Point u{std::cos(a), std::sin(a)};
        const std::span<PathElement> bar = TRY(takeWidgetPathElements(kBarElements));
        capsule(bar, along(centre, u, radius - h), along(centre, u, radius + h), u, r);
        float factor = 1;
        if (tokens.duration_long == 0) {
            const float position = static_cast<float>(k) / static_cast<float>(n) - phase;
            const float f = position - std::floor(position);
            if (f != 0) factor = minAlpha + (1 - minAlpha) * f;
        }
        TRY(out.append(CanvasCommand::fillPath(
            {widgetCommandId(widget.id, 1 + k), bar, Paint::solid(withAlpha(color, color.a * factor))})));
    }
    return {};
}

}  // namespace

Status emitSpinnerWidget(WidgetRenderTarget& out, const WidgetDescription& widget, const WidgetTokens& tokens) {
    const Rect frame = normalizeRect(widget.frame);
    const float side = std::min(frame.width, frame.height);
    if (!(side > 0)) return {};
    const ControlVisualTokens block = componentControlVisualTokens(widget.widgetKind(), tokens);
    const Point centre{frame.x + frame.width / 2, frame.y + frame.height / 2};
    const float phase = std::isnan(widget.value) ? 0.0f : std::clamp(widget.value, 0.0f, 1.0f);
    const Color color = isSet(widget.disabled) ? palette(tokens, PaletteColor::text_muted)
                                               : firstOf(block.foreground, palette(tokens, PaletteColor::text_muted));
    if (tokens.spinner_style == 0) return emitArc(out, widget, centre, side, phase, color, block);
    return emitDotRing(out, widget, tokens, centre, side, phase, color);
}

}  // namespace kelvo
