#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

Status emitVectorIcon(WidgetRenderTarget& out, std::uint64_t widgetId, unsigned partBase, Rect rect, Color color,
                      const VectorIcon& icon) {
    rect = normalizeRect(rect);
    if (!(rect.width > 0) || !(rect.height > 0)) return {};
    const Rect art = icon.artwork;
    const float s = std::min(rect.width / art.width, rect.height / art.height);
    if (!(s > 0) || !(s * s > 1e-6f)) return {};
    const float tx = rect.x + (rect.width - art.width * s) / 2 - art.x * s;
    const float ty = rect.y + (rect.height - art.height * s) / 2 - art.y * s;

    TRY(out.append(CanvasCommand::transformBy({s, 0, 0, s, tx, ty})));
    for (std::size_t i = 0; i < icon.paths.size(); ++i) {
        const VectorIconPath& path = icon.paths[i];
        if (path.first > icon.elements.size() || path.count > icon.elements.size() - path.first) continue;
        const std::span<const PathElement> elements = icon.elements.subspan(path.first, path.count);
        const unsigned part = partBase + 2 * static_cast<unsigned>(i);
        if (path.fill_mode != IconPaintMode::none) {
            const Color fill = path.fill_mode == IconPaintMode::own ? path.fill_color : color;
            TRY(out.append(CanvasCommand::fillPath({widgetCommandId(widgetId, part), elements, Paint::solid(fill)})));
        }
        if (path.stroke_width > 0 && path.stroke_mode != IconPaintMode::none) {
            const Color stroke = path.stroke_mode == IconPaintMode::own ? path.stroke_color : color;
            TRY(out.append(CanvasCommand::strokePath({widgetCommandId(widgetId, part + 1), elements,
                                                      Stroke{Paint::solid(stroke), path.stroke_width},
                                                      path.round_cap ? LineCap::round : LineCap::butt})));
        }
    }
    return out.append(CanvasCommand::transformBy({1 / s, 0, 0, 1 / s, -tx / s, -ty / s}));
}

}  // namespace kelvo
