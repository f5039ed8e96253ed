// The session bus and the bus daemon's answers about names. The daemon answers at once; these
// calls wait for it on the main thread.

#include "platform/standin/gtk/session_bus.hpp"

#include <string_view>

#include "platform/standin/gtk/gobject_ptr.hpp"

namespace kelvo::standin {

namespace {

constexpr int kDaemonTimeoutMs = 1000;

// The daemon's answer to `method` (no error: a null answer).
GVariant* askDaemon(GDBusConnection* bus, const char* method, GVariant* arguments, const char* answerType) {
    GError* error = nullptr;
    GVariant* answer = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method, arguments,
        G_VARIANT_TYPE(answerType), G_DBUS_CALL_FLAGS_NONE, kDaemonTimeoutMs, nullptr, &error);
    GErrorPtr failed(error);
    return answer;
}

}  // namespace

GDBusConnection* gtkSessionBus() {
    // Kept for the process, like the backend's state; asked again while there is none.
    static GDBusConnection* bus = nullptr;
    if (bus == nullptr) {
        GError* error = nullptr;
        bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        GErrorPtr failed(error);
    }
    return bus;
}

bool gtkBusNameOwned(GDBusConnection* bus, const char* name) {
    if (bus == nullptr) return false;
    GVariant* answer = askDaemon(bus, "NameHasOwner", g_variant_new("(s)", name), "(b)");
    if (answer == nullptr) return false;
    gboolean owned = FALSE;
    g_variant_get(answer, "(b)", &owned);
    g_variant_unref(answer);
    return owned != FALSE;
}

bool gtkBusNameServed(GDBusConnection* bus, const char* name) {
    if (gtkBusNameOwned(bus, name)) return true;
    if (bus == nullptr) return false;
    GVariant* answer = askDaemon(bus, "ListActivatableNames", nullptr, "(as)");
    if (answer == nullptr) return false;
    GVariantIter* names = nullptr;
    g_variant_get(answer, "(as)", &names);
    bool found = false;
    const gchar* each = nullptr;
    while (!found && g_variant_iter_next(names, "&s", &each)) found = std::string_view(each) == name;
    g_variant_iter_free(names);
    g_variant_unref(answer);
    return found;
}

}  // namespace kelvo::standin
