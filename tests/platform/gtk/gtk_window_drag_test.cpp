// A page that moves its window (label "gtk"), with real pointer input (XTEST, through xdotool):
// a move ends with the press that began it, so that a later request without a new left press
// (a right click, a script) moves nothing; a double click through the page's request zooms the
// window. They move the display's one pointer: they run alone.

#include <webkit2/webkit2.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "gtk_harness.hpp"
#include "gtk_widgets.hpp"
#include "screen_input.hpp"
#include "web_page.hpp"

// After the test framework: the X headers define names (None, Bool) it uses.
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

// A page that asks the host to move its window on every press of any button (as a page whose
// whole top is a title bar may), and keeps its own context menu away.
constexpr std::string_view kDragPage =
    "<!doctype html><style>html,body{margin:0;height:100%;overflow:hidden;background:#ff00ff}</style>"
    "<script>addEventListener('mousedown', e => vexa.invoke('window.drag', {}));"
    "addEventListener('contextmenu', e => e.preventDefault());</script>";

constexpr int kWidth = 560;
constexpr int kHeight = 380;
constexpr int kLeft = 200;
constexpr int kTop = 150;

class GtkSerialWindowDrag : public GtkHost {
protected:
    void SetUp() override {
        GtkHost::SetUp();
        if (host == nullptr) return;
        // The runtime answers every page request by asking the host to move the requesting window.
        kelvo_appkit_set_bridge_callback(
            host,
            [](void* context, std::uint64_t windowId, const char*, std::uint64_t, const char*, std::uint64_t,
               const char*, std::uint64_t) {
                auto& self = *static_cast<GtkSerialWindowDrag*>(context);
                self.requests += 1;
                EXPECT_EQ(kelvo_appkit_start_window_drag(self.host, windowId), 1);
            },
            this);
    }
    void TearDown() override {
        if (worker.joinable()) worker.join();
        GtkHost::TearDown();
    }

    static WebKitWebView* page() {
        GtkWidget* window = windowTitled("One");
        return window != nullptr ? placedWebViewIn(window) : nullptr;
    }
    // Window 2 with the page; `then` runs once the page shows, or the host stops after 15 s.
    void openWhenShown(std::function<void(WebKitWebView*)> then) {
        whenShown([this] {
            ASSERT_EQ(kelvo_appkit_create_window(host, 2, "One", 3, "one", 3, 1, 1, 1, 0, kLeft, kTop, kWidth, kHeight),
                      1);
            kelvo_appkit_load_window_webview(host, 2, kDragPage.data(), kDragPage.size(), 0, nullptr, 0, nullptr, 0,
                                             nullptr, 0, 0);
        });
        when(
            "the page",
            [] { return page() != nullptr && drawnMagentaInRow(GTK_WIDGET(page()), kHeight - 10) >= kWidth / 2; },
            [then] { then(page()); }, std::chrono::seconds(15));
    }
    // Runs `then` once the page's requests reached `count`, or the host stops after 10 s.
    void whenRequests(int count, std::function<void()> then) {
        when(
            "the page's request", [this, count] { return requests >= count; }, std::move(then));
    }
    // The last frame window 2 reported while open: {x, y}.
    [[nodiscard]] std::pair<double, double> frame() const {
        std::pair<double, double> last{-1, -1};
        for (const Seen& s : seen) {
            if (s.kind == HostEventKind::window_frame_changed && s.event.windowId == 2 && s.event.open != 0) {
                last = {s.event.x, s.event.y};
            }
        }
        return last;
    }
    static bool leftButtonDown() { return gtk().windows.leftButtonDown(gtk().self); }

