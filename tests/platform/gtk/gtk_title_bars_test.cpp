// Title bars drawn over the page in real windows (label "gtk"): the page of a window of style 1
// or 2 starts at the window's top edge under a transparent header bar, the insets the runtime
// reads are the header bar's with its buttons and menu button, the tall toolbar hides in full
// screen and canvas views hear of it, the header bar's menu button opens the window's menu, and
// the page beneath gets the pointer everywhere else and moves the window when it asks. The tests
// that share the screen with others read what a window draws, not the screen.

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "screen_input.hpp"
#include "web_page.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kPage =
    "<!doctype html><style>html,body{margin:0;height:100%;background:#ff00ff}</style><p>Title bar page</p>";

struct Insets {
    double top = -1, left = -1, bottom = -1, right = -1;
    double buttonsX = -1, buttonsY = -1, buttonsWidth = -1, buttonsHeight = -1;
};

class GtkTitleBars : public GtkHost {
protected:
    // A window of the style with the magenta page.
    void open(std::uint64_t id, const char* title, std::int32_t style, double x, double y, double width = kWidth,
              double height = kHeight) {
        const std::string_view name(title);
        ASSERT_EQ(kelvo_appkit_create_window(host, id, title, name.size(), title, name.size(), 1, 1, style, 0, x, y,
                                             width, height),
                  1);
        kelvo_appkit_load_window_webview(host, id, kPage.data(), kPage.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                         0);
    }
    // Runs `then` once the page of every window titled shows, or stops the host after 15 s.
    void whenPagesShow(std::vector<const char*> titles, std::function<void()> then) {
        when(
            "the pages",
            [titles] {
                for (const char* title : titles) {
                    GtkWidget* window = windowTitled(title);
                    WebKitWebView* page = window != nullptr ? placedWebViewIn(window) : nullptr;
                    if (page == nullptr || drawnMagentaInRow(GTK_WIDGET(page), kHeight - 10) < kWidth / 2) return false;
                }
                return true;
            },
            std::move(then), std::chrono::seconds(15));
    }
    Insets insets(std::uint64_t id) {
        Insets v;
        EXPECT_EQ(kelvo_appkit_window_chrome_insets(host, id, &v.top, &v.left, &v.bottom, &v.right, &v.buttonsX,
                                                    &v.buttonsY, &v.buttonsWidth, &v.buttonsHeight),
                  1);
        return v;
    }
    // The last frame the window reported while open.
    const KelvoHostEvent* frame(std::uint64_t id) const {
        const KelvoHostEvent* last = nullptr;
        for (const Seen& s : seen) {
            if (s.kind == HostEventKind::window_frame_changed && s.event.windowId == id && s.event.open != 0) {
                last = &s.event;
            }
        }
        return last;
    }

    static constexpr int kWidth = 560;
    static constexpr int kHeight = 380;
};

// What the window manager says when a window enters or leaves full screen (without one, as under
// Xvfb, nobody grants full screen, so the test says it).
void sayFullScreen(GtkWidget* window, bool fullScreen) {
    GdkEvent* event = gdk_event_new(GDK_WINDOW_STATE);
    event->window_state.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(window)));
    event->window_state.changed_mask = GDK_WINDOW_STATE_FULLSCREEN;
    event->window_state.new_window_state = fullScreen ? GDK_WINDOW_STATE_FULLSCREEN : GdkWindowState{};
    gtk_main_do_event(event);
    gdk_event_free(event);
}

GtkWidget* tallToolbar(GtkWidget* window) { return findNamed(window, "kelvo-tall-titlebar"); }

int heightOf(GtkWidget* widget) {
    return widget != nullptr && gtk_widget_get_visible(widget) ? gtk_widget_get_allocated_height(widget) : 0;
}

