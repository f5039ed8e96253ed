#include "widgets/widget_render_draw.hpp"

namespace kelvo::render {

Status appendFillRect(WidgetRenderTarget& out, std::uint64_t id, Rect rect, Color color) {
    return out.append(CanvasCommand::fillRect({id, Paint::solid(color), rect}));
}

Status appendFillRoundedRect(WidgetRenderTarget& out, std::uint64_t id, Rect rect, CornerRadii radii, Color color) {
    return out.append(CanvasCommand::fillRoundedRect({id, Paint::solid(color), rect, radii}));
}

Status appendStrokeRect(WidgetRenderTarget& out, std::uint64_t id, Rect rect, CornerRadii radii, Color color,
                        float width, const WidgetTokens& tokens) {
    const StrokeRectCommand payload{id, Stroke{Paint::solid(color), width}, rect, radii};
    return out.append(
        CanvasCommand::strokeRect(snapHairlineStrokeRect(payload, tokens.snap_geometry, tokens.pixel_scale)));
}

Status appendDrawLine(WidgetRenderTarget& out, std::uint64_t id, Point from, Point to, Color color, float width) {
    return out.append(CanvasCommand::drawLine({id, Stroke{Paint::solid(color), width}, from, to}));
}

Status appendPushClip(WidgetRenderTarget& out, std::uint64_t id, Rect rect, CornerRadii radii) {
    return out.append(CanvasCommand::pushClip({id, rect, radii}));
}

Status appendPopClip(WidgetRenderTarget& out) { return out.append(CanvasCommand::popClip()); }

Status appendText(WidgetRenderTarget& out, std::uint64_t id, std::uint64_t font, std::string_view text, float size,
                  Point origin, Color color, const std::optional<TextLayoutBox>& layout, const WidgetTokens& tokens) {
    DrawTextCommand run;
    run.id = id;
    run.font = font;
    run.text = text;
    run.layout = layout;
    run.size = size;
    run.origin = snapTextOrigin(origin, tokens);
    run.color = color;
    return out.append(CanvasCommand::drawText(run));
}

}  // namespace kelvo::render
