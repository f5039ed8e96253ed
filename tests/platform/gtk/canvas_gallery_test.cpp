// The widget gallery on a real canvas view (label "gtk"): a real page opens it through the bridge,
// the runtime presents its frames, and the window on the display shows exactly the surface's
// pixels while frame events arrive at the screen's interval. With KELVO_GALLERY_SHOT set to a
// file name, the window is also saved there as a PNG.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "screen_reader.hpp"
#include "support/app_on_host.hpp"
#include "support/canvas_gallery.hpp"
#include "support/golden.hpp"
#include "support/temp_folder.hpp"
#include "web_page.hpp"

// After the test framework: the X headers define names (None, Bool) it uses.
#include <gdk/gdkx.h>

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

// The gallery opened from the test page; what the runtime hands the application is recorded.
// The tests move the display's one pointer and type into the focused window: they run alone.
class GtkSerialCanvasGallery : public testing::GtkHostFixture {
protected:
    void SetUp() override {
        GtkHostFixture::SetUp();
        const fs::path root = place.path("root");
        fs::create_directories(root);
        fs::copy_file(fs::path(KELVO_TEST_DATA_DIR) / "platform/canvas_gallery_page/index.html", root / "index.html");
        app = std::make_unique<testing::AppOnHost>(host, root.string());
        app->runtime->builtinPolicy = Policy{{}, testing::kGalleryViewRules, true};
        app->onEvent = [this](Runtime& runtime, const RuntimeEvent& event) {
            install(runtime, event);
            if (const auto* frame = std::get_if<GpuSurfaceFrame>(&event)) {
                frames.push_back(*frame);
                arrivals.push_back(static_cast<std::uint64_t>(g_get_monotonic_time()) * 1000);
            }
            if (const auto* pointer = std::get_if<CanvasWidgetPointerEvent>(&event);
                pointer != nullptr && pointer->phase == PointerPhase::down) {
                pressed.push_back(pointer->targetWidgetId);
            }
            if (const auto* key = std::get_if<CanvasWidgetKeyboardEvent>(&event)) {
                typed += std::to_string(key->widgetId) + ":" + std::string(key->key) + " ";
            }
        };
    }
    void TearDown() override {
        app.reset();
        GtkHostFixture::TearDown();
    }

    // Whether the page said the gallery opened and the window shows presented frames of it; asks
    // the page while it has not said so.
    bool galleryShown() {
        if (WebKitWebView* view = mainWebView(); view != nullptr && opened.empty() && !asking) {
            asking = true;
            evaluate(view, "window.__gallery || ''", [this](const std::string& answer) {
                opened = answer;
                asking = false;
            });
        }
        if (named("gallery") == nullptr || opened.empty() || frames.size() < 30 || !frames.back().nonblank) {
            return false;
        }
        HostCanvasView* canvas = findCanvasView(*host, 1, "gallery");
        return canvas != nullptr && surfaceOf(*canvas).canvas.hasCanvasTexture;
    }

    testing::TempFolder place;
    std::unique_ptr<testing::AppOnHost> app;
    testing::GalleryInstaller install;
    std::vector<GpuSurfaceFrame> frames;
    std::vector<std::uint64_t> arrivals;
    std::vector<std::uint64_t> pressed;  // widgets under each button press
    std::string typed;                   // "<widget>:<key> " for each key a widget took
    std::string opened;
    bool asking = false;
};

