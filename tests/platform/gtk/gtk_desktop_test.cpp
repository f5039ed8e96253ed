// The host among a desktop's services on the session bus (label "gtk"): the status item with a
// StatusNotifierWatcher or an XEmbed tray, the settings portal's appearance, the notification
// service. The services are stand-ins served by another connection of the test (BusPeer). The
// bus and the display are shared by every test of a run, so these suites run alone
// (GtkSerial...).

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gtk/bus_peer.hpp"
#include "platform/gtk/gtk_harness.hpp"
#include "support/temp_folder.hpp"

// After the names its macros (None, Status, KeyPress, ...) would replace.
#include <X11/Xlib.h>

namespace kelvo {
namespace {

using testing::BusPeer;

constexpr const char* kWatcherXml = R"xml(<node><interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
</interface></node>)xml";

// What the watcher's panel read of the item, on the peer's thread.
struct PanelView {
    std::mutex lock;
    std::string registeredName;  // the name the item registered
    std::string sender;          // the connection it registered from
    GVariant* properties = nullptr;
    GVariant* layout = nullptr;
    std::vector<std::string> signals;
    std::string eventError;
    std::atomic<bool> read{false};
    // What the panel does once an item registered: runs on the peer's thread, after the answer.
    std::function<void(const std::string& name)> onRegistered;
    ~PanelView() {
        if (properties != nullptr) g_variant_unref(properties);
        if (layout != nullptr) g_variant_unref(layout);
    }
};

// A StatusNotifierWatcher with a panel (its host) that shows items: it records what registers.
void serveWatcher(BusPeer& peer, PanelView& view, bool hostRegistered = true) {
    ASSERT_TRUE(peer.own("org.kde.StatusNotifierWatcher"));
    peer.serve(
        "/StatusNotifierWatcher", kWatcherXml,
        [&view, &peer](const std::string& method, GVariant* arguments, GDBusMethodInvocation* invocation) {
            if (method == "RegisterStatusNotifierItem") {
                const gchar* service = nullptr;
                g_variant_get(arguments, "(&s)", &service);
                const std::string name = service;
                {
                    std::lock_guard guard(view.lock);
                    view.registeredName = name;
                    view.sender = g_dbus_method_invocation_get_sender(invocation);
                }
                if (view.onRegistered) peer.post([&view, name] { view.onRegistered(name); });
            }
            g_dbus_method_invocation_return_value(invocation, nullptr);
        },
        [hostRegistered](const std::string& name) -> GVariant* {
            if (name == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(hostRegistered);
            if (name == "ProtocolVersion") return g_variant_new_int32(0);
            if (name == "RegisteredStatusNotifierItems") return g_variant_new_strv(nullptr, 0);
            return nullptr;
        });
}

// A 36 x 36 PNG: the top half opaque red, the bottom half half-transparent blue.
void writeIcon(const std::string& path) {
    GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 36, 36);
    guchar* pixels = gdk_pixbuf_get_pixels(image);
    const int stride = gdk_pixbuf_get_rowstride(image);
    for (int y = 0; y < 36; ++y) {
        for (int x = 0; x < 36; ++x) {
            guchar* p = pixels + y * stride + x * 4;
            const bool top = y < 18;
            p[0] = top ? 255 : 0;
            p[1] = 0;
            p[2] = top ? 0 : 255;
            p[3] = top ? 255 : 128;
        }
    }
    ASSERT_TRUE(gdk_pixbuf_save(image, path.c_str(), "png", nullptr, nullptr));
    g_object_unref(image);
}

// The pixels of the 18 x 18 icon of an IconPixmap value, (ARGB rows), empty when there is none.
std::string pixmapAt18(GVariant* pixmaps) {
    GVariantIter iter;
    g_variant_iter_init(&iter, pixmaps);
    gint32 width = 0;
    gint32 height = 0;
    GVariant* bytes = nullptr;
    std::string found;
    while (g_variant_iter_next(&iter, "(ii@ay)", &width, &height, &bytes)) {
        gsize length = 0;
        const auto* data = static_cast<const char*>(g_variant_get_fixed_array(bytes, &length, 1));
        if (width == 18 && height == 18) found.assign(data, length);
        g_variant_unref(bytes);
    }
    return found;
}

std::string stringIn(GVariant* dictionary, const char* key) {
    const gchar* text = nullptr;
    if (!g_variant_lookup(dictionary, key, "&s", &text)) return "<absent>";
    return text;
}

class GtkSerialDesktop : public GtkHost {
protected:
    // Runs until `done` holds (asked every 20 ms), or fails naming `what` after 10 s.
    void runUntil(std::string what, std::function<bool()> done) {
        when(std::move(what), std::move(done), [this] { kelvo_appkit_stop(host); });
        run();
    }
    // Runs `step` once the loop runs.
    void soon(std::function<void()> step) { gtk().loop.post(gtk().self, std::move(step)); }
};

TEST_F(GtkSerialDesktop, StatusItemShowsThroughTheWatcherAndItsMenuReachesTheRuntime) {
    BusPeer peer;
    ASSERT_TRUE(peer.connected());
    PanelView view;
    testing::TempFolder folder;
    const std::string icon = folder.path("tray.png");
    writeIcon(icon);
    std::vector<std::uint32_t> actions;
    kelvo_appkit_set_tray_callback(
        host, [](void* context, std::uint32_t id) { static_cast<std::vector<std::uint32_t>*>(context)->push_back(id); },
        &actions);

    std::atomic<bool> updated{false};
    // The panel reads the item, lists its menu and clicks: a disabled entry, a separator, "Now",
    // then an entry that does not exist.
    view.onRegistered = [&](const std::string& name) {
        GDBusConnection* bus = peer.bus();
        g_dbus_connection_signal_subscribe(
            bus, name.c_str(), nullptr, nullptr, nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal, GVariant*,
               gpointer data) {
                auto& seen = *static_cast<PanelView*>(data);
                std::lock_guard guard(seen.lock);
                seen.signals.emplace_back(signal);
            },
            &view, nullptr);
        GVariant* all = BusPeer::call(bus, name, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "GetAll",
                                      g_variant_new("(s)", "org.kde.StatusNotifierItem"));
        GVariant* layout = BusPeer::call(bus, name, "/MenuBar", "com.canonical.dbusmenu", "GetLayout",
                                         g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
        for (int entry : {3, 2, 1}) {
            GVariant* done = BusPeer::call(bus, name, "/MenuBar", "com.canonical.dbusmenu", "Event",
                                           g_variant_new("(isvu)", entry, "clicked", g_variant_new_int32(0), 0u));
            if (done != nullptr) g_variant_unref(done);
        }
        GVariant* unknown =
            BusPeer::call(bus, name, "/MenuBar", "com.canonical.dbusmenu", "Event",
                          g_variant_new("(isvu)", 9, "clicked", g_variant_new_int32(0), 0u), &view.eventError);
        if (unknown != nullptr) g_variant_unref(unknown);
        std::lock_guard guard(view.lock);
        view.properties = all != nullptr ? g_variant_get_child_value(all, 0) : nullptr;
        view.layout = layout;
        if (all != nullptr) g_variant_unref(all);
        view.read = true;
    };
    serveWatcher(peer, view);
    soon([&] {
        ASSERT_EQ(kelvo_appkit_create_tray(host, icon.data(), icon.size(), "Sync", 4, "Syncing files", 13), 1);
        const std::uint32_t ids[] = {11, 12, 13, 14};
        const char* labels[] = {"Now", "", "Paused_Until", "Quit"};
        const std::uint64_t lengths[] = {3, 0, 12, 4};
        const std::uint32_t separators[] = {0, 1, 0, 0};
        const std::uint32_t enabled[] = {1, 1, 0, 1};
        kelvo_appkit_update_tray_menu(host, ids, labels, lengths, separators, enabled, 4);
    });
    runUntil("the panel to read the item and its new title", [&] {
        if (!view.read || actions.empty()) return false;
        if (!updated) {
            updated = true;
            kelvo_appkit_update_tray_title(host, "Done", 4);
            return false;
        }
        std::lock_guard guard(view.lock);
        return std::find(view.signals.begin(), view.signals.end(), "NewTitle") != view.signals.end();
    });

    ASSERT_TRUE(view.read);
    EXPECT_EQ(view.registeredName.rfind("org.kde.StatusNotifierItem-", 0), 0u) << view.registeredName;
    ASSERT_NE(view.properties, nullptr);
    EXPECT_EQ(stringIn(view.properties, "Title"), "Sync");
    EXPECT_EQ(stringIn(view.properties, "Status"), "Active");
    EXPECT_EQ(stringIn(view.properties, "XAyatanaLabel"), "Sync");
    GVariant* tooltip = g_variant_lookup_value(view.properties, "ToolTip", G_VARIANT_TYPE("(sa(iiay)ss)"));
    ASSERT_NE(tooltip, nullptr);
    const gchar* tooltipTitle = nullptr;
    g_variant_get_child(tooltip, 2, "&s", &tooltipTitle);
    EXPECT_STREQ(tooltipTitle, "Syncing files");
    g_variant_unref(tooltip);
    gboolean isMenu = FALSE;
    EXPECT_TRUE(g_variant_lookup(view.properties, "ItemIsMenu", "b", &isMenu) && isMenu);
    const gchar* menuPath = nullptr;
    ASSERT_TRUE(g_variant_lookup(view.properties, "Menu", "&o", &menuPath));
    EXPECT_STREQ(menuPath, "/MenuBar");
    // The icon's pixels, 18 x 18, as A, R, G, B: red above, half-transparent blue below.
    GVariant* pixmaps = g_variant_lookup_value(view.properties, "IconPixmap", G_VARIANT_TYPE("a(iiay)"));
    ASSERT_NE(pixmaps, nullptr);
    const std::string pixels = pixmapAt18(pixmaps);
    g_variant_unref(pixmaps);
    ASSERT_EQ(pixels.size(), 18u * 18u * 4u);
    EXPECT_EQ(pixels.substr(0, 4), std::string("\xFF\xFF\x00\x00", 4));
    const std::string bottom = pixels.substr(pixels.size() - 4);
    EXPECT_NEAR(static_cast<unsigned char>(bottom[0]), 128, 2);
    EXPECT_EQ(bottom.substr(1), std::string("\x00\x00\xFF", 3));

    // The menu: its entries in order, the separator, the disabled one, the underscore kept.
    ASSERT_NE(view.layout, nullptr);
    GVariant* root = g_variant_get_child_value(view.layout, 1);
    GVariant* children = g_variant_get_child_value(root, 2);
    ASSERT_EQ(g_variant_n_children(children), 4u);
    std::vector<std::string> entries;
    for (gsize i = 0; i < 4; ++i) {
        GVariant* wrapped = g_variant_get_child_value(children, i);
        GVariant* child = g_variant_get_variant(wrapped);
        g_variant_unref(wrapped);
        gint32 id = 0;
        GVariant* props = nullptr;
        g_variant_get(child, "(i@a{sv}av)", &id, &props, nullptr);
        gboolean enabled = TRUE;
        g_variant_lookup(props, "enabled", "b", &enabled);
        entries.push_back(std::to_string(id) + " " + stringIn(props, "type") + " " + stringIn(props, "label") +
                          (enabled ? "" : " disabled"));
        g_variant_unref(props);
        g_variant_unref(child);
    }
    g_variant_unref(children);
    g_variant_unref(root);
    EXPECT_EQ(entries, (std::vector<std::string>{"1 <absent> Now", "2 separator <absent>",
                                                 "3 <absent> Paused__Until disabled", "4 <absent> Quit"}));
    EXPECT_FALSE(view.eventError.empty());

    // Only the enabled entry's click reached the runtime, with its own id.
    EXPECT_EQ(actions, std::vector<std::uint32_t>{11});
    // The new title was announced to the panel.
    {
        std::lock_guard guard(view.lock);
        EXPECT_NE(std::find(view.signals.begin(), view.signals.end(), "NewTitle"), view.signals.end());
        EXPECT_NE(std::find(view.signals.begin(), view.signals.end(), "XAyatanaNewLabel"), view.signals.end());
    }

    // Removed, the item leaves the bus (and so the watcher's list).
    kelvo_appkit_remove_tray(host);
    bool gone = false;
    const auto end = std::chrono::steady_clock::now() + kWaitLimit;
    while (!gone && std::chrono::steady_clock::now() < end) {
        g_main_context_iteration(nullptr, FALSE);
        peer.run([&](GDBusConnection* bus) {
            GVariant* owned =
                BusPeer::call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                              "NameHasOwner", g_variant_new("(s)", view.registeredName.c_str()));
            gboolean has = TRUE;
            if (owned != nullptr) g_variant_get(owned, "(b)", &has);
            if (owned != nullptr) g_variant_unref(owned);
            gone = has == FALSE;
        });
        if (!gone) g_usleep(10'000);
    }
    EXPECT_TRUE(gone);
}

// A panel that restarts brings a new watcher, which has not heard of the item: it is told again.
// The item has neither image nor title: it shows the application's first letter.
TEST_F(GtkSerialDesktop, StatusItemRegistersAgainWithANewWatcherAndShowsTheFallbackLetter) {
    auto first = std::make_unique<BusPeer>();
    PanelView firstView;
    serveWatcher(*first, firstView);
    BusPeer second;
    PanelView secondView;
    secondView.onRegistered = [&](const std::string& name) {
        GVariant* all = BusPeer::call(second.bus(), name, "/StatusNotifierItem", "org.freedesktop.DBus.Properties",
                                      "GetAll", g_variant_new("(s)", "org.kde.StatusNotifierItem"));
        std::lock_guard guard(secondView.lock);
        secondView.properties = all != nullptr ? g_variant_get_child_value(all, 0) : nullptr;
        if (all != nullptr) g_variant_unref(all);
        secondView.read = true;
    };
    std::string firstName;
    soon([&] { ASSERT_EQ(kelvo_appkit_create_tray(host, nullptr, 0, nullptr, 0, nullptr, 0), 1); });
    runUntil("the item to register with the first watcher, then with the second", [&] {
        if (first) {
            std::lock_guard guard(firstView.lock);
            if (firstView.registeredName.empty()) return false;
            firstName = firstView.registeredName;
        }
        if (first) {
            first.reset();  // the old watcher leaves the bus
            serveWatcher(second, secondView);
        }
        return secondView.read.load();
    });
    std::lock_guard guard(secondView.lock);
    EXPECT_EQ(secondView.registeredName, firstName);
    EXPECT_EQ(secondView.registeredName.rfind("org.kde.StatusNotifierItem-", 0), 0u);
    ASSERT_NE(secondView.properties, nullptr);
    EXPECT_EQ(stringIn(secondView.properties, "Title"), "V");
    EXPECT_EQ(stringIn(secondView.properties, "XAyatanaLabel"), "");  // the icon shows the letter
    GVariant* pixmaps = g_variant_lookup_value(secondView.properties, "IconPixmap", G_VARIANT_TYPE("a(iiay)"));
    ASSERT_NE(pixmaps, nullptr);
    const std::string pixels = pixmapAt18(pixmaps);
    g_variant_unref(pixmaps);
    ASSERT_EQ(pixels.size(), 18u * 18u * 4u);
    // A dark badge with a white letter on it.
    std::size_t white = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        if (pixels.compare(i, 4, "\xFF\xFF\xFF\xFF", 4) == 0) white += 1;
    }
    EXPECT_GT(white, 5u);
    EXPECT_GT(static_cast<unsigned char>(pixels[(9 * 18 + 1) * 4]), 200);  // the badge is opaque
}

