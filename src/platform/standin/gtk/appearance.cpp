// The appearance on today's desktops. Their settings portal (org.freedesktop.portal.Settings on
// the session bus) says whether the user prefers dark or light and higher contrast; GTK 3 on X11
// does not read it. Where the portal states a preference it decides; elsewhere GTK's settings do:
// a dark theme (asked for, or named "...-dark"), animations switched off, a high-contrast theme.
// The portal's preference is also put into GTK's settings, so that GTK's own widgets and the pages
// (WebKit answers prefers-color-scheme from GTK's dark preference) follow the desktop.
//
// Found while checking the portal: ReadAll answers every key of a namespace at once; a changed key
// comes as SettingChanged (namespace, key, value); some portals wrap a value in one more variant.
// With no portal on the bus the read fails at once (ServiceUnknown).

#include <string>
#include <string_view>

#include "platform/standin/gtk/gtk_state.hpp"
#include "platform/standin/gtk/session_bus.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettings = "org.freedesktop.portal.Settings";
constexpr std::string_view kAppearanceNamespace = "org.freedesktop.appearance";
constexpr std::string_view kAccessibilityNamespace = "org.gnome.desktop.a11y.interface";
// The portal may be started by the bus when first asked; it answers well within this.
constexpr int kPortalTimeoutMs = 1000;

// The value inside any number of variant wrappers.
GVariantPtr unwrapped(GVariant* value) {
    GVariantPtr held(g_variant_ref(value));
    while (g_variant_is_of_type(held.get(), G_VARIANT_TYPE_VARIANT)) held.reset(g_variant_get_variant(held.get()));
    return held;
}

// Takes one of the portal's settings; false when it is none of those read here.
bool takeSetting(GtkPortalAppearance& portal, std::string_view space, std::string_view key, GVariant* wrapped) {
    GVariantPtr value = unwrapped(wrapped);
    const bool number = g_variant_is_of_type(value.get(), G_VARIANT_TYPE_UINT32);
    if (space == kAppearanceNamespace && key == "color-scheme") {
        const std::uint32_t scheme = number ? g_variant_get_uint32(value.get()) : 0;
        portal.colorScheme = scheme <= 2 ? scheme : 0;  // a value not known here states nothing
        return true;
    }
    if (space == kAppearanceNamespace && key == "contrast") {
        portal.contrast = number && g_variant_get_uint32(value.get()) == 1 ? 1 : 0;
        return true;
    }
    if (space == kAccessibilityNamespace && key == "high-contrast") {
        portal.desktopHighContrast =
            g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value.get()) != FALSE;
        return true;
    }
    return false;
}

// Takes every setting of a ReadAll answer, (a{sa{sv}}).
void takeAll(GtkPortalAppearance& portal, GVariant* answer) {
    GVariantIter* spaces = nullptr;
    g_variant_get(answer, "(a{sa{sv}})", &spaces);
    const gchar* space = nullptr;
    GVariantIter* keys = nullptr;
    while (g_variant_iter_next(spaces, "{&sa{sv}}", &space, &keys)) {
        const gchar* key = nullptr;
        GVariant* value = nullptr;
        while (g_variant_iter_next(keys, "{&sv}", &key, &value)) {
            (void)takeSetting(portal, space, key, value);
            g_variant_unref(value);
        }
        g_variant_iter_free(keys);
    }
    g_variant_iter_free(spaces);
}

GVariant* readAllArguments() {
    const gchar* spaces[] = {kAppearanceNamespace.data(), kAccessibilityNamespace.data(), nullptr};
    return g_variant_new("(^as)", spaces);
}

Appearance fromGtkSettings() {
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr) return {};
    gboolean preferDark = FALSE;
    gboolean animations = TRUE;
    gchar* theme = nullptr;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-enable-animations", &animations,
                 "gtk-theme-name", &theme, nullptr);
    GCharPtr owned(theme);
    std::string_view name = owned ? std::string_view(owned.get()) : std::string_view{};
    Appearance now;
    now.dark = preferDark != FALSE || name.ends_with("-dark") || name.ends_with("-Dark");
    now.reduceMotion = animations == FALSE;
    now.increaseContrast = name.find("HighContrast") != std::string_view::npos;
    return now;
}

Appearance combined(const GtkPortalAppearance& portal) {
    Appearance now = fromGtkSettings();
    if (portal.colorScheme != 0) now.dark = portal.colorScheme == 1;
    now.increaseContrast = now.increaseContrast || portal.contrast == 1 || portal.desktopHighContrast;
    return now;
}

