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

using namespace std::chrono_literals;

// A real click at a point of the canvas view "gallery", its window given the keyboard first; then
// `more` of xdotool's commands.
void clickInGallery(int x, int y, const std::string& more = "") {
    GtkWidget* area = named("gallery");
    GtkWidget* toplevel = gtk_widget_get_toplevel(area);
    int atX = 0;
    int atY = 0;
    gtk_widget_translate_coordinates(area, toplevel, x, y, &atX, &atY);
    const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
    const std::string command = "xdotool windowfocus --sync " + std::to_string(window) + " mousemove --sync --window " +
                                std::to_string(window) + " " + std::to_string(atX) + " " + std::to_string(atY) +
                                " click 1 " + more;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST_F(GtkSerialCanvasGallery, APageOpensTheGalleryAndTheWindowShowsTheSurface) {
    std::vector<std::uint8_t> screen;
    std::vector<std::uint8_t> surface;
    std::vector<std::string> cutText;
    int width = 0;
    int height = 0;
    // Once the picture is drawn and the display had time to show it.
    when(
        "the gallery shown", [this] { return galleryShown(); },
        [&] {
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
        },
        20s);
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
    // The Save button (16, 16, 96 x 32) and the empty text field (232, 148, 200 x 32).
    inTurn(
        {{"the gallery shown", [this] { return galleryShown(); },
          [&] {
              bar = menuBarHeight(gtk_widget_get_toplevel(named("gallery")));
              clickInGallery(64, 32);
          }},
         // Typed at once after the click, the keys reach the field as key presses (once the field
         // takes text, the input method's text stands for them).
         {"the press on Save", [&] { return pressed.size() >= 1; },
          [&] { clickInGallery(332, 164, "type --delay 30 hi"); }},
         {"the typed keys", [&] { return typed.find("43:i") != std::string::npos; }, [&] { reader.start(out, false); }},
         {"the reader to finish", [&] { return reader.done; }, [&] { kelvo_appkit_stop(host); }}},
        20s);
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
    // Nothing moves in this tree, so frames stop once it is drawn: a presented, non-blank frame is
    // waited for, and then for the display to show it.
    when(
        "the view's picture on the screen", [this] { return pictureShown(); },
        [&] {
            screen = screenPixels(named("gallery"), width, height);
            kelvo_appkit_stop(host);
        },
        30s);
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
    std::vector<std::uint8_t> before, checked, typed;
    int width = 0, height = 0;
    const auto screen = [&] { return screenPixels(named("gallery"), width, height); };
    inTurn({{"the view's picture on the screen", [this] { return treeInstalled && pictureShown(); },
             [&] {
                 before = screen();
                 clickInGallery(kBox[0] + 8, kBox[1] + 16);
             }},
            {"the checked checkbox on the screen", [&] { return changed(before, screen(), width, kBox) > 20; },
             [&] {
                 checked = screen();
                 clickInGallery(200, 100);
             }},
            {"the text area to have the keyboard",
             [&] { return app->runtime->views[view].canvas.interaction.focusedWidget == 2; },
             [] { EXPECT_EQ(std::system("xdotool type --delay 30 ab"), 0); }},
            {"the typed text on the screen", [&] { return changed(checked, screen(), width, kLines) > 20; },
             [&] {
                 typed = screen();
                 kelvo_appkit_stop(host);
             }}},
           30s);
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
    float last = 0;
    bool atRest = false;
    bool hoverLost = false;
    bool linkCursor = false;
    const auto hovered = [&] { return runtime.views[view()].canvas.interaction.hoveredWidget; };
    const auto glide = [&]() -> float& {
        return canvasSlotOf(runtime.canvasSlots, runtime.views[view()])->scroll[2].velocity;
    };
    inTurn(
        {{"the view's picture",
          [&] { return findCanvasView(*host, 1, "gallery") != nullptr && !frames.empty() && frames.back().nonblank; },
          [&] {
              GtkWidget* area = named("gallery");
              GtkWidget* toplevel = gtk_widget_get_toplevel(area);
              int x = 0, y = 0;
              gtk_widget_translate_coordinates(area, toplevel, 760, 30, &x, &y);
              const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
              char command[256];
              std::snprintf(command, sizeof command,
                            "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d", window, window, x, y);
              EXPECT_EQ(std::system(command), 0) << command;
          }},
         {"the link hovered", [&] { return hovered() == 9; },
          [&] {
              // A flick: the next frames move the list under nothing but its own momentum.
              glide() = 3000;
              EXPECT_TRUE(requestCanvasViewFrame(runtime, view()));
          }},
         {"the list to come to rest",
          [&] {
              const CanvasInteraction& ids = runtime.views[view()].canvas.interaction;
              hoverLost = hoverLost || ids.hoveredWidget != 9 || ids.cursor != CursorKind::link;
              return glide() == 0;
          },
          [&] {
              atRest = true;
              last = list();
              GdkWindow* window = gtk_widget_get_window(named("gallery"));
              // Named cursors are kept per display: the same name gives the same cursor.
              GdkCursor* pointer = gdk_cursor_new_from_name(gdk_window_get_display(window), "pointer");
              linkCursor = pointer != nullptr && gdk_window_get_cursor(window) == pointer;
              if (pointer != nullptr) g_object_unref(pointer);
              kelvo_appkit_stop(host);
          }}},
        30s);
    ASSERT_TRUE(app->run());
    ASSERT_TRUE(atRest) << "the list did not come to rest";
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
    bool opened = false;
    // The keys are in once the row they open is open.
    inTurn(
        {{"the view's picture",
          [&] { return findCanvasView(*host, 1, "gallery") != nullptr && !frames.empty() && frames.back().nonblank; },
          [&] {
              GtkWidget* area = named("gallery");
              GtkWidget* toplevel = gtk_widget_get_toplevel(area);
              int rowX = 0, rowY = 0, boxX = 0, boxY = 0;
              gtk_widget_translate_coordinates(area, toplevel, 550, 45, &rowX, &rowY);
              gtk_widget_translate_coordinates(area, toplevel, 60, 25, &boxX, &boxY);
              const unsigned long window = gdk_x11_window_get_xid(gtk_widget_get_window(toplevel));
              char command[512];
              std::snprintf(
                  command, sizeof command,
                  "xdotool windowfocus --sync %lu mousemove --sync --window %lu %d %d click 1 key shift+space "
                  "mousemove --sync --window %lu %d %d click 1 key Down key Right",
                  window, window, boxX, boxY, window, rowX, rowY);
              EXPECT_EQ(std::system(command), 0) << command;
          }},
         {"the row opened by the keys", [&] { return node(4).expanded.value_or(false); },
          [&] {
              opened = true;
              kelvo_appkit_stop(host);
          }}},
        20s);
    ASSERT_TRUE(app->run());
    ASSERT_TRUE(opened) << "the keys did not open the row";
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
    const auto focused = [&] { return view().canvas.interaction.focusedWidget; };
    const auto press = [](const char* keys) {
        EXPECT_EQ(std::system((std::string("xdotool key ") + keys).c_str()), 0) << keys;
    };
    bool done = false;
    std::uint64_t afterTab = 0;
    bool firstMenuOpenAfterTab = true;
    // Each key is pressed once the click gave its item the focus, and is in once the focus left it.
    inTurn(
        {{"the view's picture",
          [&] { return findCanvasView(*host, 1, "gallery") != nullptr && !frames.empty() && frames.back().nonblank; },
          [] { clickInGallery(85, 55); }},  // item A
         {"item A to have the focus", [&] { return focused() == 11; }, [&] { press("Tab"); }},
         {"Tab to move the focus", [&] { return focused() != 11 && focused() != 0; },
          [&] {
              afterTab = focused();
              firstMenuOpenAfterTab = !hidden(3);
              clickInGallery(285, 85);  // item D
          }},
         {"item D to have the focus", [&] { return focused() == 19; }, [&] { press("shift+Tab"); }},
         {"Shift+Tab to move the focus", [&] { return focused() != 19 && focused() != 0; },
          [&] {
              done = true;
              kelvo_appkit_stop(host);
          }}},
        20s);
    ASSERT_TRUE(app->run());
    ASSERT_TRUE(done) << "the keys did not move the focus";
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
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_view(host, 1, "pace", 4, 12, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 10, 10,
                                           200, 100),
                  1);
    });
    std::vector<std::uint64_t> arrivals;
    std::uint64_t interval = 0;
    onEvent = [&](const KelvoHostEvent& event) {
        if (event.kind != static_cast<std::uint32_t>(HostEventKind::gpu_surface_frame)) return;
        arrivals.push_back(static_cast<std::uint64_t>(g_get_monotonic_time()) * 1000);
        interval = event.frameIntervalNs;
    };
    // Enough frames for a steady pace: a second's at the usual interval.
    when(
        "sixty frame events", [&] { return arrivals.size() >= 60; }, [&] { kelvo_appkit_stop(host); });
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
