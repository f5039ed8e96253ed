// Arbitrary path elements, transforms and stroke styles (NaN, infinities and huge values included)
// through fills, strokes, arcs and the sweep: no crash, no access outside the fixed arrays, and
// every handed-out pixel inside the target with coverage in 0..1.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_input.hpp"
#include "raster/vector.hpp"

namespace {

struct Input : kelvo::fuzz::FuzzInput {
    float coordinate() { return FuzzInput::coordinate(256.0f, 200); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvo;
    static auto rasterizer = std::make_unique<Rasterizer>();
    static auto builder = std::make_unique<PathBuilder<64>>();
    Input in{{data, size}};
    std::uint8_t mode = in.take<std::uint8_t>();
    Affine transform{in.coordinate(), in.coordinate(), in.coordinate(),
                     in.coordinate(), in.coordinate(), in.coordinate()};
    if (mode & 0x80) transform = Affine{1, 0, 0, 1, in.coordinate(), in.coordinate()};
    StrokeStyle style{in.coordinate(), in.coordinate(), static_cast<StrokeCap>(in.take<std::uint8_t>()),
                      static_cast<StrokeJoin>(in.take<std::uint8_t>())};

    std::vector<PathElement> elements;
    builder->clear();
    while (in.size > 0 && elements.size() < 600) {
        std::uint8_t verb = in.take<std::uint8_t>();
        PathElement element;
        element.verb = static_cast<PathVerb>(verb);
        for (Point& p : element.points) p = {in.coordinate(), in.coordinate()};
        elements.push_back(element);
        if ((verb & 0xf0) == 0x10) {
            (void)builder->arcTo(element.points[0], element.points[1].x, element.points[1].y);
        } else if ((verb & 0xf0) == 0x20) {
            (void)builder->emitUnitArc(
                {element.points[0], element.points[1].x, element.points[1].y, element.points[2].x},
                {std::cos(element.points[2].y), std::sin(element.points[2].y)},
                {element.points[1].x, element.points[2].y});
        }
    }

    const int width = 96;
    const int height = 64;
    PixelBox clip{(mode & 1) ? -40 : 0, (mode & 2) ? -40 : 0, width + ((mode & 4) ? 9000 : 0), height};
    FillRule rule = (mode & 8) ? FillRule::even_odd : FillRule::winding;
    auto check = [&](std::int32_t x, std::int32_t y, float coverage) {
        if (x < 0 || x >= width || y < 0 || y >= height || !(coverage > 0.0f) || coverage > 1.0f) std::abort();
    };
    for (int pass = 0; pass < 3; ++pass) {
        rasterizer->clear();
        Status status;
        if (pass == 0) status = accumulateFillEdges(*rasterizer, elements, transform);
        if (pass == 1) status = accumulateStrokeEdges(*rasterizer, elements, transform, style);
        if (pass == 2) status = accumulateFillEdges(*rasterizer, builder->path(), transform);
        (void)status;
        (void)sweep(*rasterizer, clip, rule, width, height, check);
    }
    return 0;
}