    // The page moves its window by (90, 60) with a press held at its point (60, 20); `then` runs
    // when the button is up again.
    void dragOnce(WebKitWebView* page, std::function<void()> then) {
        int x = 0;
        int y = 0;
        ASSERT_TRUE(onScreen(GTK_WIDGET(page), 60, 20, x, y));
        char press[80];
        std::snprintf(press, sizeof press, "mousemove --sync %d %d mousedown 1", x, y);
        pointerLater(worker, press, [this, x, y, then] {
            whenRequests(1, [this, x, y, then] {
                heldDuringMove = leftButtonDown();
                char move[160];
                std::snprintf(move, sizeof move, "mousemove %d %d sleep 0.1 mousemove %d %d sleep 0.2 mouseup 1",
                              x + 30, y + 20, x + 90, y + 60);
                pointerLater(worker, move, [this, then] {
                    // The move ends with the press: the window stays where the button came up.
                    when(
                        "the button to come up and the window where it let go",
                        [this] {
                            return !leftButtonDown() && frame() == std::pair<double, double>(kLeft + 90, kTop + 60);
                        },
                        [this, then] {
                            upAfterMove = !leftButtonDown();
                            movedTo = frame();
                            then();
                        });
                });
            });
        });
    }

    std::thread worker;
    int requests = 0;
    bool heldDuringMove = false;
    bool upAfterMove = false;
    bool heldElsewhere = false;
    std::pair<double, double> movedTo{-1, -1};
};

TEST_F(GtkSerialWindowDrag, ARightClickAfterAMoveLeavesTheWindowWhereItIs) {
    openWhenShown([this](WebKitWebView* page) {
        dragOnce(page, [this] {
            // The page asks again for a right click, then the pointer moves with no button held.
            pointerLater(worker, "click 3", [this] {
                whenRequests(2, [this] {
                    // The window must not follow: it is given half a second in which it would.
                    pointerLater(worker, "mousemove_relative --sync 100 100 sleep 0.2 mousemove_relative --sync 60 40",
                                 [this] { after(500, [this] { kelvo_appkit_stop(host); }); });
                });
            });
        });
    });
    run();
    EXPECT_TRUE(heldDuringMove);
    EXPECT_TRUE(upAfterMove);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(movedTo, (std::pair<double, double>(kLeft + 90, kTop + 60)));
    EXPECT_EQ(frame(), movedTo);
}

// A press on the bare screen, outside every window of the program, is not one of the page's:
// a script's request while it is held moves nothing, though the button is down.
TEST_F(GtkSerialWindowDrag, AScriptsRequestWhileTheButtonIsHeldElsewhereMovesNothing) {
    openWhenShown([this](WebKitWebView* page) {
        dragOnce(page, [this, page] {
            GdkRectangle screen{};
            gdk_monitor_get_geometry(gdk_display_get_monitor(gdk_display_get_default(), 0), &screen);
            // Below the main window (1280 x 820 at the top left) and away from the parked corner.
            char press[80];
            std::snprintf(press, sizeof press, "mousemove --sync %d %d mousedown 1", screen.width - 80,
                          screen.height - 24);
            pointerLater(worker, press, [this, page] {
                when(
                    "the press outside the program's windows", [] { return leftButtonDown(); },
                    [this, page] {
                        heldElsewhere = true;
                        evaluate(page, "vexa.invoke('window.drag', {}); 'asked'", [](const std::string&) {});
                        whenRequests(2, [this] {
                            // The window must not follow: it is given half a second in which it would.
                            pointerLater(
                                worker,
                                "mousemove_relative --sync -- -100 -100 sleep 0.2 mousemove_relative --sync -- -60 -40 "
                                "sleep 0.2 mouseup 1",
                                [this] { after(500, [this] { kelvo_appkit_stop(host); }); });
                        });
                    });
            });
        });
    });
    run();
    EXPECT_TRUE(heldElsewhere);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(movedTo, (std::pair<double, double>(kLeft + 90, kTop + 60)));
    EXPECT_EQ(frame(), movedTo);
}

