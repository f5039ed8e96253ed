#include "widgets/widget_render.hpp"
#include "widgets/widget_render_draw.hpp"

namespace kelvo {

using namespace render;

Status emitScrollViewScrollbar(WidgetRenderTarget& out, Rect viewport, const WidgetScrollSemantics& scroll,
                               const WidgetTokens& tokens, std::uint64_t widgetId) {
    viewport = normalizeRect(viewport);
    const float extent = std::max(scroll.viewport, 0.0f);
    const float content = std::max(scroll.content, 0.0f);
    if (!isSet(scroll.scrollable) || !(viewport.width > 0) || !(viewport.height > 0)) return {};
    if (!(extent > 0) || !(extent < content)) return {};

    const float d = widgetDensityScale(tokens);
    const float margin = 3 * d;
    const float thickness = std::min(std::max(viewport.width * 0.0125f, margin), 6 * d);
    if (!(thickness > 0)) return {};
    const float length = viewport.height - 2 * margin;
    if (!(length > 0)) return {};
    const Rect track{viewport.x + viewport.width - margin - thickness, viewport.y + margin, thickness, length};
    const float thumbLength = std::min(length, std::max(std::min(length, densityScrollbarMinThumb(tokens.density)),
                                                        length * std::clamp(extent / content, 0.0f, 1.0f)));
    const float travel = std::clamp(std::max(scroll.offset, 0.0f) / (content - extent), 0.0f, 1.0f);
    const Rect thumb{track.x, track.y + travel * (length - thumbLength), thickness, thumbLength};

    const ControlVisualTokens& block = tokens.block(ControlBlock::scrollbar);
    const CornerRadii radii = uniformRadii(block.corner_radius ? std::max(*block.corner_radius, 0.0f) : thickness / 2);
    const Color& border = palette(tokens, PaletteColor::border);
    const Color trackColor = firstOf(block.fill, withAlpha(border, std::min(border.a, 0.22f)));
    const Color thumbColor =
        firstOf(block.foreground, block.active_fill, withAlpha(palette(tokens, PaletteColor::text_muted), 0.55f));
    TRY(appendFillRoundedRect(out, widgetCommandId(widgetId, 2), snapRectFields(track, tokens), radii, trackColor));
    return appendFillRoundedRect(out, widgetCommandId(widgetId, 3), snapRectFields(thumb, tokens), radii, thumbColor);
}

}  // namespace kelvo