TEST_F(GtkTitleBars, ThePageStartsAtTheTopEdgeUnderATransparentHeaderBar) {
    struct Measured {
        int pageX = -1, pageY = -1;      // the page's top left on the screen
        int headerX = -1, headerY = -1;  // the header bar's
        int header = 0, toolbar = 0;
        int bandMagenta = -1;                                       // page pixels in a row of the title bar
        int menuX = -1, menuY = -1, menuWidth = 0, menuHeight = 0;  // the menu button, in the page
        Insets insets;
    };
    std::array<Measured, 2> styles;
    Insets plain;
    whenShown([&] {
        open(2, "One", 1, 40, 60);
        open(3, "Two", 2, 640, 60);
    });
    whenPagesShow({"One", "Two"}, [&] {
        for (int i = 0; i < 2; ++i) {
            GtkWidget* window = windowTitled(i == 0 ? "One" : "Two");
            GtkWidget* page = GTK_WIDGET(placedWebViewIn(window));
            GtkWidget* header = findOfType(window, GTK_TYPE_HEADER_BAR);
            ASSERT_NE(header, nullptr);
            Measured& m = styles[static_cast<std::size_t>(i)];
            ASSERT_TRUE(onScreen(page, 0, 0, m.pageX, m.pageY));
            ASSERT_TRUE(onScreen(header, 0, 0, m.headerX, m.headerY));
            m.header = heightOf(header);
            m.toolbar = heightOf(tallToolbar(window));
            m.bandMagenta = drawnMagentaInRow(page, m.header / 2);
            GtkWidget* menu = findOfType(window, GTK_TYPE_MENU_BUTTON);
            ASSERT_NE(menu, nullptr);
            ASSERT_TRUE(gtk_widget_translate_coordinates(menu, page, 0, 0, &m.menuX, &m.menuY));
            m.menuWidth = gtk_widget_get_allocated_width(menu);
            m.menuHeight = gtk_widget_get_allocated_height(menu);
            m.insets = insets(static_cast<std::uint64_t>(i + 2));
        }
        plain = insets(1);
        kelvo_appkit_stop(host);
    });
    run();
    const double origins[2][2] = {{40, 60}, {640, 60}};
    for (std::size_t i = 0; i < 2; ++i) {
        const Measured& m = styles[i];
        SCOPED_TRACE(i == 0 ? "style 1" : "style 2");
        // The page fills the window from its top edge, and the header bar lies over its top.
        EXPECT_EQ(m.headerX, m.pageX);
        EXPECT_EQ(m.headerY, m.pageY);
        EXPECT_GT(m.bandMagenta, kWidth / 2);
        // The frame the window reports is where the page is: a saved frame restores the same place.
        const KelvoHostEvent* reported = frame(i + 2);
        ASSERT_NE(reported, nullptr);
        EXPECT_EQ(reported->x, origins[i][0]);
        EXPECT_EQ(reported->y, origins[i][1]);
        EXPECT_EQ(reported->x, m.pageX);
        EXPECT_EQ(reported->y, m.pageY);
        EXPECT_EQ(reported->width, kWidth);
        EXPECT_EQ(reported->height, kHeight);
        // The insets are the title bar's; its buttons are at the right, inside the bar.
        EXPECT_GT(m.header, 20);
        EXPECT_EQ(m.insets.top, m.header + m.toolbar);
        EXPECT_EQ(m.insets.left, 0);
        EXPECT_EQ(m.insets.bottom, 0);
        EXPECT_GT(m.insets.right, 0);
        EXPECT_GT(m.insets.buttonsX, kWidth / 2);
        EXPECT_GT(m.insets.buttonsWidth, 0);
        EXPECT_GT(m.insets.buttonsHeight, 0);
        EXPECT_LE(m.insets.buttonsY + m.insets.buttonsHeight, m.header);
        // The buttons' area takes in the menu button beside the window's buttons.
        EXPECT_GT(m.menuWidth, 0);
        EXPECT_LE(m.insets.buttonsX, m.menuX);
        EXPECT_GE(m.insets.buttonsX + m.insets.buttonsWidth, m.menuX + m.menuWidth);
        EXPECT_LE(m.insets.buttonsY, m.menuY);
        EXPECT_GE(m.insets.buttonsY + m.insets.buttonsHeight, m.menuY + m.menuHeight);
        EXPECT_EQ(m.insets.right, kWidth - m.insets.buttonsX + kWidth - (m.insets.buttonsX + m.insets.buttonsWidth));
    }
    EXPECT_EQ(styles[0].toolbar, 0);
    EXPECT_GT(styles[1].toolbar, 20);
    EXPECT_GT(styles[1].insets.top, styles[0].insets.top);
    // The plain style's title bar and menu bar lie outside its content.
    EXPECT_EQ(plain.top, 0);
    EXPECT_EQ(plain.buttonsWidth, 0);
}