// Puts the portal's dark or light preference into GTK's settings; without one, GTK's own value
// comes back.
void applyScheme(GtkPortalAppearance& portal) {
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr) return;
    portal.applying = true;
    if (portal.colorScheme != 0) {
        if (!portal.preferDarkBefore) {
            gboolean before = FALSE;
            g_object_get(settings, "gtk-application-prefer-dark-theme", &before, nullptr);
            portal.preferDarkBefore = before;
        }
        g_object_set(settings, "gtk-application-prefer-dark-theme", portal.colorScheme == 1 ? TRUE : FALSE, nullptr);
    } else if (portal.preferDarkBefore) {
        g_object_set(settings, "gtk-application-prefer-dark-theme", *portal.preferDarkBefore, nullptr);
        portal.preferDarkBefore.reset();
    }
    portal.applying = false;
}

void reportChange(GtkState& state) {
    GtkState* target = &state;
    state.post([target] {
        if (!target->onAppearanceChange) return;
        Task handler = target->onAppearanceChange;  // the handler may unwatch while it runs
        handler();
    });
}

void onPortalSettingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                            GVariant* parameters, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
    const gchar* space = nullptr;
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    g_variant_get(parameters, "(&s&sv)", &space, &key, &value);
    GVariantPtr held(value);
    if (!takeSetting(state.portalAppearance, space, key, held.get())) return;
    applyScheme(state.portalAppearance);
    reportChange(state);
}

// A portal that came onto the bus after the first read: its settings, reported when they change
// what the application sees.
void onPortalRead(GObject* bus, GAsyncResult* result, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    GError* error = nullptr;
    GVariantPtr answer(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error));
    GErrorPtr failed(error);
    if (!answer) return;
    const Appearance before = combined(state.portalAppearance);
    takeAll(state.portalAppearance, answer.get());
    applyScheme(state.portalAppearance);
    if (combined(state.portalAppearance) != before) reportChange(state);
}

void onPortalAppeared(GDBusConnection* bus, const gchar*, const gchar*, gpointer data) {
    g_dbus_connection_call(bus, kPortal, kPortalPath, kSettings, "ReadAll", readAllArguments(),
                           G_VARIANT_TYPE("(a{sa{sv}})"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kPortalTimeoutMs, nullptr,
                           onPortalRead, data);
}

// Reads the portal once and follows it from then on (the backend's state lives for the process).
void followPortal(GtkState& state) {
    GtkPortalAppearance& portal = state.portalAppearance;
    if (portal.started) return;
    portal.started = true;
    GDBusConnection* bus = gtkSessionBus();
    if (bus == nullptr) return;
    portal.subscription =
        g_dbus_connection_signal_subscribe(bus, kPortal, kSettings, "SettingChanged", kPortalPath, nullptr,
                                           G_DBUS_SIGNAL_FLAGS_NONE, onPortalSettingChanged, &state, nullptr);
    GError* error = nullptr;
    GVariantPtr answer(g_dbus_connection_call_sync(bus, kPortal, kPortalPath, kSettings, "ReadAll", readAllArguments(),
                                                   G_VARIANT_TYPE("(a{sa{sv}})"), G_DBUS_CALL_FLAGS_NONE,
                                                   kPortalTimeoutMs, nullptr, &error));
    GErrorPtr failed(error);
    if (answer) takeAll(portal, answer.get());
    applyScheme(portal);
    portal.nameWatch = g_bus_watch_name_on_connection(bus, kPortal, G_BUS_NAME_WATCHER_FLAGS_NONE, onPortalAppeared,
                                                      nullptr, &state, nullptr);
}

void onGtkSettingChanged(GObject*, GParamSpec*, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (state.portalAppearance.applying) return;  // the portal's own preference going in
    reportChange(state);
}

}  // namespace

Appearance gtkAppearance(GtkState& state) {
    followPortal(state);
    return combined(state.portalAppearance);
}

void gtkUnwatchAppearance(GtkState& state) {
    GtkSettings* settings = gtk_settings_get_default();
    for (gulong handler : state.appearanceHandlers) g_signal_handler_disconnect(settings, handler);
    state.appearanceHandlers.clear();
    state.onAppearanceChange = nullptr;
}

void gtkWatchAppearance(GtkState& state, Task onChange) {
    gtkUnwatchAppearance(state);
    followPortal(state);
    state.onAppearanceChange = std::move(onChange);
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr) return;
    for (const char* signal :
         {"notify::gtk-application-prefer-dark-theme", "notify::gtk-theme-name", "notify::gtk-enable-animations"}) {
        state.appearanceHandlers.push_back(g_signal_connect(settings, signal, G_CALLBACK(onGtkSettingChanged), &state));
    }
}

}  // namespace kelvo::standin