TEST_F(GtkSerialDesktop, StatusItemWithoutWatcherOrTrayIsNotMade) {
    soon([&] {
        EXPECT_EQ(kelvo_appkit_create_tray(host, nullptr, 0, "Sync", 4, nullptr, 0), 0);
        // A watcher with no panel behind it shows nothing either.
        BusPeer peer;
        PanelView view;
        serveWatcher(peer, view, false);
        EXPECT_EQ(kelvo_appkit_create_tray(host, nullptr, 0, "Sync", 4, nullptr, 0), 0);
        kelvo_appkit_stop(host);
    });
    run();
}

TEST_F(GtkSerialDesktop, StatusItemFallsBackToTheXembedTray) {
    // A tray as X11 knows one: the owner of the screen's tray selection.
    Display* x = XOpenDisplay(nullptr);
    ASSERT_NE(x, nullptr);
    const Window tray = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
    XSetSelectionOwner(x, XInternAtom(x, selection.c_str(), False), tray, CurrentTime);
    XSync(x, False);
    soon([&] {
        EXPECT_EQ(kelvo_appkit_create_tray(host, nullptr, 0, "Sync", 4, "Tip", 3), 1);
        kelvo_appkit_update_tray_title(host, "", 0);
        kelvo_appkit_remove_tray(host);
        kelvo_appkit_stop(host);
    });
    run();
    XDestroyWindow(x, tray);
    XCloseDisplay(x);
}

