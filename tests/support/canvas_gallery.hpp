#pragma once

// The widget gallery on canvas views a page opens: a policy that lets the application's own
// pages use the view commands, and an event hook that installs the gallery's widget tree on each
// canvas view the first time it reports its size. Header-only, for the host's test programs.

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

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
        std::optional<std::size_t> view = findViewIndex(runtime, resized->windowId, resized->label);
        ASSERT_TRUE(view) << key;
        ASSERT_TRUE(installCanvasWidgetTreeText(runtime, *view, tree_)) << key;
    }

private:
    std::string tree_ = galleryTreeText();
    std::set<std::string> installed_;
};

}  // namespace kelvo::testing
