#include <algorithm>
#include <cmath>

#include "platform/macos/canvas/packet_raster_body.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kGradientMaxStops = 16;

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

std::size_t gradientStopCount(const PacketPaint& paint) { return std::min(paint.stops.size(), kGradientMaxStops); }

// Every stop a gradient uses has a colour; one without fails the drawing.
bool gradientStopsHaveColours(const PacketPaint& paint) {
    const std::size_t count = gradientStopCount(paint);
    return std::all_of(paint.stops.begin(), paint.stops.begin() + static_cast<std::ptrdiff_t>(count),
                       [](const PacketGradientStop& stop) { return stop.color.has_value(); });
}

// A linear gradient between two device points; nothing is painted before the start or past the end.
class GradientShader final : public CanvasShader {
public:
    GradientShader(const Canvas2d& canvas, const PacketPaint& paint, double opacity) {
        count_ = gradientStopCount(paint);
        for (std::size_t i = 0; i < count_; ++i) {
            const PacketGradientStop& stop = paint.stops[i];
            // A stop without an offset of its own sits at its place among the stops used.
            const double place = static_cast<double>(i) / static_cast<double>(std::max<std::size_t>(count_ - 1, 1));
            offsets_[i] = static_cast<float>(std::clamp(finiteOr(stop.offset, place), 0.0, 1.0));
            const PacketColor colour = stop.color.value_or(PacketColor{});
            for (std::size_t c = 0; c < 3; ++c) {
                colours_[i][c] = static_cast<float>(std::clamp(finiteOr(colour[c], 0), 0.0, 1.0));
            }
            colours_[i][3] = static_cast<float>(std::clamp(finiteOr(colour[3], 1) * opacity, 0.0, 1.0));
        }
        start_ = applyAffine(canvas.surface_transform, {static_cast<float>(finiteOr(paint.start.x, 0)),
                                                        static_cast<float>(finiteOr(paint.start.y, 0))});
        Point end = applyAffine(canvas.surface_transform, {static_cast<float>(finiteOr(paint.end.x, 0)),
                                                           static_cast<float>(finiteOr(paint.end.y, 0))});
        direction_ = {end.x - start_.x, end.y - start_.y};
        length_squared_ = direction_.x * direction_.x + direction_.y * direction_.y;
    }

    std::array<float, 4> at(float x, float y) const override {
        if (!(length_squared_ > 0) || count_ == 0) return {};
        float t = ((x - start_.x) * direction_.x + (y - start_.y) * direction_.y) / length_squared_;
        if (t < 0 || t > 1) return {};
        std::array<float, 4> straight = colours_[count_ - 1];
        if (t <= offsets_[0]) {
            straight = colours_[0];
        } else {
            for (std::size_t i = 1; i < count_; ++i) {
                if (t > offsets_[i]) continue;
                float span = offsets_[i] - offsets_[i - 1];
                float f = span > 0 ? (t - offsets_[i - 1]) / span : 1;
                for (std::size_t c = 0; c < 4; ++c) {
                    straight[c] = colours_[i - 1][c] + (colours_[i][c] - colours_[i - 1][c]) * f;
                }
                break;
            }
        }
        return {straight[0] * straight[3], straight[1] * straight[3], straight[2] * straight[3], straight[3]};
    }

private:
    std::array<float, kGradientMaxStops> offsets_{};
    std::array<std::array<float, 4>, kGradientMaxStops> colours_{};
    std::size_t count_ = 0;
    Point start_;
    Point direction_;
    float length_squared_ = 0;
};

Point toPoint(PacketPoint p) { return {static_cast<float>(finiteOr(p.x, 0)), static_cast<float>(finiteOr(p.y, 0))}; }

