// The widget gallery on a real canvas view (label "gtk"): a real page opens it through the bridge,
// the runtime presents its frames, and the window on the display shows exactly the surface's
// pixels while frame events arrive at the screen's interval. With KELVO_GALLERY_SHOT set to a
// file name, the window is also saved there as a PNG.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "platform/macos/appkit_canvas_access.hpp"
#include "platform/macos/appkit_canvas_views.hpp"
#include "platform/macos/canvas/surface_view.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/canvas_widget_display.hpp"
#include "runtime/canvas/canvas_widget_text_edit.hpp"
#include "screen_reader.hpp"
#include "support/app_on_host.hpp"
#include "support/canvas_gallery.hpp"
#include "support/full_text_area.hpp"
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

TEST_F(GtkSerialCanvasGallery, APageOpensTheGalleryAndTheWindowShowsTheSurface) {
    std::vector<std::uint8_t> screen;
    std::vector<std::uint8_t> surface;
    std::vector<std::string> cutText;
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
        cutText = testing::cutTextLinesShown(surfaceOf(*findCanvasView(*host, 1, "gallery")).canvas);
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
    // The image widget shows the registered image on the display, and the text cut to its box
    // ends in an ellipsis.
    EXPECT_EQ(testing::imageQuartersShown(screen, static_cast<std::uint32_t>(width), 3),
              testing::imageQuarterColours());
    ASSERT_EQ(cutText.size(), 1u);
    EXPECT_TRUE(cutText[0].ends_with("\u2026")) << cutText[0];

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

// The pixels of a rectangle of the surface's drawable: RGBA rows.
std::vector<std::uint8_t> drawnRect(HostCanvasView& canvas, int x, int y, int width, int height) {
    const gpu::GpuTexture& drawn = surfaceOf(canvas).drawable.texture;
    std::vector<std::uint8_t> rect;
    for (int row = y; row < y + height; ++row) {
        const auto from = drawn.bytes.begin() + (static_cast<std::ptrdiff_t>(row) * drawn.width + x) * 4;
        rect.insert(rect.end(), from, from + width * 4);
    }
    return rect;
}

// A screen reader in another process reads the gallery's text fields (text, characters, caret,
// selection, the character under a point, the placeholder), sets a field's text and selections,
// and reads where grid cells and a list item stand; the view then shows the new text.
// A second canvas view, "cells", holds a small grid and a virtual list; the gallery's lie beyond
// the elements a view publishes.
constexpr std::string_view kCellsTree =
    "column id=200 rect=0,0,300,120\n"
    "  data_grid id=201 rect=0,0,300,60\n"
    "    data_row id=202 rect=0,0,300,30\n"
    "      data_cell id=203 rect=0,0,150,30 text=\"Name\" actions=focus\n"
    "      data_cell id=204 rect=150,0,150,30 text=\"Size\" actions=focus\n"
    "    data_row id=205 rect=0,30,300,30\n"
    "      data_cell id=206 rect=0,30,150,30 text=\"a.vrs\" actions=focus\n"
    "      data_cell id=207 rect=150,30,150,30 text=\"12 KB\" actions=focus\n"
    "  virtual_list id=208 rect=0,60,300,60 virtual_count=50 item_extent=30 scrollable=1 clips=1\n"
    "    list_item id=209 rect=0,60,300,30 text=\"Row 1\" actions=select\n"
    "    list_item id=210 rect=0,90,300,30 text=\"Row 2\" actions=select\n";

std::string_view canvasLabelOf(const RuntimeEvent& event) {
    if (const auto* resized = std::get_if<GpuSurfaceResizedEvent>(&event)) return resized->label;
    if (const auto* frame = std::get_if<GpuSurfaceFrame>(&event)) return frame->label;
    return {};
}

TEST_F(GtkSerialCanvasGallery, AReaderReadsAndEditsTextFieldsAndFindsCellsPlaces) {
    const auto galleryHook = app->onEvent;
    bool cellsInstalled = false;
    app->onEvent = [&](Runtime& runtime, const RuntimeEvent& event) {
        if (canvasLabelOf(event) != "cells") return galleryHook(runtime, event);
        if (cellsInstalled || !std::holds_alternative<GpuSurfaceResizedEvent>(event)) return;
        cellsInstalled = true;
        ASSERT_TRUE(installCanvasWidgetTreeText(runtime, *findViewIndex(runtime, 1, "cells"), kCellsTree));
    };
    const std::string out = place.path("edits.txt");
    ScreenReader reader;
    std::vector<std::uint8_t> fieldBefore;
    bool cellsAsked = false;
    int polls = 0;
    every(100, [&] {
        if (++polls > 400 || reader.done) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (!cellsAsked && galleryShown()) {
            fieldBefore = drawnRect(*findCanvasView(*host, 1, "gallery"), 232, 148, 200, 32);
            evaluate(mainWebView(),
                     "window.vexa.views.create({ label: 'cells', kind: 'gpuSurface', x: 960, y: 640, width: 300, "
                     "height: 120 }); 1",
                     [](const std::string&) {});
            cellsAsked = true;
        }
        HostCanvasView* cells = findCanvasView(*host, 1, "cells");
        if (reader.pid == 0 && cells != nullptr && canvasAccessOf(*cells).accessibility.count > 0) {
            reader.run("edit_canvas_text.py", out);
        }
        return true;
    });
    ASSERT_TRUE(app->run());

    ASSERT_TRUE(reader.done) << "the reader did not finish";
    EXPECT_EQ(reader.status, 0);
    gchar* text = nullptr;
    ASSERT_TRUE(g_file_get_contents(out.c_str(), &text, nullptr, nullptr));
    testing::expectGolden("platform/canvas_text_over_the_bus.txt", text);
    g_free(text);

    // The runtime edited its widgets: the new text, and selections in bytes of the texts.
    const Runtime& runtime = *app->runtime;
    const std::size_t view = *findViewIndex(runtime, 1, "gallery");
    const CanvasSlot& slot = *canvasSlotOf(runtime.canvasSlots, runtime.views[view]);
    const WidgetLayoutNode& typed = slot.tree.nodes[*canvasWidgetNodeIndex(runtime, view, 43)];
    EXPECT_EQ(typed.text, "Zoë 👍 typed");
    ASSERT_TRUE(typed.selection);
    EXPECT_EQ(typed.selection->start, 5u);
    EXPECT_EQ(typed.selection->end, 10u);
    const WidgetLayoutNode& first = slot.tree.nodes[*canvasWidgetNodeIndex(runtime, view, 42)];
    ASSERT_TRUE(first.selection);
    EXPECT_EQ(first.selection->start, 5u);
    EXPECT_EQ(first.selection->end, 11u);
    // The field shows it: its pixels changed, and the window shows what the surface drew.
    HostCanvasView& canvas = *findCanvasView(*host, 1, "gallery");
    EXPECT_NE(drawnRect(canvas, 232, 148, 200, 32), fieldBefore);
    int width = 0;
    int height = 0;
    const std::vector<std::uint8_t> screen = screenPixels(named("gallery"), width, height);
    ASSERT_EQ(width, 1280);
    const std::vector<std::uint8_t> drawn = drawnRect(canvas, 232, 148, 200, 32);
    std::size_t differing = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 200; ++x) {
            const std::size_t onScreen = (static_cast<std::size_t>(148 + y) * width + 232 + x) * 3;
            const std::size_t onSurface = (static_cast<std::size_t>(y) * 200 + x) * 4;
            differing += std::equal(&screen[onScreen], &screen[onScreen] + 3, &drawn[onSurface]) ? 0 : 1;
        }
    }
    EXPECT_EQ(differing, 0u) << "the window does not show the edited field";
}

