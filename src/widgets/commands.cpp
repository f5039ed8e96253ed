#include "widgets/commands.hpp"

#include <algorithm>
#include <cmath>

#include "widgets/draw_text_bounds.hpp"

namespace kelvo {

namespace {

CanvasCommand tagged(CanvasCommandTag tag) {
    CanvasCommand command;
    command.tag = tag;
    return command;
}

Rect grown(Rect rect, float by) { return {rect.x - by, rect.y - by, rect.width + 2 * by, rect.height + 2 * by}; }

float halfWidth(float strokeWidth) { return std::max(strokeWidth, 0.0f) * 0.5f; }

// The box over the points the elements' verbs use; none when no element has a point.
std::optional<Rect> pathPointBounds(std::span<const PathElement> elements) {
    float left = 0, top = 0, right = 0, bottom = 0;
    bool any = false;
    for (const PathElement& element : elements) {
        int used = pathVerbPointCount(element.verb);
        for (int i = 0; i < used; ++i) {
            Point p = element.points[i];
            if (!any) {
                left = right = p.x;
                top = bottom = p.y;
                any = true;
            } else {
                left = std::min(left, p.x), right = std::max(right, p.x);
                top = std::min(top, p.y), bottom = std::max(bottom, p.y);
            }
        }
    }
    if (!any) return std::nullopt;
    return Rect{left, top, right - left, bottom - top};
}

// Both present: the rules of the union; the result is always present.
Rect unionPresent(Rect a, Rect b) {
    a = normalizeRect(a);
    b = normalizeRect(b);
    bool aEmpty = rectIsEmpty(a);
    bool bEmpty = rectIsEmpty(b);
    if (aEmpty) return bEmpty ? Rect{0, 0, 0, 0} : b;
    if (bEmpty) return a;
    float left = std::min(a.x, b.x);
    float top = std::min(a.y, b.y);
    float right = std::max(a.x + a.width, b.x + b.width);
    float bottom = std::max(a.y + a.height, b.y + b.height);
    return {left, top, right - left, bottom - top};
}

}  // namespace

CanvasCommand CanvasCommand::pushClip(const PushClipCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::push_clip);
    command.push_clip = payload;
    return command;
}
CanvasCommand CanvasCommand::popClip() { return tagged(CanvasCommandTag::pop_clip); }
CanvasCommand CanvasCommand::pushOpacity(float opacity) {
    CanvasCommand command = tagged(CanvasCommandTag::push_opacity);
    command.push_opacity = {opacity};
    return command;
}
CanvasCommand CanvasCommand::popOpacity() { return tagged(CanvasCommandTag::pop_opacity); }
CanvasCommand CanvasCommand::transformBy(const Affine& matrix) {
    CanvasCommand command = tagged(CanvasCommandTag::transform);
    command.transform = matrix;
    return command;
}
CanvasCommand CanvasCommand::fillRect(const FillRectCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::fill_rect);
    command.fill_rect = payload;
    return command;
}
CanvasCommand CanvasCommand::strokeRect(const StrokeRectCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::stroke_rect);
    command.stroke_rect = payload;
    return command;
}
CanvasCommand CanvasCommand::fillRoundedRect(const FillRoundedRectCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::fill_rounded_rect);
    command.fill_rounded_rect = payload;
    return command;
}
CanvasCommand CanvasCommand::drawLine(const DrawLineCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::draw_line);
    command.draw_line = payload;
    return command;
}
CanvasCommand CanvasCommand::fillPath(const FillPathCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::fill_path);
    command.fill_path = payload;
    return command;
}
CanvasCommand CanvasCommand::strokePath(const StrokePathCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::stroke_path);
    command.stroke_path = payload;
    return command;
}
CanvasCommand CanvasCommand::drawImage(const DrawImageCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::draw_image);
    command.draw_image = payload;
    return command;
}
CanvasCommand CanvasCommand::drawText(const DrawTextCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::draw_text);
    command.draw_text = payload;
    return command;
}
CanvasCommand CanvasCommand::shadowOf(const ShadowCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::shadow);
    command.shadow = payload;
    return command;
}
CanvasCommand CanvasCommand::blurOf(const BlurCommand& payload) {
    CanvasCommand command = tagged(CanvasCommandTag::blur);
    command.blur = payload;
    return command;
}

