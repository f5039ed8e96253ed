#include "platform/macos/canvas/canvas_2d.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "platform/macos/canvas/packet_geometry.hpp"
#include "platform/standin/gpu/gpu_device.hpp"

namespace kelvo {

namespace {

// Pixel edges are kept within this range before any conversion to an integer.
constexpr double kEdgeLimit = 1 << 30;

std::int32_t pixelEdge(double value, double low, double high) {
    if (!std::isfinite(value)) return value > 0 ? static_cast<std::int32_t>(high) : static_cast<std::int32_t>(low);
    return static_cast<std::int32_t>(std::clamp(std::round(value), low, high));
}

PixelBox intersectBoxes(PixelBox a, PixelBox b) {
    PixelBox out{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
    out.x1 = std::max(out.x1, out.x0);
    out.y1 = std::max(out.y1, out.y0);
    return out;
}

// The rasteriser's working record is large: one per thread, never on the stack.
Rasterizer& threadRasterizer() {
    thread_local auto rasterizer = std::make_unique<Rasterizer>();
    return *rasterizer;
}

struct ShaderSink {
    const Canvas2d* canvas;
    const CanvasShader* shader;
};

void shadeCoverage(void* context, std::int32_t x, std::int32_t y, float coverage) {
    auto& sink = *static_cast<ShaderSink*>(context);
    const Canvas2d& canvas = *sink.canvas;
    auto sx = static_cast<float>(canvas.origin_x + x) + 0.5f, sy = static_cast<float>(canvas.origin_y + y) + 0.5f;
    canvasBlendPixel(canvas, x, y, sink.shader->at(sx, sy), coverage);
}

// Sweeps the accumulated surface-pixel edges over the canvas clip and hands the visible target
// pixels to `fn`.
bool sweepVisible(const Canvas2d& canvas, Rasterizer& rasterizer, FillRule rule, CanvasCoverageFn fn, void* context) {
    if (canvas.clip.x1 <= canvas.clip.x0 || canvas.clip.y1 <= canvas.clip.y0) return true;
    auto ox = static_cast<std::int32_t>(canvas.origin_x), oy = static_cast<std::int32_t>(canvas.origin_y);
    auto pixel = [&](std::int32_t x, std::int32_t y, float coverage) {
        if (canvasPixelVisible(canvas, x - ox, y - oy)) fn(context, x - ox, y - oy, coverage);
    };
    std::int64_t surface_width = canvas.origin_x + canvas.target.width;
    std::int64_t surface_height = canvas.origin_y + canvas.target.height;
    // The sweep takes at most 8,192 columns at a time.
    for (std::int32_t x0 = canvas.clip.x0; x0 < canvas.clip.x1; x0 += static_cast<std::int32_t>(kRasterMaxWidth)) {
        PixelBox band{x0 + ox, canvas.clip.y0 + oy,
                      std::min(canvas.clip.x1, x0 + static_cast<std::int32_t>(kRasterMaxWidth)) + ox,
                      canvas.clip.y1 + oy};
        if (!sweep(rasterizer, band, rule, surface_width, surface_height, pixel)) return false;
    }
    return true;
}

float transformScale(const Affine& m) { return std::max(std::hypot(m.a, m.b), std::hypot(m.c, m.d)); }

}  // namespace

PacketRect standardRect(PacketRect rect) {
    if (!std::isfinite(rect.x) || !std::isfinite(rect.y) || !std::isfinite(rect.width) || !std::isfinite(rect.height)) {
        return {};
    }
    return standardizeRect(rect);
}

bool packetRectEmpty(PacketRect rect) { return !(rect.width > 0) || !(rect.height > 0); }

PacketRect intersectPacketRects(PacketRect a, PacketRect b) {
    a = standardRect(a);
    b = standardRect(b);
    double x0 = std::max(a.x, b.x);
    double y0 = std::max(a.y, b.y);
    double x1 = std::min(a.x + a.width, b.x + b.width);
    double y1 = std::min(a.y + a.height, b.y + b.height);
    if (x1 <= x0 || y1 <= y0) return {x0, y0, 0, 0};
    return {x0, y0, x1 - x0, y1 - y0};
}

bool packetRectsIntersect(PacketRect a, PacketRect b) {
    a = standardRect(a);
    b = standardRect(b);
    if (packetRectEmpty(a) || packetRectEmpty(b)) return false;
    return !packetRectEmpty(intersectPacketRects(a, b));
}

Canvas2d makeCanvas2d(PacketPixels target, double scale, std::int64_t origin_x, std::int64_t origin_y) {
    Canvas2d canvas;
    canvas.target = target;
    canvas.origin_x = origin_x;
    canvas.origin_y = origin_y;
    auto s = static_cast<float>(scale);
    canvas.transform = Affine{s, 0, 0, s, static_cast<float>(-origin_x), static_cast<float>(-origin_y)};
    canvas.surface_transform = Affine{s, 0, 0, s, 0, 0};
    canvas.clip = PixelBox{0, 0, static_cast<std::int32_t>(target.width), static_cast<std::int32_t>(target.height)};
    return canvas;
}

PixelBox canvasPixelBox(const Canvas2d& canvas, PacketRect rect) {
    rect = standardRect(rect);
    const Affine& m = canvas.transform;
    std::array<Point, 4> corners = {
        Point{static_cast<float>(rect.x), static_cast<float>(rect.y)},
        Point{static_cast<float>(rect.x + rect.width), static_cast<float>(rect.y)},
        Point{static_cast<float>(rect.x), static_cast<float>(rect.y + rect.height)},
        Point{static_cast<float>(rect.x + rect.width), static_cast<float>(rect.y + rect.height)}};
    double x0 = kEdgeLimit, y0 = kEdgeLimit, x1 = -kEdgeLimit, y1 = -kEdgeLimit;
    for (Point corner : corners) {
        Point p = applyAffine(m, corner);
        x0 = std::min(x0, static_cast<double>(p.x));
        y0 = std::min(y0, static_cast<double>(p.y));
        x1 = std::max(x1, static_cast<double>(p.x));
        y1 = std::max(y1, static_cast<double>(p.y));
    }
    double w = canvas.target.width;
    double h = canvas.target.height;
    PixelBox box{pixelEdge(x0, 0, w), pixelEdge(y0, 0, h), pixelEdge(x1, 0, w), pixelEdge(y1, 0, h)};
    if (packetRectEmpty(rect)) box.x1 = box.x0;
    return intersectBoxes(box, box);
}

void canvasClipToRect(Canvas2d& canvas, PacketRect rect) {
    canvas.clip = intersectBoxes(canvas.clip, canvasPixelBox(canvas, rect));
}

void canvasClipToUnion(Canvas2d& canvas, std::span<const PacketRect> rects) {
    canvas.union_count = 0;
    PixelBox bounds{0, 0, 0, 0};
    for (const PacketRect& rect : rects) {
        PixelBox box = canvasPixelBox(canvas, rect);
        if (canvas.union_count < kCanvasUnionCapacity) {
            canvas.union_boxes[canvas.union_count++] = box;
        } else {
            PixelBox& last = canvas.union_boxes[kCanvasUnionCapacity - 1];
            last = PixelBox{std::min(last.x0, box.x0), std::min(last.y0, box.y0), std::max(last.x1, box.x1),
                            std::max(last.y1, box.y1)};
        }
        bounds = bounds.x1 > bounds.x0 ? PixelBox{std::min(bounds.x0, box.x0), std::min(bounds.y0, box.y0),
                                                  std::max(bounds.x1, box.x1), std::max(bounds.y1, box.y1)}
                                       : box;
    }
    if (canvas.union_count == 0) {
        canvas.clip.x1 = canvas.clip.x0;  // an empty union hides everything
        return;
    }
    canvas.clip = intersectBoxes(canvas.clip, bounds);
}

void canvasConcat(Canvas2d& canvas, const PacketTransform& t) {
    auto entry = [&](std::size_t i, double fallback) {
        return static_cast<float>(std::isfinite(t[i]) ? t[i] : fallback);
    };
    Affine inner{entry(0, 1), entry(1, 0), entry(2, 0), entry(3, 1), entry(4, 0), entry(5, 0)};
    canvas.transform = composeAffine(canvas.transform, inner);
    canvas.surface_transform = composeAffine(canvas.surface_transform, inner);
}

bool canvasPixelVisible(const Canvas2d& canvas, std::int32_t x, std::int32_t y) {
    if (x < canvas.clip.x0 || x >= canvas.clip.x1 || y < canvas.clip.y0 || y >= canvas.clip.y1) return false;
    if (canvas.union_count == 0) return true;
    for (std::size_t i = 0; i < canvas.union_count; ++i) {
        const PixelBox& box = canvas.union_boxes[i];
        if (x >= box.x0 && x < box.x1 && y >= box.y0 && y < box.y1) return true;
    }
    return false;
}

void canvasBlendPixel(const Canvas2d& canvas, std::int32_t x, std::int32_t y, const std::array<float, 4>& colour,
                      float coverage) {
    // The source is rounded to bytes first and then blended as the GPU's blend pipeline does, so a
    // command drawn here equals the same command drawn alone on transparent and then composited.
    std::array<std::uint32_t, 4> source{};
    for (int c = 0; c < 4; ++c) {
        source[c] = static_cast<std::uint32_t>(std::clamp(colour[c] * coverage, 0.0f, 1.0f) * 255.0f + 0.5f);
    }
    if (source[3] == 0 && source[0] == 0 && source[1] == 0 && source[2] == 0) return;
    std::uint8_t* p = canvas.target.data + (static_cast<std::size_t>(y) * canvas.target.width + x) * 4;
    for (int c = 0; c < 4; ++c) p[c] = gpu::blendChannel(source[c], p[c], source[3]);
}

bool canvasCoverPath(const Canvas2d& canvas, std::span<const PathElement> path, FillRule rule, CanvasCoverageFn fn,
                     void* context) {
    Rasterizer& rasterizer = threadRasterizer();
    rasterizer.clear();
    if (!accumulateFillEdges(rasterizer, path, canvas.surface_transform)) return false;
    return sweepVisible(canvas, rasterizer, rule, fn, context);
}

bool canvasFillPath(const Canvas2d& canvas, std::span<const PathElement> path, FillRule rule,
                    const CanvasShader& shader) {
    ShaderSink sink{&canvas, &shader};
    return canvasCoverPath(canvas, path, rule, shadeCoverage, &sink);
}

bool canvasStrokePath(const Canvas2d& canvas, std::span<const PathElement> path, float width, StrokeCap cap,
                      StrokeJoin join, const CanvasShader& shader) {
    Rasterizer& rasterizer = threadRasterizer();
    rasterizer.clear();
    StrokeStyle style;
    style.width = width * transformScale(canvas.transform);
    style.miter_limit = 10;
    style.cap = cap;
    style.join = join;
    if (!accumulateStrokeEdges(rasterizer, path, canvas.surface_transform, style)) return false;
    ShaderSink sink{&canvas, &shader};
    return sweepVisible(canvas, rasterizer, FillRule::winding, shadeCoverage, &sink);
}

void canvasCopyRect(const Canvas2d& canvas, PacketRect rect, const std::array<std::uint8_t, 4>& premultiplied) {
    PixelBox box = intersectBoxes(canvas.clip, canvasPixelBox(canvas, rect));
    for (std::int32_t y = box.y0; y < box.y1; ++y) {
        for (std::int32_t x = box.x0; x < box.x1; ++x) {
            if (!canvasPixelVisible(canvas, x, y)) continue;
            std::uint8_t* p = canvas.target.data + (static_cast<std::size_t>(y) * canvas.target.width + x) * 4;
            std::copy(premultiplied.begin(), premultiplied.end(), p);
        }
    }
}

std::vector<PathElement>& canvasPathScratch() {
    thread_local std::vector<PathElement> path;
    path.clear();
    return path;
}

void appendRectPath(std::vector<PathElement>& path, PacketRect rect) {
    rect = standardRect(rect);
    auto x0 = static_cast<float>(rect.x), y0 = static_cast<float>(rect.y);
    auto x1 = static_cast<float>(rect.x + rect.width), y1 = static_cast<float>(rect.y + rect.height);
    path.push_back(PathElement::moveTo({x0, y0}));
    path.push_back(PathElement::lineTo({x1, y0}));
    path.push_back(PathElement::lineTo({x1, y1}));
    path.push_back(PathElement::lineTo({x0, y1}));
    path.push_back(PathElement{{}, PathVerb::close});
}

void appendRoundedRectPath(std::vector<PathElement>& path, PacketRect rect, const PacketRadii& radii) {
    rect = standardRect(rect);
    double limit = std::max(std::min(rect.width, rect.height) * 0.5, 0.0);
    std::array<float, 4> r{};
    for (std::size_t i = 0; i < 4; ++i) {
        double value = std::isfinite(radii[i]) ? radii[i] : 0;
        r[i] = static_cast<float>(std::clamp(value, 0.0, limit));
    }
    auto x = static_cast<float>(rect.x), y = static_cast<float>(rect.y);
    auto w = static_cast<float>(rect.width), h = static_cast<float>(rect.height);
    constexpr float k = 1.0f - 0.5522847498307936f;
    auto corner = [&](Point from, Point corner_point, Point to, float radius) {
        if (radius <= 0) {
            path.push_back(PathElement::lineTo(corner_point));
            return;
        }
        Point c1{from.x + (corner_point.x - from.x) * (1 - k), from.y + (corner_point.y - from.y) * (1 - k)};
        Point c2{to.x + (corner_point.x - to.x) * (1 - k), to.y + (corner_point.y - to.y) * (1 - k)};
        path.push_back(PathElement{{c1, c2, to}, PathVerb::cubic_to});
    };
    path.push_back(PathElement::moveTo({x + r[0], y}));
    path.push_back(PathElement::lineTo({x + w - r[1], y}));
    corner({x + w - r[1], y}, {x + w, y}, {x + w, y + r[1]}, r[1]);
    path.push_back(PathElement::lineTo({x + w, y + h - r[2]}));
    corner({x + w, y + h - r[2]}, {x + w, y + h}, {x + w - r[2], y + h}, r[2]);
    path.push_back(PathElement::lineTo({x + r[3], y + h}));
    corner({x + r[3], y + h}, {x, y + h}, {x, y + h - r[3]}, r[3]);
    path.push_back(PathElement::lineTo({x, y + r[0]}));
    corner({x, y + r[0]}, {x, y}, {x + r[0], y}, r[0]);
    path.push_back(PathElement{{}, PathVerb::close});
}

}  // namespace kelvo
