#pragma once

// The widget gallery on canvas views a page opens: a policy that lets the application's own
// pages use the view commands, and an event hook that installs the gallery's widget tree on each
// canvas view the first time it reports its size, with the canvas lab's image registered for its
// image widget. Header-only, for the host's test programs.

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "canvas-lab/lab_image.hpp"
#include "platform/macos/canvas/canvas_presenter_state.hpp"
#include "runtime/canvas/canvas_images.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_lookup.hpp"
#include "security/policy.hpp"

namespace kelvo::testing {

inline constexpr std::array<std::string_view, 1> kGalleryOrigins = {"vexa://app"};
inline constexpr std::array<BridgeCommandRule, 4> kGalleryViewRules = {{
    {"kelvo.view.create", {}, kGalleryOrigins},
    {"kelvo.view.update", {}, kGalleryOrigins},
    {"kelvo.view.list", {}, kGalleryOrigins},
    {"kelvo.view.close", {}, kGalleryOrigins},
}};

inline std::string galleryTreeText() {
    std::ifstream file(std::string(KELVO_TEST_DATA_DIR) + "/widgets/gallery.tree");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Installs the gallery on canvas views as they first report their size.
class GalleryInstaller {
public:
    void operator()(Runtime& runtime, const RuntimeEvent& event) {
        const auto* resized = std::get_if<GpuSurfaceResizedEvent>(&event);
        if (resized == nullptr) return;
        const std::string key = std::to_string(resized->windowId) + ":" + std::string(resized->label);
        if (!installed_.insert(key).second) return;
        if (installed_.size() == 1) {
            ASSERT_TRUE(registerCanvasImage(runtime, kLabImageId, kLabImageSide, kLabImageSide, kImage));
        }
        std::optional<std::size_t> view = findViewIndex(runtime, resized->windowId, resized->label);
        ASSERT_TRUE(view) << key;
        ASSERT_TRUE(installCanvasWidgetTreeText(runtime, *view, tree_)) << key;
    }

    // Where the gallery's image widget shows each quarter of the image (48 x 32 points at 790, 60,
    // the 16 x 16 image three times over as "cover"): the middle of each quarter, in points.
    static constexpr std::array<std::array<std::uint32_t, 2>, 4> kImageQuarterCentres = {
        {{802, 68}, {826, 68}, {802, 84}, {826, 84}}};

private:
    static constexpr LabImagePixels kImage = labImagePixels();
    std::string tree_ = galleryTreeText();
    std::set<std::string> installed_;
};

// The lines a canvas view's presenter shows for the gallery's text 28 ("Plain text, cut when too
// long for its box"), from the commands it retained; empty when it holds no such text.
inline std::vector<std::string> cutTextLinesShown(const CanvasPresenterState& state) {
    std::vector<std::string> lines;
    for (const auto& [key, command] : state.retainedCommands) {
        if (!command->text || !command->text->text.starts_with("Plain text, cut when")) continue;
        if (!command->text->lines) return {"(no lines)"};
        for (const PacketTextLine& line : *command->text->lines) lines.push_back(line.text);
    }
    return lines;
}

// The colour a picture of the gallery shows in the middle of each quarter of its image widget
// (`channels` bytes a pixel, rows of width x channels bytes), as R, G, B.
inline std::array<std::array<std::uint8_t, 3>, 4> imageQuartersShown(std::span<const std::uint8_t> picture,
                                                                     std::uint32_t width, std::size_t channels) {
    std::array<std::array<std::uint8_t, 3>, 4> shown{};
    for (std::size_t quarter = 0; quarter < 4; ++quarter) {
        const auto [x, y] = GalleryInstaller::kImageQuarterCentres[quarter];
        const std::size_t at = (std::size_t{y} * width + x) * channels;
        if (at + 2 < picture.size()) shown[quarter] = {picture[at], picture[at + 1], picture[at + 2]};
    }
    return shown;
}

// The colours of the image's quarters, as R, G, B.
inline std::array<std::array<std::uint8_t, 3>, 4> imageQuarterColours() {
    std::array<std::array<std::uint8_t, 3>, 4> colours{};
    for (std::size_t quarter = 0; quarter < 4; ++quarter) {
        for (std::size_t c = 0; c < 3; ++c) colours[quarter][c] = kLabImageQuarters[quarter][c];
    }
    return colours;
}

}  // namespace kelvo::testing