// The path of a shape in points; false when the shape yields none.
bool shapePath(const PacketShape& shape, std::vector<PathElement>& path) {
    switch (shape.kind) {
        case PacketShapeKind::rect:
            appendRectPath(path, shape.rect);
            return true;
        case PacketShapeKind::rounded_rect:
        case PacketShapeKind::stroke_rect:
            appendRoundedRectPath(path, shape.rect, shape.radius);
            return true;
        case PacketShapeKind::line:
            path.push_back(PathElement::moveTo(toPoint(shape.from)));
            path.push_back(PathElement::lineTo(toPoint(shape.to)));
            return true;
        case PacketShapeKind::path:
            break;
        default:
            return false;
    }
    bool has_current = false;
    Point current;
    Point start;
    for (const PacketPathElement& element : shape.path) {
        auto verb = static_cast<std::size_t>(element.verb);
        if (verb >= kPacketVerbPoints.size() || element.point_count < kPacketVerbPoints[verb]) return false;
        if (element.verb != PacketPathVerb::move_to && !has_current) return false;
        for (std::size_t i = 0; i < kPacketVerbPoints[verb]; ++i) {
            if (!std::isfinite(element.points[i].x) || !std::isfinite(element.points[i].y)) return false;
        }
        Point p0 = toPoint(element.points[0]);
        switch (element.verb) {
            case PacketPathVerb::move_to:
                path.push_back(PathElement::moveTo(p0));
                start = current = p0;
                break;
            case PacketPathVerb::line_to:
                path.push_back(PathElement::lineTo(p0));
                current = p0;
                break;
            case PacketPathVerb::quad_to: {
                Point end = toPoint(element.points[1]);
                Point c1{current.x + (p0.x - current.x) * (2.0f / 3.0f),
                         current.y + (p0.y - current.y) * (2.0f / 3.0f)};
                Point c2{end.x + (p0.x - end.x) * (2.0f / 3.0f), end.y + (p0.y - end.y) * (2.0f / 3.0f)};
                path.push_back(PathElement{{c1, c2, end}, PathVerb::cubic_to});
                current = end;
                break;
            }
            case PacketPathVerb::cubic_to: {
                Point end = toPoint(element.points[2]);
                path.push_back(PathElement{{p0, toPoint(element.points[1]), end}, PathVerb::cubic_to});
                current = end;
                break;
            }
            case PacketPathVerb::close:
                path.push_back(PathElement{{}, PathVerb::close});
                current = start;
                break;
        }
        has_current = true;
    }
    return true;
}

enum class PathPaintMode : std::uint8_t { fill, stroke };

struct StrokeOptions {
    float width = 1;
    StrokeCap cap = StrokeCap::butt;
    StrokeJoin join = StrokeJoin::miter;
};

bool drawPaintedPath(const Canvas2d& canvas, const std::vector<PathElement>& path, const PacketPaint& paint,
                     PathPaintMode mode, const StrokeOptions& stroke, double opacity) {
    SolidShader solid;
    const CanvasShader* shader = &solid;
    std::optional<GradientShader> gradient;
    if (paint.kind == PacketPaintKind::color) {
        if (!paint.color) return false;
        solid.premultiplied = packetPremultipliedColour(*paint.color, opacity);
    } else if (paint.kind == PacketPaintKind::linear_gradient) {
        if (paint.stops.empty() || !gradientStopsHaveColours(paint)) return false;
        if (mode == PathPaintMode::stroke) {
            // Gradient strokes are drawn in the first stop's colour.
            solid.premultiplied = packetPremultipliedColour(*paint.stops[0].color, opacity);
        } else {
            gradient.emplace(canvas, paint, opacity);
            shader = &*gradient;
        }
    } else {
        return false;
    }
    if (mode == PathPaintMode::fill) return canvasFillPath(canvas, path, FillRule::winding, *shader);
    return canvasStrokePath(canvas, path, stroke.width, stroke.cap, stroke.join, *shader);
}

bool kindStartsWith(std::string_view kind, std::string_view prefix) { return kind.substr(0, prefix.size()) == prefix; }

double atLeastOne(double value) { return std::isfinite(value) ? std::max(value, 1.0) : 1.0; }

}  // namespace