std::uint64_t canvasCommandId(const CanvasCommand& command) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::push_clip:
            return command.push_clip.id;
        case CanvasCommandTag::fill_rect:
            return command.fill_rect.id;
        case CanvasCommandTag::stroke_rect:
            return command.stroke_rect.id;
        case CanvasCommandTag::fill_rounded_rect:
            return command.fill_rounded_rect.id;
        case CanvasCommandTag::draw_line:
            return command.draw_line.id;
        case CanvasCommandTag::fill_path:
            return command.fill_path.id;
        case CanvasCommandTag::stroke_path:
            return command.stroke_path.id;
        case CanvasCommandTag::draw_image:
            return command.draw_image.id;
        case CanvasCommandTag::draw_text:
            return command.draw_text.id;
        case CanvasCommandTag::shadow:
            return command.shadow.id;
        case CanvasCommandTag::blur:
            return command.blur.id;
        default:
            return 0;
    }
}

std::optional<Rect> canvasCommandBounds(const CanvasCommand& command) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::push_clip:
            return normalizeRect(command.push_clip.rect);
        case CanvasCommandTag::fill_rect:
            return normalizeRect(command.fill_rect.rect);
        case CanvasCommandTag::fill_rounded_rect:
            return normalizeRect(command.fill_rounded_rect.rect);
        case CanvasCommandTag::stroke_rect: {
            const StrokeRectCommand& p = command.stroke_rect;
            return grown(normalizeRect(p.rect), halfWidth(p.stroke.width));
        }
        case CanvasCommandTag::draw_line: {
            const DrawLineCommand& p = command.draw_line;
            float left = std::min(p.from.x, p.to.x), right = std::max(p.from.x, p.to.x);
            float top = std::min(p.from.y, p.to.y), bottom = std::max(p.from.y, p.to.y);
            return grown({left, top, right - left, bottom - top}, halfWidth(p.stroke.width));
        }
        case CanvasCommandTag::fill_path:
            return pathPointBounds(command.fill_path.elements);
        case CanvasCommandTag::stroke_path: {
            std::optional<Rect> box = pathPointBounds(command.stroke_path.elements);
            if (!box) return std::nullopt;
            return grown(*box, halfWidth(command.stroke_path.stroke.width));
        }
        case CanvasCommandTag::draw_image:
            return normalizeRect(command.draw_image.dst);
        case CanvasCommandTag::draw_text:
            return drawTextBounds(command.draw_text);
        case CanvasCommandTag::shadow: {
            const ShadowCommand& p = command.shadow;
            Rect box = normalizeRect(p.rect);
            box.x += p.offset.x;
            box.y += p.offset.y;
            return grown(box, std::max(p.blur, 0.0f) + std::fabs(p.spread));
        }
        case CanvasCommandTag::blur:
            return grown(normalizeRect(command.blur.rect), std::max(command.blur.radius, 0.0f));
        default:
            return std::nullopt;
    }
}

std::optional<Rect> unionOptionalBounds(std::optional<Rect> a, std::optional<Rect> b) {
    if (!a && !b) return std::nullopt;
    if (!a) return normalizeRect(*b);
    if (!b) return normalizeRect(*a);
    return unionPresent(*a, *b);
}

std::optional<Rect> displayListBoundsWithoutText(std::span<const CanvasCommand> commands) {
    std::optional<Rect> total;
    for (const CanvasCommand& command : commands) {
        if (canvasCommandTagBits(command) == static_cast<unsigned>(CanvasCommandTag::draw_text)) return std::nullopt;
        std::optional<Rect> box = canvasCommandBounds(command);
        if (!box) continue;
        total = total ? unionPresent(*total, *box) : *box;
    }
    return total;
}

}  // namespace kelvo
