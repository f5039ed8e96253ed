// The canvas end to end on the headless backend: a page opens a canvas view through the bridge,
// the application installs the widget gallery on it, the runtime plans and presents its frames
// through the adapter and the host, the surface view shows them and paces the frame events that
// come back to the runtime.

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "host_harness.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/appkit_host_state.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "support/app_on_host.hpp"
#include "support/canvas_gallery.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using standin::HeadlessStandIn;

struct FrameSeen {
    std::uint64_t atNs = 0;
    std::uint64_t frameIndex = 0;
    std::uint64_t intervalNs = 0;
    bool nonblank = false;
    bool drawn = false;  // the runtime had presented a packet before it
};

TEST(CanvasGallery, APageOpensTheGalleryAndItsFramesComeBackPaced) {
    testing::HostHarness h;
    ASSERT_NE(h.create(), nullptr);
    testing::TempFolder root;
    std::ofstream(root.path("index.html")) << "<p>gallery</p>";
    testing::AppOnHost app(h.host, root.path());
    app.runtime->builtinPolicy = Policy{{}, testing::kGalleryViewRules, true};
    testing::GalleryInstaller install;
    std::vector<FrameSeen> frames;
    std::uint64_t shownBefore = 0;
    app.onEvent = [&](Runtime& runtime, const RuntimeEvent& event) {
        install(runtime, event);
        if (const auto* frame = std::get_if<GpuSurfaceFrame>(&event)) {
            frames.push_back({h.platform.nowNs(), frame->frameIndex, frame->frameIntervalNs, frame->nonblank,
                              h.platform.nativeView("gallery")->picturesShown > shownBefore});
        }
    };
    HeadlessStandIn::WebView* page = nullptr;
    h.platform.at(200'000'000, [&] {
        page = h.platform.webViews().at(0);
        const std::string create =
            R"({"id":"1","command":"kelvo.view.create","payload":{"label":"gallery","kind":"gpuSurface",)"
            R"("frame":{"x":0,"y":0,"width":1280,"height":800}}})";
        h.platform.pagePost(h.platform.ref(*page), "kelvoBridge", h.pageToken(*page) + create);
    });
    h.platform.at(600'000'000, [&] { kelvo_appkit_stop(h.host); });
    ASSERT_TRUE(app.run());

    ASSERT_NE(page, nullptr);
    const std::vector<std::string> replies = h.bridgeScripts(*page);
    ASSERT_FALSE(replies.empty());
    EXPECT_NE(replies.back().find(R"("id":"1","ok":true)"), std::string::npos) << replies.back();

    // What the window shows is the surface's drawable, and it is the gallery, not the placeholder.
    const HeadlessStandIn::NativeView& shown = *h.platform.nativeView("gallery");
    HostCanvasView* canvas = findCanvasView(*h.host, 1, "gallery");
    ASSERT_NE(canvas, nullptr);
    const gpu::GpuTexture& drawable = surfaceOf(*canvas).drawable.texture;
    EXPECT_EQ(shown.pictureWidth, 1280u);
    EXPECT_EQ(shown.pictureHeight, 800u);
    EXPECT_EQ(shown.picture, drawable.bytes);
    EXPECT_TRUE(surfaceOf(*canvas).canvas.hasCanvasTexture);
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i + 3 < shown.picture.size(); i += 4) {
        colours.insert(std::uint32_t{shown.picture[i]} << 16 | std::uint32_t{shown.picture[i + 1]} << 8 |
                       shown.picture[i + 2]);
    }
    EXPECT_GT(colours.size(), 50u);
    // The gallery's image widget shows the registered image, and its cut text ends in an ellipsis.
    EXPECT_EQ(testing::imageQuartersShown(shown.picture, shown.pictureWidth, 4), testing::imageQuarterColours());
    const std::vector<std::string> cut = testing::cutTextLinesShown(surfaceOf(*canvas).canvas);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_TRUE(cut[0].ends_with("\u2026")) << cut[0];

    // Frame events reached the runtime on the 60 Hz grid, and said the picture was not blank.
    ASSERT_GE(frames.size(), 3u);
    std::size_t paced = 0;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_GT(frames[i].frameIndex, frames[i - 1].frameIndex);
        EXPECT_EQ(frames[i].intervalNs, kScreenFrameIntervalNs);
        if ((frames[i].atNs - frames[i - 1].atNs) % kScreenFrameIntervalNs == 0) ++paced;
    }
    EXPECT_EQ(paced, frames.size() - 1);
    EXPECT_TRUE(frames.back().nonblank);

    // After the first frame the animated spinner goes as patches the surface takes: no frame had
    // to be sent whole again.
    const CanvasPresentInfo& presented =
        app.runtime->views[*findViewIndex(*app.runtime, 1, "gallery")].canvas.present.info;
    EXPECT_EQ(presented.mode, CanvasPresentMode::patch);
    EXPECT_EQ(presented.fallbackFrames, 0u);
}

}  // namespace
}  // namespace kelvo