// The page's canvas view shows a text area holding all the text a view's widgets can hold,
// selected whole: the window shows the selection on every line the box shows.
TEST_F(GtkSerialCanvasGallery, AWindowShowsTheSelectionOfATextAreaHoldingAllItCan) {
    const std::string notes = testing::fullTextAreaTree(1280, 800);
    Color accent;
    installTreeOnFirstResize(notes, [&](Runtime& runtime, std::size_t view) {
        accent = canvasSlotOf(runtime.canvasSlots, runtime.views[view])->tree.tokens.color(PaletteColor::accent);
    });
    std::vector<std::uint8_t> screen;
    int width = 0;
    int height = 0;
    int polls = 0;
    int shownFor = 0;
    every(100, [&] {
        if (++polls > 300) {
            kelvo_appkit_stop(host);
            return false;
        }
        // Nothing moves in this tree, so frames stop once it is drawn: a presented, non-blank
        // frame is waited for, and then the display is given a moment to show it.
        HostCanvasView* canvas = findCanvasView(*host, 1, "gallery");
        if (canvas == nullptr || frames.empty() || !frames.back().nonblank ||
            !surfaceOf(*canvas).canvas.hasCanvasTexture || ++shownFor < 5) {
            return true;
        }
        screen = screenPixels(named("gallery"), width, height);
        kelvo_appkit_stop(host);
        return false;
    });
    ASSERT_TRUE(app->run());
    ASSERT_TRUE(treeInstalled);
    ASSERT_FALSE(screen.empty()) << "no frame was shown";
    ASSERT_EQ(width, 1280);
    const auto byte = [](float c) { return static_cast<int>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255)); };
    const int want[3] = {byte(accent.r), byte(accent.g), byte(accent.b)};
    for (int y = 30; y < height - 30; y += 11) {
        int highlighted = 0;
        for (int x = 10; x < width - 10; ++x) {
            const std::uint8_t* p = &screen[(static_cast<std::size_t>(y) * width + x) * 3];
            highlighted +=
                std::abs(p[0] - want[0]) <= 4 && std::abs(p[1] - want[1]) <= 4 && std::abs(p[2] - want[2]) <= 4 ? 1 : 0;
        }
        EXPECT_GT(highlighted, 20) << "row " << y;
    }
}

