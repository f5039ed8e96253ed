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

#include "canvas_gallery_window.hpp"
#include "gtk_widgets.hpp"
#include "screen_reader.hpp"
#include "support/full_text_area.hpp"

// After the test framework: the X headers define names (None, Bool) it uses.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

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

// Real Tab and Shift+Tab in an open menu close it first and move the focus on from its trigger:
// from the first item of one menu Tab goes past the trigger, from the last item of another
// Shift+Tab goes back before its trigger; neither stays in its menu.
TEST_F(GtkSerialCanvasGallery, RealTabAndShiftTabCloseAnOpenMenuBeforeMovingTheFocus) {
    const std::string tree =
        "column id=1 rect=0,0,1280,800\n"
        "  row_a id=8 rect=10,10,400,30\n"
        "    button id=9 rect=10,10,90,30 text=\"Open\"\n"
        "      menu id=10 rect=10,40,150,60 out_of_flow=1\n"
        "        menu_item id=11 rect=10,40,150,30 text=\"A\"\n"
        "        menu_item id=12 rect=10,70,150,30 text=\"B\"\n"
        "    button id=14 rect=110,10,90,30 text=\"Save\"\n"
        "    button id=16 rect=210,10,90,30 text=\"More\"\n"
        "      menu id=17 rect=210,40,150,60 out_of_flow=1\n"
        "        menu_item id=18 rect=210,40,150,30 text=\"C\"\n"
        "        menu_item id=19 rect=210,70,150,30 text=\"D\"\n";
    installTreeOnFirstResize(tree);
    Runtime& runtime = *app->runtime;
    const auto view = [&]() -> const RuntimeView& { return runtime.views[*findViewIndex(runtime, 1, "gallery")]; };
    const auto hidden = [&](std::size_t index) {
        return (canvasSlotOf(runtime.canvasSlots, view())->tree.nodes[index].hidden & 1u) != 0;
    };
    // Clicks the item at (x, y) of the view, then presses `keys`.
    const auto clickThenPress = [&](int x, int y, const char* keys) {
        GtkWidget* area = named("gallery");
        GtkWidget* toplevel = gtk_widget_get_toplevel(area);
        int atX = 0, atY = 0;
        gtk_widget_translate_coordinates(area, toplevel, x, y, &atX, &atY);
        const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
        char command[512];
        std::snprintf(command, sizeof command,
                      "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d click 1 sleep 0.2 key %s",
                      window, window, atX, atY, keys);
        EXPECT_EQ(std::system(command), 0) << command;
    };
    enum class Stage { opening, tabbed, shiftTabbed, done } stage = Stage::opening;
    std::uint64_t afterTab = 0;
    bool firstMenuOpenAfterTab = true;
    int polls = 0;
    int settled = 0;
    every(100, [&] {
        if (++polls > 200 || stage == Stage::done) {
            kelvo_appkit_stop(host);
            return false;
        }
        if (stage == Stage::opening) {
            if (findCanvasView(*host, 1, "gallery") == nullptr || frames.empty() || !frames.back().nonblank) {
                return true;
            }
            clickThenPress(85, 55, "Tab");  // item A
            stage = Stage::tabbed;
            return true;
        }
        // Each key is in once the focus left the item it clicked; a moment more to settle.
        const std::uint64_t focused = view().canvas.interaction.focusedWidget;
        if ((stage == Stage::tabbed && (focused == 11 || focused == 0)) ||
            (stage == Stage::shiftTabbed && (focused == 19 || focused == 0)) || ++settled < 3) {
            return true;
        }
        settled = 0;
        if (stage == Stage::tabbed) {
            afterTab = focused;
            firstMenuOpenAfterTab = !hidden(3);
            clickThenPress(285, 85, "shift+Tab");  // item D
            stage = Stage::shiftTabbed;
            return true;
        }
        stage = Stage::done;
        return true;
    });
    ASSERT_TRUE(app->run());
    ASSERT_EQ(stage, Stage::done) << "the keys did not move the focus";
    // Nodes: column, row, Open, its menu, A, B, Save, More, its menu, C, D.
    EXPECT_EQ(afterTab, 14u) << "Tab did not go past the trigger";
    EXPECT_FALSE(firstMenuOpenAfterTab) << "Tab left the menu open";
    EXPECT_EQ(view().canvas.interaction.focusedWidget, 14u) << "Shift+Tab did not go back before the trigger";
    EXPECT_TRUE(hidden(8)) << "Shift+Tab left the menu open";
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