constexpr const char* kPortalXml = R"xml(<node><interface name="org.freedesktop.portal.Settings">
  <method name="ReadAll">
    <arg name="namespaces" type="as" direction="in"/><arg name="value" type="a{sa{sv}}" direction="out"/>
  </method>
  <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
</interface></node>)xml";

TEST_F(GtkSerialDesktop, PortalColorSchemeAndContrastDecideAndChangesAreReported) {
    BusPeer peer;
    ASSERT_TRUE(peer.own("org.freedesktop.portal.Desktop"));
    std::atomic<int> reads{0};
    // The portal answers with the desktop's scheme of the moment: dark (1) at first.
    std::atomic<std::uint32_t> scheme{1};
    peer.serve("/org/freedesktop/portal/desktop", kPortalXml,
               [&](const std::string&, GVariant* arguments, GDBusMethodInvocation* invocation) {
                   reads += 1;
                   GVariantIter* spaces = nullptr;
                   g_variant_get(arguments, "(as)", &spaces);
                   GVariantBuilder answer;
                   g_variant_builder_init(&answer, G_VARIANT_TYPE("a{sa{sv}}"));
                   const gchar* space = nullptr;
                   while (g_variant_iter_next(spaces, "&s", &space)) {
                       if (std::string_view(space) != "org.freedesktop.appearance") continue;
                       GVariantBuilder keys;
                       g_variant_builder_init(&keys, G_VARIANT_TYPE("a{sv}"));
                       g_variant_builder_add(&keys, "{sv}", "color-scheme", g_variant_new_uint32(scheme.load()));
                       g_variant_builder_add(&keys, "{sv}", "contrast", g_variant_new_uint32(1));
                       g_variant_builder_add(&keys, "{sv}", "accent-color", g_variant_new("(ddd)", 0.2, 0.4, 0.8));
                       g_variant_builder_add(&answer, "{s@a{sv}}", space, g_variant_builder_end(&keys));
                   }
                   g_variant_iter_free(spaces);
                   g_dbus_method_invocation_return_value(invocation, g_variant_new("(a{sa{sv}})", &answer));
               });
    auto preferDark = [] {
        gboolean dark = FALSE;
        g_object_get(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", &dark, nullptr);
        return dark != FALSE;
    };
    bool darkWhileDark = false;
    auto changeScheme = [&](std::uint32_t changed) {
        scheme = changed;
        peer.run([changed](GDBusConnection* bus) {
            g_dbus_connection_emit_signal(
                bus, nullptr, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged",
                g_variant_new("(ssv)", "org.freedesktop.appearance", "color-scheme", g_variant_new_uint32(changed)),
                nullptr);
        });
    };
    // The appearance read from the portal at start is dark; then the desktop prefers light. The
    // program reads the portal again once it sees it on the bus; the change comes after both
    // reads, so that only the portal's signal can bring it.
    when(
        "the appearance read from the portal, twice",
        [&] { return count(HostEventKind::appearance_changed) >= 1 && reads.load() >= 2; },
        [&] {
            darkWhileDark = preferDark();
            changeScheme(2);  // light
        });
    auto appearances = [&] {
        std::vector<const KelvoHostEvent*> found;
        for (const Seen& s : seen) {
            if (s.kind == HostEventKind::appearance_changed) found.push_back(&s.event);
        }
        return found;
    };
    // A dark GTK theme does not outweigh the desktop's stated preference for light: once the
    // appearance is light, the theme turns dark, and the appearance reported after that is light.
    std::size_t beforeTheme = 0;
    runUntil("a light appearance after the portal's change, then one after the theme's", [&] {
        const std::vector<const KelvoHostEvent*> reported = appearances();
        if (beforeTheme == 0) {
            if (reported.empty() || reported.back()->darkAppearance != 0) return false;
            beforeTheme = reported.size();
            g_object_set(gtk_settings_get_default(), "gtk-theme-name", "Adwaita-dark", nullptr);
        }
        return reported.size() > beforeTheme;
    });

    const std::vector<const KelvoHostEvent*> reported = appearances();
    ASSERT_GE(reported.size(), 3u);
    EXPECT_EQ(reported[0]->darkAppearance, 1);
    EXPECT_EQ(reported[0]->increaseContrast, 1);
    EXPECT_EQ(reported.back()->darkAppearance, 0);
    EXPECT_EQ(reported.back()->increaseContrast, 1);
    // GTK's widgets and the pages follow the desktop's preference, and leave it with it.
    EXPECT_TRUE(darkWhileDark);
    EXPECT_FALSE(preferDark());
    EXPECT_GE(reads.load(), 1);
}

// A settings portal that comes onto the bus after the program started (as a desktop's portal may
// be started late) is read then, and its preference reported.
TEST_F(GtkSerialDesktop, APortalThatStartsAfterTheProgramIsReadWhenItComes) {
    std::unique_ptr<BusPeer> peer;
    bool darkBefore = true;
    // The appearance at start, without a portal, is reported first.
    when(
        "the appearance at start", [&] { return count(HostEventKind::appearance_changed) >= 1; },
        [&] {
            for (const Seen& s : seen) {
                if (s.kind == HostEventKind::appearance_changed) darkBefore = s.event.darkAppearance != 0;
            }
            peer = std::make_unique<BusPeer>();
            peer->serve("/org/freedesktop/portal/desktop", kPortalXml,
                        [](const std::string&, GVariant*, GDBusMethodInvocation* invocation) {
                            GVariantBuilder keys;
                            g_variant_builder_init(&keys, G_VARIANT_TYPE("a{sv}"));
                            g_variant_builder_add(&keys, "{sv}", "color-scheme", g_variant_new_uint32(1));
                            GVariantBuilder answer;
                            g_variant_builder_init(&answer, G_VARIANT_TYPE("a{sa{sv}}"));
                            g_variant_builder_add(&answer, "{s@a{sv}}", "org.freedesktop.appearance",
                                                  g_variant_builder_end(&keys));
                            g_dbus_method_invocation_return_value(invocation, g_variant_new("(a{sa{sv}})", &answer));
                        });
            // Named once it serves, as a portal that starts does.
            EXPECT_TRUE(peer->own("org.freedesktop.portal.Desktop"));
        });
    runUntil("the portal's dark appearance", [&] {
        for (const Seen& s : seen) {
            if (s.kind == HostEventKind::appearance_changed && s.event.darkAppearance != 0) return true;
        }
        return false;
    });
    EXPECT_FALSE(darkBefore);
    bool dark = false;
    for (const Seen& s : seen)
        dark = dark || (s.kind == HostEventKind::appearance_changed && s.event.darkAppearance != 0);
    EXPECT_TRUE(dark);
}

constexpr const char* kNotificationsXml = R"xml(<node><interface name="org.freedesktop.Notifications">
  <method name="Notify">
    <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
    <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
  </method>
</interface></node>)xml";