// The page's canvas view holds a text area of 8,193 lines ("x" and a line feed 8,192 times, then
// "y": more lines than a frame lays out), a text of 8,200 different characters (more glyphs than
// a frame lists) and a checkbox. The window shows the text area's lines; a real click checks the
// checkbox and the window shows it checked; real keys type into the text area and the window shows
// the new text. Only the text of too many glyphs is cut, once recorded.
TEST_F(GtkSerialCanvasGallery, AViewWithTextsPastAFramesLimitsDrawsAndRedraws) {
    std::string lines;
    for (int i = 0; i < 8192; ++i) lines += "x\\n";
    std::string characters;
    for (std::uint32_t c = 0x4E00; c < 0x4E00 + 8200; ++c) {
        characters += static_cast<char>(0xE0 | (c >> 12));
        characters += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        characters += static_cast<char>(0x80 | (c & 0x3F));
    }
    const std::string tree =
        "column id=1 rect=0,0,1280,800\n"
        "  text_area id=2 rect=10,10,400,300 text=\"" +
        lines +
        "y\" selection=0,0 actions=focus\n"
        "  checkbox id=3 rect=450,10,120,32 text=\"Check\" actions=toggle\n"
        "  text id=4 rect=10,330,600,200 text_wrap=1 text=\"" +
        characters + "\"\n";
    std::size_t view = 0;
    installTreeOnFirstResize(tree, [&](Runtime&, std::size_t index) { view = index; });
    // The checkbox's box, the text area's first lines (points of the view, which starts at the
    // area's origin).
    constexpr int kBox[4] = {450, 10, 40, 32};
    constexpr int kLines[4] = {20, 18, 120, 100};
    const auto changed = [](const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int width,
                            const int(&rect)[4]) {
        int count = 0;
        for (int y = rect[1]; y < rect[1] + rect[3]; ++y) {
            for (int x = rect[0]; x < rect[0] + rect[2]; ++x) {
                const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
                count += std::equal(&a[at], &a[at] + 3, &b[at]) ? 0 : 1;
            }
        }
        return count;
    };
    const auto inked = [](const std::vector<std::uint8_t>& screen, int width, const int(&rect)[4]) {
        int count = 0;
        for (int y = rect[1]; y < rect[1] + rect[3]; ++y) {
            for (int x = rect[0]; x < rect[0] + rect[2]; ++x) {
                count += screen[(static_cast<std::size_t>(y) * width + x) * 3] < 100 ? 1 : 0;
            }
        }
        return count;
    };
    enum class Stage { showing, checking, typing, done } stage = Stage::showing;
    std::vector<std::uint8_t> before, checked, typed;
    int width = 0, height = 0, polls = 0, shownFor = 0;
    every(100, [&] {
        if (++polls > 300 || stage == Stage::done) {
            kelvo_appkit_stop(host);
            return false;
        }
        HostCanvasView* canvas = findCanvasView(*host, 1, "gallery");
        if (!treeInstalled || canvas == nullptr || frames.empty() || !frames.back().nonblank ||
            !surfaceOf(*canvas).canvas.hasCanvasTexture || ++shownFor < 5) {
            return true;
        }
        GtkWidget* area = named("gallery");
        const std::vector<std::uint8_t> screen = screenPixels(area, width, height);
        GtkWidget* toplevel = gtk_widget_get_toplevel(area);
        const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
        int x = 0, y = 0;
        char command[256];
        if (stage == Stage::showing) {
            before = screen;
            gtk_widget_translate_coordinates(area, toplevel, kBox[0] + 8, kBox[1] + 16, &x, &y);
            std::snprintf(command, sizeof command,
                          "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d click 1", window, window,
                          x, y);
            EXPECT_EQ(std::system(command), 0) << command;
            stage = Stage::checking;
        } else if (stage == Stage::checking && changed(before, screen, width, kBox) > 20) {
            checked = screen;
            gtk_widget_translate_coordinates(area, toplevel, 200, 100, &x, &y);
            std::snprintf(command, sizeof command,
                          "xdotool mousemove --sync --window %lu %d %d click 1 sleep 0.3 type --delay 30 ab", window, x,
                          y);
            EXPECT_EQ(std::system(command), 0) << command;
            stage = Stage::typing;
        } else if (stage == Stage::typing && changed(checked, screen, width, kLines) > 20) {
            typed = screen;
            stage = Stage::done;
        }
        return true;
    });
    ASSERT_TRUE(app->run());
    ASSERT_TRUE(treeInstalled);
    ASSERT_FALSE(before.empty()) << "no frame was shown";
    EXPECT_GT(inked(before, width, kLines), 40) << "the text area's lines are not shown";
    EXPECT_GT(inked(before, width, {10, 330, 600, 200}), 1000) << "the long text is not shown";
    ASSERT_FALSE(checked.empty()) << "the checked checkbox was not shown";
    ASSERT_FALSE(typed.empty()) << "the typed text was not shown";
    const CanvasSlot* slot = canvasSlotOf(app->runtime->canvasSlots, app->runtime->views[view]);
    const WidgetLayoutNode& area = slot->tree.nodes[1];
    EXPECT_NE(area.text.find("ab"), std::string_view::npos);
    EXPECT_EQ(area.text.size(), 2 * 8192 + 3);
    ASSERT_EQ(app->runtime->dispatchErrors.total, 1u);
    EXPECT_EQ(app->runtime->dispatchErrors.recent.back().error, Error::GlyphAtlasListFull);
    EXPECT_EQ(app->runtime->dispatchErrors.recent.back().detailText(), "widget 4 in view gallery");
}