TEST_F(GtkTitleBars, AFullScreenWindowHidesItsTallToolbar) {
    double before = -1;
    double during = -1;
    double after_ = -1;
    int header = 0;
    bool toolbarShownDuring = true;
    std::size_t resizesBefore = 0;
    std::size_t resizesDuring = 0;
    std::size_t canvasResizesBefore = 0;
    std::size_t canvasResizesDuring = 0;
    auto resizes = [this](HostEventKind kind) {
        std::size_t n = 0;
        for (const Seen& s : seen) n += s.kind == kind && s.event.windowId == 2 ? 1 : 0;
        return n;
    };
    whenShown([&] { open(2, "Two", 2, 100, 100); });
    whenPagesShow({"Two"}, [&] {
        // A canvas view below the title bar, as a page lays one out against the insets.
        ASSERT_EQ(kelvo_appkit_create_view(host, 2, "pad", 3, 12, "", 0, 0, 1, 1, "", 0, "", 0, "", 0, "", 0, 20, 100,
                                           120, 80),
                  1);
        // The page and the canvas view hear of each change of the part under the title bar.
        inTurn({{"the canvas view's size", [&] { return resizes(HostEventKind::gpu_surface_resized) >= 1; },
                 [&] {
                     GtkWidget* window = windowTitled("Two");
                     before = insets(2).top;
                     header = heightOf(findOfType(window, GTK_TYPE_HEADER_BAR));
                     resizesBefore = resizes(HostEventKind::surface_resized);
                     canvasResizesBefore = resizes(HostEventKind::gpu_surface_resized);
                     sayFullScreen(window, true);
                 }},
                {"the page and the canvas view to hear of full screen",
                 [&] {
                     return resizes(HostEventKind::surface_resized) > resizesBefore &&
                            resizes(HostEventKind::gpu_surface_resized) > canvasResizesBefore;
                 },
                 [&] {
                     GtkWidget* window = windowTitled("Two");
                     toolbarShownDuring = gtk_widget_get_visible(tallToolbar(window));
                     during = insets(2).top;
                     resizesDuring = resizes(HostEventKind::surface_resized);
                     canvasResizesDuring = resizes(HostEventKind::gpu_surface_resized);
                     sayFullScreen(window, false);
                 }},
                {"the page to hear that full screen ended",
                 [&] { return resizes(HostEventKind::surface_resized) > resizesDuring; },
                 [&] {
                     after_ = insets(2).top;
                     kelvo_appkit_stop(host);
                 }}});
    });
    run();
    EXPECT_FALSE(toolbarShownDuring);
    EXPECT_GT(header, 20);
    EXPECT_GT(before, header);
    EXPECT_EQ(during, header);
    EXPECT_EQ(after_, before);
    // The page and its canvas views heard that the part under the title bar changed.
    EXPECT_GT(resizesDuring, resizesBefore);
    EXPECT_GT(canvasResizesDuring, canvasResizesBefore);
}

// The minimum size is the content's, whatever frame the window draws around it.
TEST_F(GtkTitleBars, TheMinimumSizeIsTheContents) {
    whenShown([&] { open(2, "One", 1, 100, 100); });
    whenPagesShow({"One"}, [&] {
        EXPECT_EQ(kelvo_appkit_set_window_content_min_size(host, 2, 300, 200), 1);
        // As a user dragging an edge would ask.
        gtk_window_resize(GTK_WINDOW(windowTitled("One")), 100, 100);
        when(
            "the window's frame after the resize", [&] { return frame(2) != nullptr && frame(2)->width != kWidth; },
            [&] { kelvo_appkit_stop(host); });
    });
    run();
    const KelvoHostEvent* reported = frame(2);
    ASSERT_NE(reported, nullptr);
    EXPECT_EQ(reported->width, 300);
    EXPECT_EQ(reported->height, 200);
}

// A plain window placed at the top of the work area keeps its menu bar inside the work area.
TEST_F(GtkTitleBars, APlainWindowAtTheTopOfTheWorkAreaKeepsItsBarInside) {
    int windowTop = -100;
    int bar = 0;
    whenShown([&] { open(2, "Plain", 0, 30, 0); });
    whenPagesShow({"Plain"}, [&] {
        GtkWidget* window = windowTitled("Plain");
        int left = 0;
        gdk_window_get_origin(gtk_widget_get_window(window), &left, &windowTop);
        bar = menuBarHeight(window);
        kelvo_appkit_stop(host);
    });
    run();
    EXPECT_EQ(windowTop, 0);
    EXPECT_GT(bar, 10);
    const KelvoHostEvent* reported = frame(2);
    ASSERT_NE(reported, nullptr);
    EXPECT_EQ(reported->x, 30);
    EXPECT_EQ(reported->y, bar);
}

