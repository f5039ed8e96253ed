#include "raster/path.hpp"

#include <algorithm>
#include <cmath>

#include "raster/curve_flattening.hpp"

namespace kelvo {

int curveSegmentCount(float d) {
    if (d <= 0.25f) return 1;
    float n = std::ceil(std::sqrt(d / 0.25f));
    if (n >= static_cast<float>(kMaxCurveSegments)) return kMaxCurveSegments;
    if (!(n >= 1.0f)) return 1;
    return static_cast<int>(n);
}

namespace {

Status appendElement(PathSink path, const PathElement& element) {
    if (path.cursor->count >= path.capacity) return fail(Error::VectorPathTooComplex);
    path.elements[path.cursor->count++] = element;
    return {};
}

Point onEllipse(const Ellipse& ellipse, Point unit) {
    float x = ellipse.rx * unit.x;
    float y = ellipse.ry * unit.y;
    if (ellipse.rotation != 0.0f) {
        float cos_r = std::cos(ellipse.rotation);
        float sin_r = std::sin(ellipse.rotation);
        float rx = cos_r * x - sin_r * y;
        float ry = sin_r * x + cos_r * y;
        x = rx;
        y = ry;
    }
    return {ellipse.centre.x + x, ellipse.centre.y + y};
}

float dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }

// Splitting halves the turn each time, so a handful of levels suffice for unit directions; the
// bound keeps directions that are not unit vectors from recursing without end.
constexpr int kMaxArcSplitDepth = 8;

Status emitArcPiece(PathSink path, const Ellipse& ellipse, Point u, Point v, int depth) {
    for (int splits = 0; dot(u, v) < 0.1f && depth < kMaxArcSplitDepth && splits < kMaxArcSplitDepth; ++splits) {
        Point sum{u.x + v.x, u.y + v.y};
        float length = std::sqrt(dot(sum, sum));
        Point middle = length < 1e-6f ? Point{-u.y, u.x} : Point{sum.x / length, sum.y / length};
        TRY(emitArcPiece(path, ellipse, u, middle, depth + 1));
        u = middle;
    }
    float c = std::clamp(dot(u, v), -1.0f, 1.0f);
    float k = (4.0f / 3.0f) * std::sqrt((1.0f - c) / 2.0f) / (std::sqrt((1.0f + c) / 2.0f) + 1.0f);
    Point c1{u.x + k * -u.y, u.y + k * u.x};
    Point c2{v.x - k * -v.y, v.y - k * v.x};
    return pathCubicTo(path, onEllipse(ellipse, c1), onEllipse(ellipse, c2), onEllipse(ellipse, v));
}

}  // namespace

Status pathMoveTo(PathSink path, Point point) {
    TRY(appendElement(path, PathElement::moveTo(point)));
    path.cursor->current = point;
    path.cursor->start = point;
    path.cursor->has_subpath = true;
    return {};
}

Status pathLineTo(PathSink path, Point point) {
    TRY(appendElement(path, PathElement::lineTo(point)));
    path.cursor->current = point;
    return {};
}

Status pathQuadTo(PathSink path, Point control, Point end) {
    TRY(appendElement(path, PathElement::quadTo(control, end)));
    path.cursor->current = end;
    return {};
}

Status pathCubicTo(PathSink path, Point c1, Point c2, Point end) {
    TRY(appendElement(path, PathElement::cubicTo(c1, c2, end)));
    path.cursor->current = end;
    return {};
}

Status pathClose(PathSink path) {
    TRY(appendElement(path, PathElement::close()));
    path.cursor->current = path.cursor->start;
    return {};
}

Status pathArcTo(PathSink path, Point end, float rx, float ry) {
    if (!path.cursor->has_subpath) TRY(pathMoveTo(path, {0, 0}));
    if (rx == 0.0f || ry == 0.0f) return pathLineTo(path, end);
    Point current = path.cursor->current;
    if (samePoint(current, end)) return {};
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    float x1 = (current.x - end.x) / 2.0f;
    float y1 = (current.y - end.y) / 2.0f;
    float scale = x1 * x1 / (rx * rx) + y1 * y1 / (ry * ry);
    if (scale > 1.0f) {
        float grow = std::sqrt(scale);
        rx *= grow;
        ry *= grow;
    }
    float denominator = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    if (!(denominator > 0.0f)) return pathLineTo(path, end);
    float f = std::sqrt(std::max(0.0f, (rx * rx * ry * ry - denominator) / denominator));
    float cx = f * rx * y1 / ry;
    float cy = -f * ry * x1 / rx;
    Point centre{(current.x + end.x) / 2.0f + cx, (current.y + end.y) / 2.0f + cy};
    Point u{(x1 - cx) / rx, (y1 - cy) / ry};
    Point v{(-x1 - cx) / rx, (-y1 - cy) / ry};
    float lu = std::sqrt(dot(u, u));
    float lv = std::sqrt(dot(v, v));
    if (!(lu >= 1e-6f) || !(lv >= 1e-6f)) return pathLineTo(path, end);
    u = {u.x / lu, u.y / lu};
    v = {v.x / lv, v.y / lv};
    TRY(pathEmitUnitArc(path, Ellipse{centre, rx, ry, 0.0f}, u, v));
    path.cursor->current = end;
    return {};
}

Status pathEmitUnitArc(PathSink path, const Ellipse& ellipse, Point from, Point to) {
    if (!path.cursor->has_subpath) TRY(pathMoveTo(path, {0, 0}));
    return emitArcPiece(path, ellipse, from, to, 0);
}

}  // namespace kelvo