// A real pointer rests on a link beside a list while the list glides (its momentum started by
// the test): the link stays hovered and the window keeps the link's cursor.
TEST_F(GtkSerialCanvasGallery, AListGlidingBesideTheRestingPointerKeepsItsHoverAndCursor) {
    const std::string tree =
        "column id=1 rect=0,0,1280,800\n"
        "  button id=9 rect=700,10,120,40 text=\"Help\" role=3\n"
        "  scroll_view id=2 rect=0,0,600,400\n"
        "    button id=3 rect=0,0,600,40 text=\"top\"\n"
        "    button id=4 rect=0,200,600,40 text=\"middle\"\n"
        "    button id=5 rect=0,3000,600,40 text=\"bottom\"\n";
    installTreeOnFirstResize(tree);
    Runtime& runtime = *app->runtime;
    const auto view = [&] { return *findViewIndex(runtime, 1, "gallery"); };
    const auto list = [&]() -> float& {
        return canvasSlotOf(runtime.canvasSlots, runtime.views[view()])->tree.nodes[2].value;
    };
    enum class Stage { opening, moving, gliding, done } stage = Stage::opening;
    int polls = 0;
    int still = 0;
    float last = 0;
    bool hoverLost = false;
    bool linkCursor = false;
    every(100, [&] {
        if (++polls > 300 || stage == Stage::done) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (stage == Stage::opening) {
            if (findCanvasView(*host, 1, "gallery") == nullptr || frames.empty() || !frames.back().nonblank)
                return true;
            GtkWidget* area = named("gallery");
            GtkWidget* toplevel = gtk_widget_get_toplevel(area);
            int x = 0, y = 0;
            gtk_widget_translate_coordinates(area, toplevel, 760, 30, &x, &y);
            const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
            char command[256];
            std::snprintf(command, sizeof command, "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d",
                          window, window, x, y);
            EXPECT_EQ(std::system(command), 0) << command;
            stage = Stage::moving;
            return true;
        }
        const CanvasInteraction& ids = runtime.views[view()].canvas.interaction;
        if (stage == Stage::moving) {
            if (ids.hoveredWidget != 9) return true;
            // A flick: the next frames move the list under nothing but its own momentum.
            canvasSlotOf(runtime.canvasSlots, runtime.views[view()])->scroll[2].velocity = 3000;
            EXPECT_TRUE(requestCanvasViewFrame(runtime, view()));
            stage = Stage::gliding;
            return true;
        }
        hoverLost = hoverLost || ids.hoveredWidget != 9 || ids.cursor != CursorKind::link;
        still = list() == last ? still + 1 : 0;
        last = list();
        if (still < 5) return true;
        GdkWindow* window = gtk_widget_get_window(named("gallery"));
        // Named cursors are kept per display: the same name gives the same cursor.
        GdkCursor* pointer = gdk_cursor_new_from_name(gdk_window_get_display(window), "pointer");
        linkCursor = pointer != nullptr && gdk_window_get_cursor(window) == pointer;
        if (pointer != nullptr) g_object_unref(pointer);
        stage = Stage::done;
        return true;
    });
    ASSERT_TRUE(app->run());
    ASSERT_EQ(stage, Stage::done) << "the list did not come to rest";
    EXPECT_GT(last, 100) << "the list did not glide";
    EXPECT_FALSE(hoverLost);
    EXPECT_TRUE(linkCursor) << "the window does not show the link's cursor";
}