// A restored frame larger than the screen is fitted to the work area below the menu bar.
TEST_F(GtkTitleBars, ARestoredFrameLargerThanTheScreenFitsBelowItsBar) {
    GdkRectangle area{};
    int windowTop = -1;
    int windowHeight = -1;
    int bar = 0;
    whenShown([&] {
        gdk_monitor_get_workarea(gdk_display_get_primary_monitor(gdk_display_get_default()) != nullptr
                                     ? gdk_display_get_primary_monitor(gdk_display_get_default())
                                     : gdk_display_get_monitor(gdk_display_get_default(), 0),
                                 &area);
        open(2, "Large", 0, 0, 0, 4000, 3000);
    });
    whenPagesShow({"Large"}, [&] {
        GtkWidget* window = windowTitled("Large");
        int left = 0;
        gdk_window_get_origin(gtk_widget_get_window(window), &left, &windowTop);
        windowHeight = gtk_widget_get_allocated_height(window);
        bar = menuBarHeight(window);
        kelvo_appkit_stop(host);
    });
    run();
    EXPECT_GT(bar, 10);
    EXPECT_EQ(windowTop, area.y);
    EXPECT_EQ(windowTop + windowHeight, area.y + area.height);
    const KelvoHostEvent* reported = frame(2);
    ASSERT_NE(reported, nullptr);
    EXPECT_EQ(reported->x, area.x);
    EXPECT_EQ(reported->y, area.y + bar);
    EXPECT_EQ(reported->width, area.width);
    EXPECT_EQ(reported->height, area.height - bar);
}

// It moves the display's one pointer: it runs alone.
using GtkSerialTitleBars = GtkTitleBars;

TEST_F(GtkSerialTitleBars, TheMenuButtonOpensTheWindowsMenuAndItsItemsWork) {
    std::vector<std::string> buttonMenus;
    std::vector<std::string> barMenus;
    auto closed = [this] {
        for (const Seen& s : seen) {
            if (s.kind == HostEventKind::window_frame_changed && s.event.windowId == 2 && s.event.open == 0)
                return true;
        }
        return false;
    };
    whenShown([&] { open(2, "One", 1, 200, 150); });
    whenPagesShow({"One"}, [&] {
        GtkWidget* window = windowTitled("One");
        click(findOfType(window, GTK_TYPE_MENU_BUTTON));
        when(
            "the window's menu on the screen", [] { return laidOut(GTK_WIDGET(shownMenu())); },
            [&] {
                GtkMenuShell* menu = shownMenu();
                auto titles = [](GtkWidget* shell) {
                    std::vector<std::string> found;
                    GList* items = gtk_container_get_children(GTK_CONTAINER(shell));
                    for (GList* item = items; item != nullptr; item = item->next) {
                        found.emplace_back(gtk_menu_item_get_label(GTK_MENU_ITEM(item->data)));
                    }
                    g_list_free(items);
                    return found;
                };
                buttonMenus = titles(GTK_WIDGET(menu));
                barMenus = titles(findOfType(windowTitled("Vostra Studio"), GTK_TYPE_MENU_BAR));
                GtkWidget* file = itemLabelled(GTK_WIDGET(menu), "File");
                ASSERT_NE(file, nullptr);
                // The pointer rests on File until its menu opens. A click would open it before the
                // delay GTK waits on a hovered item, and GTK leaves behind what it kept for that
                // opening when it is cancelled.
                hover(file);
                GtkWidget* close = itemLabelled(gtk_menu_item_get_submenu(GTK_MENU_ITEM(file)), "Close Window");
                inTurn({{"the File menu open", [close] { return laidOut(close); }, [close] { click(close); }},
                        {"the window to close", [&] { return windowTitled("One") == nullptr && closed(); },
                         [&] { kelvo_appkit_stop(host); }}});
            });
    });
    run();
    EXPECT_FALSE(buttonMenus.empty());
    EXPECT_EQ(buttonMenus, barMenus);
    // Close Window closed the window the menu belongs to, and only that one.
    EXPECT_EQ(windowTitled("One"), nullptr);
    EXPECT_TRUE(closed());
    EXPECT_NE(windowTitled("Vostra Studio"), nullptr);
}

// The page of a style-1 window that records what the pointer does to it and asks the host to move
// the window when pressed.
constexpr std::string_view kPointerPage =
    "<!doctype html><style>html,body{margin:0;height:100%;overflow:hidden;background:#ff00ff}</style>"
    "<script>window.seen = [];"
    "for (const type of ['mousedown', 'click', 'mousemove', 'wheel'])"
    "  addEventListener(type, e => seen.push(type + ':' + e.clientX + ',' + e.clientY));"
    "addEventListener('mousedown', e => { if (window.drags) vexa.invoke('window.drag', {}); });</script>";