double packetEffectiveOpacity(const PacketCommand& command) {
    return std::clamp(finiteOr(command.opacity, 1), 0.0, 1.0);
}

std::array<float, 4> packetPremultipliedColour(const PacketColor& colour, double opacity) {
    float a = static_cast<float>(std::clamp(finiteOr(colour[3], 1) * opacity, 0.0, 1.0));
    std::array<float, 4> out{};
    for (std::size_t c = 0; c < 3; ++c) out[c] = static_cast<float>(std::clamp(finiteOr(colour[c], 0), 0.0, 1.0)) * a;
    out[3] = a;
    return out;
}

bool drawPacketCommandBody(Canvas2d& canvas, const PacketCommand& command, double opacity, double scale,
                           const std::optional<PacketRect>& clip, const PacketImageSource* images) {
    std::string_view kind = packetCommandKindName(command.kind);
    bool fill = kindStartsWith(kind, "fill_rect") || kindStartsWith(kind, "fill_rounded_rect") || kind == "fill_path";
    bool stroke = kindStartsWith(kind, "stroke_rect") || kindStartsWith(kind, "draw_line") || kind == "stroke_path";
    if (fill || stroke) {
        if (!command.shape || !command.paint) return false;
        std::vector<PathElement>& path = canvasPathScratch();
        if (!shapePath(*command.shape, path)) return false;
        StrokeOptions options;
        bool line_shape = command.shape->kind == PacketShapeKind::line;
        double shape_width = line_shape ? atLeastOne(command.shape->width) : 1.0;
        if (kindStartsWith(kind, "stroke_rect")) {
            options.width =
                static_cast<float>(command.stroke_width > 0 ? atLeastOne(command.stroke_width) : shape_width);
        } else if (kindStartsWith(kind, "draw_line")) {
            options.width = static_cast<float>(shape_width);
        } else if (kind == "stroke_path") {
            options.width = static_cast<float>(atLeastOne(command.stroke_width));
            options.cap = command.cap == PacketCap::round ? StrokeCap::round : StrokeCap::butt;
            options.join = StrokeJoin::round;
        }
        return drawPaintedPath(canvas, path, *command.paint, fill ? PathPaintMode::fill : PathPaintMode::stroke,
                               options, opacity);
    }
    if (kind == "draw_text") return command.text && drawPacketText(canvas, *command.text, opacity);
    if (kind == "draw_image") return command.image && drawPacketImage(canvas, *command.image, images, opacity);
    if (kind == "shadow" || kind == "blur") {
        if (!command.effect) return false;
        if (command.effect->kind == PacketEffectKind::shadow) return drawPacketShadow(canvas, *command.effect, opacity);
        if (command.effect->kind != PacketEffectKind::blur) return false;
        // The blur reads the pixels already drawn on the canvas grid; a buffer of one region (a
        // scratch texture) has no such pixels, and the compositor blurs its read-back itself.
        if (canvas.origin_x != 0 || canvas.origin_y != 0) return true;
        return applyPacketBlurInside(*command.effect, command.transform, clip, opacity, scale, canvas.target,
                                     canvas.union_count > 0 ? &canvas : nullptr);
    }
    return false;
}

bool drawPacketCommandOnCanvas(Canvas2d canvas, const PacketCommand& command, std::optional<PacketRect> clip,
                               double scale, const PacketImageSource* images) {
    if (clip && !packetRectsIntersect(command.bounds, *clip)) return true;
    double opacity = packetEffectiveOpacity(command);
    if (clip) canvasClipToRect(canvas, *clip);
    if (command.clip) {
        canvasClipToRect(canvas, *command.clip);
        clip = clip ? intersectPacketRects(*command.clip, *clip) : standardRect(*command.clip);
    }
    if (command.transform) canvasConcat(canvas, *command.transform);
    return drawPacketCommandBody(canvas, command, opacity, scale, clip, images);
}

}  // namespace kelvo
