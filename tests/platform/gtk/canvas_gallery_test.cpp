// The widget gallery on a real canvas view (label "gtk"): a real page opens it through the bridge,
// the runtime presents its frames, and the window on the display shows exactly the surface's
// pixels while frame events arrive at the screen's interval. With KELVO_GALLERY_SHOT set to a
// file name, the window is also saved there as a PNG.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "support/app_on_host.hpp"
#include "support/canvas_gallery.hpp"
#include "support/temp_folder.hpp"
#include "web_page.hpp"

namespace kelvo {
namespace {

namespace fs = std::filesystem;

// The pixels the display shows where the widget lies: R, G, B per pixel.
std::vector<std::uint8_t> screenPixels(GtkWidget* widget, int& width, int& height) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &x, &y);
    GdkPixbuf* shot =
        gdk_pixbuf_get_from_window(gtk_widget_get_window(toplevel), x, y, gtk_widget_get_allocated_width(widget),
                                   gtk_widget_get_allocated_height(widget));
    std::vector<std::uint8_t> rgb;
    if (shot == nullptr) return rgb;
    width = gdk_pixbuf_get_width(shot);
    height = gdk_pixbuf_get_height(shot);
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* pixels = gdk_pixbuf_read_pixels(shot);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const guchar* p = pixels + row * stride + column * channels;
            rgb.insert(rgb.end(), p, p + 3);
        }
    }
    g_object_unref(shot);
    return rgb;
}

void saveWindow(GtkWidget* widget, const char* path) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    GdkWindow* window = gtk_widget_get_window(toplevel);
    GdkPixbuf* shot =
        gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window), gdk_window_get_height(window));
    if (shot == nullptr) return;
    gdk_pixbuf_save(shot, path, "png", nullptr, nullptr);
    g_object_unref(shot);
}

using GtkCanvasGallery = testing::GtkHostFixture;

TEST_F(GtkCanvasGallery, APageOpensTheGalleryAndTheWindowShowsTheSurface) {
    testing::TempFolder place;
    const fs::path root = place.path("root");
    fs::create_directories(root);
    fs::copy_file(fs::path(KELVO_TEST_DATA_DIR) / "platform/canvas_gallery_page/index.html", root / "index.html");
    testing::AppOnHost app(host, root.string());
    app.runtime->builtinPolicy = Policy{{}, testing::kGalleryViewRules, true};
    testing::GalleryInstaller install;
    std::vector<GpuSurfaceFrame> frames;
    std::vector<std::uint64_t> arrivals;
    app.onEvent = [&](Runtime& runtime, const RuntimeEvent& event) {
        install(runtime, event);
        if (const auto* frame = std::get_if<GpuSurfaceFrame>(&event)) {
            frames.push_back(*frame);
            arrivals.push_back(static_cast<std::uint64_t>(g_get_monotonic_time()) * 1000);
        }
    };
    std::string opened;
    std::vector<std::uint8_t> screen;
    std::vector<std::uint8_t> surface;
    int width = 0;
    int height = 0;
    int polls = 0;
    bool asking = false;
    every(100, [&] {
        if (++polls > 200) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (WebKitWebView* view = mainWebView(); view != nullptr && opened.empty() && !asking) {
            asking = true;
            evaluate(view, "window.__gallery || ''", [&](const std::string& answer) {
                opened = answer;
                asking = false;
            });
        }
        GtkWidget* area = named("gallery");
        if (area == nullptr || opened.empty() || frames.size() < 30 || !frames.back().nonblank) return true;
        HostCanvasView* canvas = findCanvasView(*host, 1, "gallery");
        if (canvas == nullptr || !surfaceOf(*canvas).canvas.hasCanvasTexture) return true;
        // Once the picture is drawn and the display had time to show it.
        const gpu::GpuTexture& drawn = surfaceOf(*canvas).drawable.texture;
        surface.clear();
        for (std::size_t i = 0; i + 3 < drawn.bytes.size(); i += 4) {
            surface.insert(surface.end(), drawn.bytes.begin() + i, drawn.bytes.begin() + i + 3);
        }
        screen = screenPixels(area, width, height);
        if (const char* shot = getenv("KELVO_GALLERY_SHOT")) saveWindow(area, shot);
        kelvo_appkit_stop(host);
        return false;
    });
    ASSERT_TRUE(app.run());

    EXPECT_EQ(opened, "open gallery");
    ASSERT_FALSE(surface.empty()) << "no frame was presented";
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 800);
    EXPECT_TRUE(screen == surface) << "the window does not show the surface";

    // The gallery animates, so frames keep coming; never two within one interval of the screen
    // (how many intervals a frame takes depends on the build: an unoptimised one draws slowly).
    const std::uint64_t interval = frames.back().frameIntervalNs;
    EXPECT_GE(interval, 8'333'333u);
    EXPECT_LE(interval, 33'333'334u);
    for (std::size_t i = frames.size() - 20; i < frames.size(); ++i) {
        EXPECT_GE(arrivals[i] - arrivals[i - 1], interval * 8 / 10) << i;
    }
}

// A canvas view alone, drawing its placeholder: its frame events come at the screen's interval.
TEST_F(GtkHost, ACanvasViewsFrameEventsComeAtTheScreensInterval) {
    after(100, [&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "pace", 4, 12, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 10, 10,
                                           200, 100),
                  1);
    });
    after(1600, [&] { kelvo_appkit_stop(host); });
    std::vector<std::uint64_t> arrivals;
    std::uint64_t interval = 0;
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::gpu_surface_frame)) return;
        arrivals.push_back(static_cast<std::uint64_t>(g_get_monotonic_time()) * 1000);
        interval = event.frameIntervalNs;
    };
    run();
    ASSERT_GE(arrivals.size(), 30u);
    std::vector<std::uint64_t> gaps;
    for (std::size_t i = 10; i < arrivals.size(); ++i) gaps.push_back(arrivals[i] - arrivals[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps[gaps.size() / 2], interval * 9 / 10);
    EXPECT_LE(gaps[gaps.size() / 2], interval * 3 / 2);
}

}  // namespace
}  // namespace kelvo