TEST_F(GtkSerialDesktop, NotificationsNeedTheDesktopsService) {
    std::mutex lock;
    std::vector<std::string> shown;
    std::unique_ptr<BusPeer> service;
    soon([&] {
        EXPECT_EQ(kelvo_appkit_show_notification(host, "Saved", 5, "Draft", 5, "All good", 8), 0);
        service = std::make_unique<BusPeer>();
        ASSERT_TRUE(service->own("org.freedesktop.Notifications"));
        service->serve("/org/freedesktop/Notifications", kNotificationsXml,
                       [&](const std::string&, GVariant* arguments, GDBusMethodInvocation* invocation) {
                           const gchar* summary = nullptr;
                           const gchar* body = nullptr;
                           g_variant_get_child(arguments, 3, "&s", &summary);
                           g_variant_get_child(arguments, 4, "&s", &body);
                           {
                               std::lock_guard guard(lock);
                               shown.push_back(std::string(summary) + "|" + body);
                           }
                           g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", 7u));
                       });
        EXPECT_EQ(kelvo_appkit_show_notification(host, "Saved", 5, "Draft", 5, "All good", 8), 1);
    });
    runUntil("the notification service to show it", [&] {
        std::lock_guard guard(lock);
        return !shown.empty();
    });
    std::lock_guard guard(lock);
    EXPECT_EQ(shown, std::vector<std::string>{"Saved|Draft\nAll good"});
}

}  // namespace
}  // namespace kelvo
