#pragma once

// A composite canvas frame of about 500 display-list commands at 1280 x 800 points: every drawing
// tag, clips, opacity and transforms, about a hundred text runs, shadows and a blur, laid out like
// an application window. The render tests keep a golden of it; the render benchmark times it.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "render/reference.hpp"
#include "widgets/commands.hpp"

namespace kelvo::testing {

inline constexpr float kGalleryWidth = 1280;
inline constexpr float kGalleryHeight = 800;
inline constexpr std::uint64_t kGalleryImageId = 7;

struct RenderGallery {
    std::vector<CanvasCommand> commands;
    // What the commands point into.
    std::deque<std::vector<PathElement>> paths;
    std::deque<std::vector<GradientStop>> stops;
    std::deque<std::string> texts;
    std::vector<std::uint8_t> image_pixels;
    ReferenceImage image;
};

// Builds the gallery; the result must stay where it is while its commands are used.
void buildRenderGallery(RenderGallery& gallery);

}  // namespace kelvo::testing
