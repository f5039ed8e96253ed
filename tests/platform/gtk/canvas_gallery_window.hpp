#pragma once

// The widget gallery on a real canvas view of a real window (label "gtk"), as its tests share it:
// a real page opens the gallery through the bridge, the runtime presents its frames, and the
// fixture records what the runtime hands the application; the pixels the display and the
// surface show.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "platform/macos/appkit_canvas_access.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "support/app_on_host.hpp"
#include "support/canvas_gallery.hpp"
#include "support/temp_folder.hpp"
#include "web_page.hpp"

namespace kelvo {

// What the display shows where the widget lies (null when it cannot be read); the caller unrefs it.
inline GdkPixbuf* screenShot(GtkWidget* widget) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &x, &y);
    return gdk_pixbuf_get_from_window(gtk_widget_get_window(toplevel), x, y, gtk_widget_get_allocated_width(widget),
                                      gtk_widget_get_allocated_height(widget));
}

// The pixels the display shows where the widget lies: R, G, B per pixel.
inline std::vector<std::uint8_t> screenPixels(GtkWidget* widget, int& width, int& height) {
    GdkPixbuf* shot = screenShot(widget);
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

// Whether the window shows the surface's last picture where the widget lies, pixel for pixel.
inline bool windowShowsSurface(HostCanvasView& canvas, GtkWidget* widget) {
    GdkPixbuf* shot = screenShot(widget);
    if (shot == nullptr) return false;
    const gpu::GpuTexture& drawn = surfaceOf(canvas).drawable.texture;
    const auto width = static_cast<std::uint32_t>(gdk_pixbuf_get_width(shot));
    const auto height = static_cast<std::uint32_t>(gdk_pixbuf_get_height(shot));
    const int channels = gdk_pixbuf_get_n_channels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot);
    const guchar* pixels = gdk_pixbuf_read_pixels(shot);
    bool same = width == drawn.width && height == drawn.height && drawn.bytes.size() == std::size_t{width} * height * 4;
    for (std::uint32_t row = 0; same && row < height; ++row) {
        const guchar* shown = pixels + static_cast<std::ptrdiff_t>(row) * stride;
        const std::uint8_t* surface = drawn.bytes.data() + std::size_t{row} * width * 4;
        for (std::uint32_t column = 0; same && column < width; ++column) {
            same = shown[0] == surface[0] && shown[1] == surface[1] && shown[2] == surface[2];
            shown += channels;
            surface += 4;
        }
    }
    g_object_unref(shot);
    return same;
}

inline void saveWindow(GtkWidget* widget, const char* path) {
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
        const std::filesystem::path root = place.path("root");
        std::filesystem::create_directories(root);
        std::filesystem::copy_file(
            std::filesystem::path(KELVO_TEST_DATA_DIR) / "platform/canvas_gallery_page/index.html",
            root / "index.html");
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

    // Whether the window shows a presented, non-blank picture of the view "gallery".
    bool pictureShown() {
        HostCanvasView* canvas = findCanvasView(*host, 1, "gallery");
        return canvas != nullptr && !frames.empty() && frames.back().nonblank &&
               surfaceOf(*canvas).canvas.hasCanvasTexture && windowShowsSurface(*canvas, named("gallery"));
    }

    // Replaces the gallery with `tree` on the view's first resize and records frames from then on;
    // `installed` is called with the view's index once the tree is in.
    void installTreeOnFirstResize(std::string tree, std::function<void(Runtime&, std::size_t)> installed = {}) {
        app->onEvent = [this, tree = std::move(tree), installed = std::move(installed), done = false](
                           Runtime& runtime, const RuntimeEvent& event) mutable {
            if (const auto* resized = std::get_if<GpuSurfaceResizedEvent>(&event); resized != nullptr && !done) {
                done = true;
                const std::optional<std::size_t> view = findViewIndex(runtime, resized->windowId, resized->label);
                ASSERT_TRUE(view);
                ASSERT_TRUE(installCanvasWidgetTreeText(runtime, *view, tree));
                treeInstalled = true;
                if (installed) installed(runtime, *view);
            }
            if (const auto* frame = std::get_if<GpuSurfaceFrame>(&event)) frames.push_back(*frame);
        };
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
    bool treeInstalled = false;
};

// The pixels of a rectangle of the surface's drawable: RGBA rows.
inline std::vector<std::uint8_t> drawnRect(HostCanvasView& canvas, int x, int y, int width, int height) {
    const gpu::GpuTexture& drawn = surfaceOf(canvas).drawable.texture;
    std::vector<std::uint8_t> rect;
    for (int row = y; row < y + height; ++row) {
        const auto from = drawn.bytes.begin() + (static_cast<std::ptrdiff_t>(row) * drawn.width + x) * 4;
        rect.insert(rect.end(), from, from + width * 4);
    }
    return rect;
}

}  // namespace kelvo