// Real keys on a tree and a checkbox: a click selects a row, Down moves to the next row and selects
// it, Right opens that closed row; Shift+Space flips the checkbox a click flipped before.
TEST_F(GtkSerialCanvasGallery, RealKeysSelectAndOpenTreeRowsAndShiftSpaceFlipsACheckbox) {
    const std::string tree =
        "column id=1 rect=0,0,1280,800\n"
        "  tree id=20 rect=400,0,300,300\n"
        "    list_item id=21 rect=400,0,300,30 role=24 expanded=1 text=\"root\"\n"
        "      list_item id=22 rect=400,30,300,30 role=24 text=\"child a\"\n"
        "      list_item id=23 rect=400,60,300,30 role=24 expanded=0 text=\"child b\"\n"
        "  checkbox id=30 rect=10,10,100,30 text=\"Wrap\"\n";
    installTreeOnFirstResize(tree);
    Runtime& runtime = *app->runtime;
    const auto node = [&](std::size_t index) -> const WidgetLayoutNode& {
        const RuntimeView& view = runtime.views[*findViewIndex(runtime, 1, "gallery")];
        return canvasSlotOf(runtime.canvasSlots, view)->tree.nodes[index];
    };
    bool typed = false;
    int polls = 0;
    int settled = 0;
    every(100, [&] {
        if (++polls > 200 || settled > 5) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (typed) {
            // The keys are in once the row they open is open; a moment more for the last key.
            if (node(4).expanded.value_or(false)) ++settled;
            return true;
        }
        if (findCanvasView(*host, 1, "gallery") == nullptr || frames.empty() || !frames.back().nonblank) return true;
        GtkWidget* area = named("gallery");
        GtkWidget* toplevel = gtk_widget_get_toplevel(area);
        int rowX = 0, rowY = 0, boxX = 0, boxY = 0;
        gtk_widget_translate_coordinates(area, toplevel, 550, 45, &rowX, &rowY);
        gtk_widget_translate_coordinates(area, toplevel, 60, 25, &boxX, &boxY);
        const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
        char command[512];
        std::snprintf(command, sizeof command,
                      "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d click 1 sleep 0.2 "
                      "key shift+space sleep 0.2 mousemove --sync --window %lu %d %d click 1 sleep 0.2 key Down "
                      "sleep 0.2 key Right",
                      window, window, boxX, boxY, window, rowX, rowY);
        EXPECT_EQ(std::system(command), 0) << command;
        typed = true;
        return true;
    });
    ASSERT_TRUE(app->run());
    ASSERT_GT(settled, 5) << "the keys did not open the row";
    // Nodes: column, tree, rows 21, 22, 23, checkbox.
    EXPECT_EQ(node(3).selected, 0) << "row 22 stays selected";
    EXPECT_EQ(node(4).selected, 1) << "Down did not select row 23";
    EXPECT_EQ(node(5).selected, 0) << "Shift+Space did not flip the checkbox back";
}

// Pacing is timed, and a window of another test lying over the view would slow it to the covered
// pace: it runs alone on the display.
class GtkSerialPacing : public GtkHost {};

// A canvas view alone, drawing its placeholder: its frame events come at the screen's interval.
TEST_F(GtkSerialPacing, ACanvasViewsFrameEventsComeAtTheScreensInterval) {
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
