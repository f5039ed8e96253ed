#include "render/render_paths.hpp"

#include "base/fnv1a.hpp"
#include "render/render_fingerprints.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kCurveSegments = 12;
constexpr Fnv1a64 kFillKeySeed = Fnv1a64::seededWith("path_geometryfill");
constexpr Fnv1a64 kStrokeKeySeed = Fnv1a64::seededWith("path_geometrystroke");
static_assert(kFillKeySeed.state == 0xc2e788ab19d8b972ull);
static_assert(Fnv1a64::seededWith("path_geometrystro").state == 0xdca85f0932c6daafull);

}  // namespace

Status RenderPathGeometryPlanner::consumePath(bool stroke, const RenderCommand& command, std::uint64_t index,
                                              std::span<const PathElement> elements, float stroke_width) {
    PathGeometry geometry;
    geometry.command_index = index;
    geometry.id = command.id;
    geometry.elements = elements.size();
    geometry.bounds = command.bounds;
    geometry.stroke_width = stroke_width;
    geometry.stroke = stroke;

    // A close keeps the subpath open at its start point; a curve without a subpath is ignored.
    bool in_subpath = false;
    std::uint64_t points = 0;
    for (const PathElement& element : elements) {
        switch (pathVerbBits(element.verb)) {
            case 0:  // move_to
                ++geometry.subpaths;
                in_subpath = true;
                ++points;
                break;
            case 1:  // line_to
                if (in_subpath) {
                    ++geometry.line_segments;
                    ++geometry.flattened_segments;
                } else {
                    ++geometry.subpaths;
                    in_subpath = true;
                }
                ++points;
                break;
            case 2:
            case 3:
                if (!in_subpath) break;
                ++(pathVerbBits(element.verb) == 2 ? geometry.quadratic_curves : geometry.cubic_curves);
                geometry.flattened_segments += kCurveSegments;
                points += kCurveSegments;
                break;
            case 4:  // close
                if (!in_subpath) break;
                ++geometry.line_segments;
                ++geometry.flattened_segments;
                break;
            default:
                break;
        }
    }
    if (stroke) {
        geometry.vertices = 4 * geometry.flattened_segments;
        geometry.indices = 6 * geometry.flattened_segments;
    } else {
        geometry.vertices = points;
        geometry.indices = points >= 3 ? 3 * points - 6 : 0;
    }
    if (geometry.vertices == 0 || geometry.indices == 0) return {};

    Fnv1a64 key = stroke ? kStrokeKeySeed : kFillKeySeed;
    resourceHashOptionalId(key, command.id);
    resourceHashAffine(key, command.transform);
    resourceHashPath(key, elements);
    key.f32(stroke_width);
    geometry.key = key.state;

    if (count == paths.size()) return fail(Error::PathGeometryListFull);
    paths[count++] = geometry;
    return {};
}

}  // namespace kelvo