TEST_F(GtkSerialTitleBars, ThePageBeneathTheTitleBarGetsThePointerAwayFromItsButtons) {
    std::string seen;
    std::thread worker;
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_window(host, 2, "One", 3, "one", 3, 1, 1, 1, 0, 200, 150, kWidth, kHeight), 1);
        kelvo_appkit_load_window_webview(host, 2, kPointerPage.data(), kPointerPage.size(), 0, nullptr, 0, nullptr, 0,
                                         nullptr, 0, 0);
    });
    whenPagesShow({"One"}, [&] {
        int x = 0;
        int y = 0;
        // A point of the page under the header bar, away from its buttons.
        ASSERT_TRUE(onScreen(GTK_WIDGET(placedWebViewIn(windowTitled("One"))), 60, 20, x, y));
        char arguments[160];
        std::snprintf(arguments, sizeof arguments, "mousemove --sync %d %d mousemove --sync %d %d click 1 click 5",
                      x - 5, y, x, y);
        pointerLater(worker, arguments, [&] {
            const auto reachedAll = [](const std::string& text) {
                return text.find("mousemove:60,20") != std::string::npos &&
                       text.find("wheel:60,20") != std::string::npos;
            };
            when("the page to see the pointer",
                 pageAnswers([] { return placedWebViewIn(windowTitled("One")); }, "seen.join(' ')", reachedAll, &seen),
                 [&] { kelvo_appkit_stop(host); });
        });
    });
    run();
    if (worker.joinable()) worker.join();
    for (const char* reached : {"mousemove:60,20", "mousedown:60,20", "click:60,20", "wheel:60,20"}) {
        EXPECT_NE(seen.find(reached), std::string::npos) << reached << " in " << seen;
    }
}

TEST_F(GtkSerialTitleBars, ThePageMovesItsWindowWhenItAsks) {
    std::thread worker;
    bool pointerDone = false;
    struct Requests {
        KelvoAppKitHost* host;
        int count = 0;
    } requests{host};
    // The runtime answers every page request by asking the host to move the requesting window.
    kelvo_appkit_set_bridge_callback(
        host,
        [](void* context, std::uint64_t windowId, const char*, std::uint64_t, const char*, std::uint64_t, const char*,
           std::uint64_t) {
            auto& requests = *static_cast<Requests*>(context);
            requests.count += 1;
            EXPECT_EQ(kelvo_appkit_start_window_drag(requests.host, windowId), 1);
        },
        &requests);
    whenShown([&] {
        ASSERT_EQ(kelvo_appkit_create_window(host, 2, "One", 3, "one", 3, 1, 1, 1, 0, 200, 150, kWidth, kHeight), 1);
        kelvo_appkit_load_window_webview(host, 2, kPointerPage.data(), kPointerPage.size(), 0, nullptr, 0, nullptr, 0,
                                         nullptr, 0, 0);
    });
    int x = 0;
    int y = 0;
    whenPagesShow({"One"}, [&] {
        WebKitWebView* page = placedWebViewIn(windowTitled("One"));
        ASSERT_TRUE(onScreen(GTK_WIDGET(page), 60, 20, x, y));
        when("the page to take the pointer's presses",
             pageAnswers([page] { return page; }, "window.drags = true; 'yes'",
                         [](const std::string& text) { return text == "yes"; }),
             [&] {
                 // Pressed, held while the page's request arrives, then moved.
                 char press[80];
                 std::snprintf(press, sizeof press, "mousemove --sync %d %d mousedown 1", x, y);
                 pointerLater(worker, press, [&] {
                     when(
                         "the page's request", [&] { return requests.count >= 1; },
                         [&] {
                             char move[160];
                             std::snprintf(move, sizeof move,
                                           "mousemove %d %d sleep 0.1 mousemove %d %d sleep 0.2 mouseup 1", x + 30,
                                           y + 20, x + 90, y + 60);
                             pointerLater(worker, move, [&] {
                                 pointerDone = true;
                                 when(
                                     "the window where the pointer let it go",
                                     [&] {
                                         return frame(2) != nullptr && frame(2)->x == 200 + 90 &&
                                                frame(2)->y == 150 + 60;
                                     },
                                     [&] { kelvo_appkit_stop(host); });
                             });
                         });
                 });
             });
    });
    run();
    if (worker.joinable()) worker.join();
    EXPECT_TRUE(pointerDone);
    const KelvoHostEvent* moved = frame(2);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->x, 200 + 90);
    EXPECT_EQ(moved->y, 150 + 60);
}

}  // namespace
}  // namespace kelvo