TEST_F(GtkSerialCanvasGallery, APageOpensTheGalleryAndTheWindowShowsTheSurface) {
    std::vector<std::uint8_t> screen;
    std::vector<std::uint8_t> surface;
    int width = 0;
    int height = 0;
    int polls = 0;
    every(100, [&] {
        if (++polls > 200) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (!galleryShown()) return true;
        // Once the picture is drawn and the display had time to show it.
        const gpu::GpuTexture& drawn = surfaceOf(*findCanvasView(*host, 1, "gallery")).drawable.texture;
        surface.clear();
        for (std::size_t i = 0; i + 3 < drawn.bytes.size(); i += 4) {
            surface.insert(surface.end(), drawn.bytes.begin() + i, drawn.bytes.begin() + i + 3);
        }
        GtkWidget* area = named("gallery");
        screen = screenPixels(area, width, height);
        if (const char* shot = getenv("KELVO_GALLERY_SHOT")) saveWindow(area, shot);
        kelvo_appkit_stop(host);
        return false;
    });
    ASSERT_TRUE(app->run());

    EXPECT_EQ(opened, "open gallery");
    ASSERT_FALSE(surface.empty()) << "no frame was presented";
    EXPECT_EQ(width, 1280);
    EXPECT_EQ(height, 800);
    // The spinner and the loading bar beside it move every frame, and the display may still show
    // the frame before the last: they are left out, every other pixel must be the surface's.
    std::size_t differing = 0;
    for (int y = 0; y < height && screen.size() == surface.size(); ++y) {
        for (int x = 0; x < width; ++x) {
            if (x >= 848 && x < 1064 && y >= 100 && y < 140) continue;
            const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
            differing += std::equal(&screen[at], &screen[at] + 3, &surface[at]) ? 0 : 1;
        }
    }
    EXPECT_EQ(screen.size(), surface.size());
    EXPECT_EQ(differing, 0u) << "the window does not show the surface";

    // The gallery animates, so frames keep coming, never faster than the screen shows them (one
    // may come early after a late one: they sit on the screen's grid). How many intervals a
    // frame takes depends on the build: an unoptimised one draws slowly.
    const std::uint64_t interval = frames.back().frameIntervalNs;
    EXPECT_GE(interval, 8'333'333u);
    EXPECT_LE(interval, 33'333'334u);
    const std::size_t last = arrivals.size() - 1;
    EXPECT_GE((arrivals[last] - arrivals[last - 20]) / 20, interval * 9 / 10);
}

// A real click presses the gallery's Save button, real keys type into the text field clicked
// next, and a screen reader in another process lists the widgets with their roles and names.
TEST_F(GtkSerialCanvasGallery, ClicksAndKeysReachTheWidgetsAndAReaderListsThem) {
    const std::string out = place.path("elements.txt");
    ScreenReader reader;
    int bar = 0;
    enum class Stage { opening, typing, reading, done } stage = Stage::opening;
    int polls = 0;
    every(100, [&] {
        if (++polls > 300 || stage == Stage::done) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (stage == Stage::opening && galleryShown()) {
            GtkWidget* area = named("gallery");
            GtkWidget* toplevel = gtk_widget_get_toplevel(area);
            bar = menuBarHeight(toplevel);
            int saveX = 0, saveY = 0, fieldX = 0, fieldY = 0;
            // The Save button (16, 16, 96 x 32) and the empty text field (232, 148, 200 x 32).
            gtk_widget_translate_coordinates(area, toplevel, 64, 32, &saveX, &saveY);
            gtk_widget_translate_coordinates(area, toplevel, 332, 164, &fieldX, &fieldY);
            const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
            char command[512];
            std::snprintf(command, sizeof command,
                          "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d click 1 "
                          "sleep 0.3 mousemove --sync --window %lu %d %d click 1 sleep 0.3 type --delay 30 hi",
                          window, window, saveX, saveY, window, fieldX, fieldY);
            EXPECT_EQ(std::system(command), 0) << command;
            stage = Stage::typing;
            return true;
        }
        if (stage == Stage::typing && typed.find("43:i") != std::string::npos) {
            reader.start(out, false);
            stage = Stage::reading;
        }
        if (stage == Stage::reading && reader.done) stage = Stage::done;
        return true;
    });
    ASSERT_TRUE(app->run());

    ASSERT_GE(pressed.size(), 2u);
    EXPECT_EQ(pressed[0], 3u);
    EXPECT_EQ(pressed[1], 43u);
    EXPECT_EQ(typed, "43:h 43:i ");
    ASSERT_TRUE(reader.done) << "the reader did not finish";
    EXPECT_EQ(reader.status, 0);
    gchar* text = nullptr;
    ASSERT_TRUE(g_file_get_contents(out.c_str(), &text, nullptr, nullptr));
    const std::string elements = text;
    g_free(text);
    // The reader's points are in the window, whose content (and the gallery) starts below the
    // menu bar.
    const std::string saveAt = "at=16," + std::to_string(16 + bar) + ",96,32";
    EXPECT_NE(elements.find("kelvo-widget-3 role=push button name=Save " + saveAt + " actions=press"),
              std::string::npos)
        << elements;
    // The field shows what was typed: its element is named by its text.
    const std::string fieldAt = "at=232," + std::to_string(148 + bar) + ",200,32";
    EXPECT_NE(elements.find("kelvo-widget-43 role=entry name=hi " + fieldAt + " "), std::string::npos) << elements;
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
    EXPECT_LE(gaps[gaps.size() / 2], interval * 2);
}

}  // namespace
}  // namespace kelvo