// What the program asks of a window manager about a window's state: the messages sent to the
// screen's root window, read on a connection of the test's own (no window manager runs on the
// virtual display to act on them).
class WindowManagerRequests {
public:
    WindowManagerRequests() : display_(XOpenDisplay(nullptr)) {
        if (display_ == nullptr) return;
        state_ = XInternAtom(display_, "_NET_WM_STATE", False);
        maximizedVert_ = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False);
        maximizedHorz_ = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~WindowManagerRequests() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    WindowManagerRequests(const WindowManagerRequests&) = delete;
    WindowManagerRequests& operator=(const WindowManagerRequests&) = delete;

    [[nodiscard]] bool open() const { return display_ != nullptr; }
    // How many requests to maximize the window came so far.
    int maximizeRequests(unsigned long window) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            const XClientMessageEvent& message = event.xclient;
            constexpr long kAdd = 1;
            if (event.type == ClientMessage && message.window == window && message.message_type == state_ &&
                message.data.l[0] == kAdd && static_cast<Atom>(message.data.l[1]) == maximizedVert_ &&
                static_cast<Atom>(message.data.l[2]) == maximizedHorz_) {
                maximized_ += 1;
            }
        }
        return maximized_;
    }

private:
    Display* display_ = nullptr;
    Atom state_ = 0;
    Atom maximizedVert_ = 0;
    Atom maximizedHorz_ = 0;
    int maximized_ = 0;
};

// A click of the left button where the pointer is: its press and release go to the X server in one
// message (XTEST), so that the button is up before anything can ask about the press.
bool clickAtOnce() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}

// GDK makes a press a double click by the X server's timestamps of the two presses, which the
// server stamps as it takes each one: under load, a fixed pause between them in the test grows
// past the double-click time, and a second press sent before the page asked for the first is
// judged with the first's request. So the double-click time is made long enough for any load, as
// a user may set it, and each press waits for the page's request for the one before.
TEST_F(GtkSerialWindowDrag, ADoubleClickThroughThePagesRequestZoomsTheWindow) {
    WindowManagerRequests manager;
    ASSERT_TRUE(manager.open());
    GtkSettings* settings = gtk_settings_get_default();
    gint doubleClickTime = 0;
    g_object_get(settings, "gtk-double-click-time", &doubleClickTime, nullptr);
    g_object_set(settings, "gtk-double-click-time", 600'000, nullptr);
    unsigned long xid = 0;
    int maximized = 0;
    openWhenShown([&](WebKitWebView* page) {
        xid = gdk_x11_window_get_xid(gtk_widget_get_window(windowTitled("One")));
        int x = 0;
        int y = 0;
        ASSERT_TRUE(onScreen(GTK_WIDGET(page), 60, 20, x, y));
        char arguments[160];
        std::snprintf(arguments, sizeof arguments, "mousemove --sync %d %d", x, y);
        // The first click is over before its request comes: it moves nothing. The second press is
        // held as a hand holds it while the page's request for it comes: a press released before
        // then is no longer the event being handled.
        pointerLater(worker, arguments, [&] {
            ASSERT_TRUE(clickAtOnce());
            whenRequests(1, [&] {
                pointerLater(worker, "mousedown 1", [&] {
                    whenRequests(2, [&] {
                        pointerLater(worker, "mouseup 1", [&] {
                            // The zoom was asked while the request was handled; then it is read for
                            // a second more, in which no second one may come.
                            when(
                                "the request to zoom", [&] { return (maximized = manager.maximizeRequests(xid)) >= 1; },
                                [&] {
                                    every(50, [&, polls = 0]() mutable {
                                        maximized = manager.maximizeRequests(xid);
                                        if (++polls < 20) return true;
                                        kelvo_appkit_stop(host);
                                        return false;
                                    });
                                });
                        });
                    });
                });
            });
        });
    });
    run();
    g_object_set(settings, "gtk-double-click-time", doubleClickTime, nullptr);
    EXPECT_EQ(requests, 2);
    EXPECT_EQ(maximized, 1);
}

}  // namespace
}  // namespace kelvo
