// The host on the GTK backend, in real windows on a virtual display (label "gtk").

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/gtk/gtk_harness.hpp"
#include "platform/gtk/gtk_widgets.hpp"
#include "platform/gtk/screen_input.hpp"
#include "platform/gtk/web_page.hpp"

// After every other header: Xlib defines macros (KeyPress, None, ...) that clash with their names.
#include <gdk/gdkx.h>

namespace kelvo {
namespace {

GtkWindow* toplevelTitled(std::string_view title) {
    GList* toplevels = gtk_window_list_toplevels();
    GtkWindow* found = nullptr;
    for (GList* item = toplevels; item != nullptr; item = item->next) {
        GtkWindow* window = GTK_WINDOW(item->data);
        const gchar* text = gtk_window_get_title(window);
        if (text != nullptr && title == text && gtk_widget_get_visible(GTK_WIDGET(window))) found = window;
    }
    g_list_free(toplevels);
    return found;
}

// The size the window manager is given for the window's icon, from the X property. GDK asks for
// the length in bytes of 32-bit items and hands each item back as a long.
std::pair<long, long> netWmIconSize(GtkWindow* window) {
    GdkAtom type{};
    gint format = 0;
    gint length = 0;
    guchar* data = nullptr;
    gboolean found = gdk_property_get(gtk_widget_get_window(GTK_WIDGET(window)), gdk_atom_intern("_NET_WM_ICON", FALSE),
                                      gdk_atom_intern("CARDINAL", FALSE), 0, 8, FALSE, &type, &format, &length, &data);
    std::pair<long, long> size{0, 0};
    if (found && data != nullptr && length >= static_cast<gint>(2 * sizeof(long))) {
        auto* words = reinterpret_cast<long*>(data);
        size = {words[0], words[1]};
    }
    g_free(data);
    return size;
}

TEST_F(GtkHost, WindowIsTitledSizedIconedAndClosed) {
    std::vector<std::uint8_t> pixels(16 * 16 * 4, 0xC0);
    std::thread iconThread;
    std::atomic<bool> iconHandedOver{false};
    whenShown([&] {
        GtkWindow* window = toplevelTitled("Vostra Studio");
        ASSERT_NE(window, nullptr);
        int width = 0;
        int height = 0;
        gtk_window_get_size(window, &width, &height);
        // The menu bar lies above the content, which has the size asked for.
        const int bar = menuBarHeight(GTK_WIDGET(window));
        EXPECT_GT(bar, 0);
        EXPECT_EQ(width, 1280);
        EXPECT_EQ(height, 820 + bar);
        // The dock-icon thread hands its pixels over from its own thread.
        iconThread = std::thread([&] {
            kelvo_appkit_set_dock_icon_rgba(host, pixels.data(), 16, 16);
            iconHandedOver = true;
        });
        when(
            "the icon handed over to reach the window manager",
            [&, window] { return iconHandedOver && netWmIconSize(window) != std::pair<long, long>{}; },
            [&, window] {
                iconThread.join();
                EXPECT_EQ(netWmIconSize(window), (std::pair<long, long>{16, 16}));
                EXPECT_EQ(kelvo_appkit_close_window(host, 1), 1);
            });
    });
    run();
    if (iconThread.joinable()) iconThread.join();

    EXPECT_EQ(toplevelTitled("Vostra Studio"), nullptr);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().kind, HostEventKind::app_shutdown);
    EXPECT_EQ(count(HostEventKind::app_shutdown), 1u);
    const KelvoHostEvent* opened = nullptr;
    const KelvoHostEvent* closed = nullptr;
    for (const Seen& s : seen) {
        if (s.kind != HostEventKind::window_frame_changed) continue;
        (s.event.open != 0 ? opened : closed) = &s.event;
    }
    ASSERT_NE(opened, nullptr);
    ASSERT_NE(closed, nullptr);
    EXPECT_EQ(opened->width, 1280);
    EXPECT_EQ(opened->height, 820);
}

// An icon as large as the dock icon is more than one X property may carry: the window manager is
// given it in the sizes desktops show, from 256 pixels down.
TEST_F(GtkHost, ALargeIconReachesTheWindowManagerInSmallerSizes) {
    std::vector<std::uint8_t> pixels(1024 * 1024 * 4, 0xC0);
    whenShown([&] {
        kelvo_appkit_set_dock_icon_rgba(host, pixels.data(), 1024, 1024);
        GtkWindow* window = toplevelTitled("Vostra Studio");
        when(
            "the icon to reach the window manager",
            [&, window] { return netWmIconSize(window) != std::pair<long, long>{}; },
            [&, window] {
                EXPECT_EQ(netWmIconSize(window), (std::pair<long, long>{256, 256}));
                GList* icons = gtk_window_get_icon_list(window);
                std::vector<int> sides;
                for (GList* item = icons; item != nullptr; item = item->next)
                    sides.push_back(gdk_pixbuf_get_width(GDK_PIXBUF(item->data)));
                g_list_free(icons);
                EXPECT_EQ(sides, (std::vector<int>{256, 128, 64, 48, 32, 16}));
                kelvo_appkit_stop(host);
            });
    });
    run();
}

TEST_F(GtkHost, MainQueueTimersAndSigterm) {
    const std::thread::id mainThread = std::this_thread::get_id();
    std::thread::id postedOn;
    int timerFired = 0;
    std::thread poster;
    whenShown([&] {
        poster = std::thread([&] { gtk().loop.post(gtk().self, [&] { postedOn = std::this_thread::get_id(); }); });
        kelvo_appkit_start_timer(host, 42, 20'000'000, 1);
        when(
            "the posted task and the timer firing twice",
            [&] { return postedOn != std::thread::id() && count(HostEventKind::timer) >= 2; },
            [&] {
                poster.join();
                kelvo_appkit_cancel_timer(host, 42);
                timerFired = static_cast<int>(count(HostEventKind::timer));
                kill(getpid(), SIGTERM);
            });
    });
    run();
    if (poster.joinable()) poster.join();

    EXPECT_EQ(postedOn, mainThread);
    EXPECT_GE(timerFired, 2);
    EXPECT_EQ(count(HostEventKind::timer), static_cast<std::size_t>(timerFired));
    EXPECT_GE(count(HostEventKind::frame_requested), 1u);
    EXPECT_EQ(count(HostEventKind::app_shutdown), 1u);
    EXPECT_EQ(seen.back().kind, HostEventKind::app_shutdown);
}

TEST_F(GtkHost, AppearanceFollowsTheSettings) {
    // The appearance at start is reported first; then the setting changes, and so does it.
    when(
        "the appearance at start", [&] { return count(HostEventKind::appearance_changed) >= 1; },
        [] { g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", TRUE, nullptr); });
    when(
        "the appearance after the setting changed", [&] { return count(HostEventKind::appearance_changed) >= 2; },
        [&] { kelvo_appkit_stop(host); });
    run();
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", FALSE, nullptr);
    ASSERT_GE(count(HostEventKind::appearance_changed), 2u);
    EXPECT_EQ(seen[1].kind, HostEventKind::appearance_changed);
    EXPECT_EQ(seen[1].event.darkAppearance, 0);
    const Seen* last = nullptr;
    for (const Seen& s : seen) {
        if (s.kind == HostEventKind::appearance_changed) last = &s;
    }
    EXPECT_EQ(last->event.darkAppearance, 1);
}

// The main web view takes its window's keyboard in two ways, each where the other does not act:
// when it is made in a window that is key already, and when its window becomes key again with
// nothing focused (the field that had the keyboard went while the window was in the background).
// Keys typed through the display server reach the page both times, without a click.
class GtkSerialKeyboard : public GtkHost {};

TEST_F(GtkSerialKeyboard, ThePageTakesTheKeysWhenMadeInAKeyWindowAndWhenItsWindowIsKeyAgain) {
    static constexpr std::string_view kPage =
        "<textarea id=t></textarea><script>document.getElementById('t').focus()</script>";
    auto main = [] { return GTK_WINDOW(windowTitled("Vostra Studio")); };
    auto active = [](GtkWindow* window) { return window != nullptr && gtk_window_is_active(window); };
    auto pageHolds = [](std::string text) {
        return pageAnswers(mainWebView, "document.getElementById('t').value",
                           [text](const std::string& value) { return value == text; });
    };
    auto holdsTwo = pageHolds("ab");
    auto holdsFour = pageHolds("abcd");
    std::thread worker;
    bool typed = false;
    auto type = [&](std::string arguments) {
        typed = false;
        pointerLater(worker, std::move(arguments), [&] { typed = true; });
    };
    GtkWidget* elsewhere = nullptr;
    inTurn({
        {"the main window key, its page not made", [&] { return active(main()); }, [] {}},
        // Asked again: the window's becoming key has reached the host.
        {"the main window still key", [&] { return active(main()); },
         [&] {
             EXPECT_EQ(mainWebView(), nullptr);
             kelvo_appkit_load_window_webview(host, 1, kPage.data(), kPage.size(), 0, nullptr, 0, nullptr, 0, nullptr,
                                              0, 0);
         }},
        {"the page's field focused",
         pageAnswers(mainWebView, "String(document.activeElement.id)", [](const std::string& id) { return id == "t"; }),
         [&] { type("type --delay 20 ab"); }},
        {"the keys typed at the new page", [&] { return typed && holdsTwo(); },
         [&] {
             ASSERT_EQ(kelvo_appkit_create_view(host, 1, "query", 5, 8, "", 0, 0, 1, 1, "", 0, "", 0, "Search", 6, "",
                                                0, 300, 100, 200, 30),
                       1);
             ASSERT_EQ(kelvo_appkit_focus_view(host, 1, "query", 5), 1);
             elsewhere = gtk_window_new(GTK_WINDOW_TOPLEVEL);
             gtk_window_set_title(GTK_WINDOW(elsewhere), "Elsewhere");
             gtk_widget_show(elsewhere);
             gtk_window_present(GTK_WINDOW(elsewhere));
         }},
        {"another window key", [&] { return active(GTK_WINDOW(elsewhere)) && !active(main()); },
         [&] {
             ASSERT_EQ(kelvo_appkit_close_view(host, 1, "query", 5), 1);
             EXPECT_EQ(gtk_window_get_focus(main()), nullptr);
             const unsigned long xid = gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(main())));
             type("windowfocus --sync " + std::to_string(xid));
         }},
        {"the main window key again", [&] { return typed && active(main()); }, [] {}},
        // Asked again: the window's becoming key has reached the host.
        {"the main window still key", [&] { return active(main()); }, [&] { type("type --delay 20 cd"); }},
        {"the keys typed once the window was key again", [&] { return typed && holdsFour(); },
         [&] { kelvo_appkit_stop(host); }},
    });
    run();
    if (worker.joinable()) worker.join();
    if (elsewhere != nullptr) gtk_widget_destroy(elsewhere);
}

// Keys typed while the main window's page still loads wait for it, and reach it as they were typed:
// each key's press, then its release.
TEST_F(GtkHost, KeysTypedWhileThePageLoadsReachItPressThenRelease) {
    static constexpr std::string_view kPage =
        "<textarea id=t></textarea><script>window.seen = [];"
        "for (const kind of ['keydown', 'keyup']) addEventListener(kind, e => seen.push(kind[3] + e.key), true);"
        "document.getElementById('t').focus();"
        // The page goes on loading for a second, while the keys come.
        "for (const end = performance.now() + 1000; performance.now() < end;);</script>";
    kelvo_appkit_load_window_webview(host, 1, kPage.data(), kPage.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    // As the X server delivers them, on the loop's first turn.
    gtk().loop.post(gtk().self, [] {
        GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(toplevelTitled("Vostra Studio")));
        ASSERT_NE(window, nullptr);
        for (guint keyval : {GDK_KEY_a, GDK_KEY_b}) {
            for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
                GdkEvent* event = gdk_event_new(type);
                event->key.window = GDK_WINDOW(g_object_ref(window));
                event->key.keyval = keyval;
                gdk_event_set_device(event,
                                     gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
                gdk_event_put(event);
                gdk_event_free(event);
            }
        }
    });
    std::string seen;
    when("four key events in the page",
         pageAnswers(
             mainWebView, "seen.length < 4 ? '' : seen.join(' ') + '|' + document.getElementById('t').value",
             [](const std::string& answer) { return !answer.empty(); }, &seen),
         [&] { kelvo_appkit_stop(host); });
    run();
    EXPECT_EQ(seen, "da ua db ub|ab");
}

// A task that runs a loop of its own, as one that shows a modal dialog does, has the tasks queued
// behind it run inside that loop, as those posted while it runs do: the host's next held key, say,
// reaches the dialog the key before it opened, not the window once the dialog has gone.
TEST_F(GtkHost, TasksQueuedBehindOneThatRunsALoopOfItsOwnRunInsideThatLoop) {
    GMainLoop* inner = g_main_loop_new(nullptr, FALSE);
    bool ranInside = false;
    whenShown([&] {
        gtk().loop.post(gtk().self, [&] {
            // Ended by the task behind it, or, should that never come, after a while.
            g_timeout_add_seconds_full(
                G_PRIORITY_DEFAULT, 10,
                [](gpointer loop) { return g_main_loop_quit(static_cast<GMainLoop*>(loop)), 0; },
                g_main_loop_ref(inner), reinterpret_cast<GDestroyNotify>(g_main_loop_unref));
            g_main_loop_run(inner);
            kelvo_appkit_stop(host);
        });
        gtk().loop.post(gtk().self, [&] { ranInside = g_main_loop_is_running(inner), g_main_loop_quit(inner); });
    });
    run();
    g_main_loop_unref(inner);
    EXPECT_TRUE(ranInside);
}

// Keys handed to the page's web view, then at once a reply and an event for the page: the page has
// handled every key when either reaches it (the web view hands a key to the page only once the
// page has acknowledged the one before, while a script would go at once).
TEST_F(GtkHost, RepliesAndEventsReachThePageAfterTheKeysHandedToItBefore) {
    static constexpr std::string_view kPage =
        "<p>page</p><script>window.keys = 0; addEventListener('keydown', () => keys++, true);</script>";
    kelvo_appkit_load_window_webview(host, 1, kPage.data(), kPage.size(), 0, nullptr, 0, nullptr, 0, nullptr, 0, 0);
    // The page's request is answered by the test, later.
    std::string asked;
    kelvo_appkit_set_bridge_callback(
        host,
        [](void* id, std::uint64_t, const char*, std::uint64_t, const char* message, std::uint64_t length, const char*,
           std::uint64_t) {
            const std::string request(message, length);
            *static_cast<std::string*>(id) = request.substr(request.find("\"id\":\"") + 6, 1);
        },
        &asked);
    std::string seen;
    inTurn({{"the page's bridge",
             pageAnswers(mainWebView, "typeof vexa", [](const std::string& type) { return type == "object"; }),
             [] {
                 evaluate(mainWebView(),
                          "vexa.on('test:seen', () => { window.atEvent = keys; });"
                          "vexa.invoke('test.later').then(() => { window.atReply = keys; }), 'asked'",
                          [](const std::string&) {});
             }},
            {"the page's request", [&] { return !asked.empty(); },
             [&] {
                 // Six keys straight to the window, as GTK hands on the display server's.
                 gtk_widget_grab_focus(GTK_WIDGET(mainWebView()));
                 GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
                 key->key.window =
                     GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(windowTitled("Vostra Studio")))));
                 key->key.keyval = GDK_KEY_a;
                 gdk_event_set_device(key,
                                      gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
                 for (int i = 0; i < 6; ++i) gtk_main_do_event(key);
                 gdk_event_free(key);
                 const std::string reply = R"({"id":")" + asked + R"(","ok":true,"result":null})";
                 kelvo_appkit_bridge_respond_window(host, 1, reply.data(), reply.size());
                 kelvo_appkit_emit_window_event(host, 1, "test:seen", 9, "{}", 2);
             }},
            {"the reply and the event in the page",
             pageAnswers(
                 mainWebView,
                 "window.atEvent === undefined || window.atReply === undefined ? '' : atEvent + ' ' + atReply",
                 [](const std::string& answer) { return !answer.empty(); }, &seen),
             [&] { kelvo_appkit_stop(host); }}});
    run();
    EXPECT_EQ(seen, "6 6");
}

}  // namespace
}  // namespace kelvo
