#pragma once

// A reference-render surface that owns its buffers, for the render tests.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "raster/png.hpp"
#include "render/reference.hpp"
#include "render/reference_frame.hpp"

namespace kelvo::testing {

struct TestSurface {
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> scratch;
    ReferenceRenderSurface surface;

    TestSurface(std::uint64_t width, std::uint64_t height, Color clear = {1, 1, 1, 1})
        : pixels(width * height * 4), scratch(width * height * 4) {
        surface.width = width;
        surface.height = height;
        surface.pixels = pixels;
        surface.scratch = scratch;
        clearReferenceSurface(surface, clear);
    }

    [[nodiscard]] std::array<std::uint8_t, 4> at(std::int64_t x, std::int64_t y) const {
        const std::uint8_t* p = surface.pixel(x, y);
        return {p[0], p[1], p[2], p[3]};
    }

    [[nodiscard]] std::string png() const {
        auto encoded = encodePng(surface.width, surface.height, pixels);
        EXPECT_TRUE(encoded);
        if (!encoded) return {};
        return {reinterpret_cast<const char*>(encoded->data.get()), encoded->size};
    }
};

// A render command for `command` in the plain layer state (or under `transform`).
inline RenderCommand plainRenderCommand(const CanvasCommand& command, const Affine& transform = kIdentityAffine) {
    RenderLayerState state;
    state.transform = transform;
    auto render = renderCommandInLayer(state, command);
    EXPECT_TRUE(render.has_value());
    return render.value_or(RenderCommand{});
}

}  // namespace kelvo::testing
