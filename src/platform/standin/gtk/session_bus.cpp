// The session bus and the bus daemon's answers about names. The daemon answers at once; these
// calls wait for it on the main thread, except giving a name up, which nothing waits for.

#include "platform/standin/gtk/session_bus.hpp"

#include <string_view>

#include "platform/standin/gtk/gobject_ptr.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kDaemon = "org.freedesktop.DBus";
constexpr const char* kDaemonPath = "/org/freedesktop/DBus";
constexpr int kDaemonTimeoutMs = 1000;

// The daemon's answer to `method` (no error: a null answer).
GVariantPtr askDaemon(GDBusConnection* bus, const char* method, GVariant* arguments, const char* answerType) {
    GError* error = nullptr;
    GVariantPtr answer(g_dbus_connection_call_sync(bus, kDaemon, kDaemonPath, kDaemon, method, arguments,
                                                   G_VARIANT_TYPE(answerType), G_DBUS_CALL_FLAGS_NONE, kDaemonTimeoutMs,
                                                   nullptr, &error));
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
    GVariantPtr answer = askDaemon(bus, "NameHasOwner", g_variant_new("(s)", name), "(b)");
    if (!answer) return false;
    gboolean owned = FALSE;
    g_variant_get(answer.get(), "(b)", &owned);
    return owned != FALSE;
}

bool gtkBusNameServed(GDBusConnection* bus, const char* name) {
    if (gtkBusNameOwned(bus, name)) return true;
    if (bus == nullptr) return false;
    GVariantPtr answer = askDaemon(bus, "ListActivatableNames", nullptr, "(as)");
    if (!answer) return false;
    GVariantIter* names = nullptr;
    g_variant_get(answer.get(), "(as)", &names);
    bool found = false;
    const gchar* each = nullptr;
    while (!found && g_variant_iter_next(names, "&s", &each)) found = std::string_view(each) == name;
    g_variant_iter_free(names);
    return found;
}

std::string gtkBusNameOwner(GDBusConnection* bus, const char* name) {
    GVariantPtr answer = askDaemon(bus, "GetNameOwner", g_variant_new("(s)", name), "(s)");
    if (!answer) return {};
    const gchar* owner = nullptr;
    g_variant_get(answer.get(), "(&s)", &owner);
    return owner;
}

bool gtkBusRequestName(GDBusConnection* bus, const char* name) {
    constexpr guint32 kDoNotQueue = 4;
    constexpr guint32 kPrimaryOwner = 1;
    GVariantPtr answer = askDaemon(bus, "RequestName", g_variant_new("(su)", name, kDoNotQueue), "(u)");
    if (!answer) return false;
    guint32 outcome = 0;
    g_variant_get(answer.get(), "(u)", &outcome);
    return outcome == kPrimaryOwner;
}

void gtkBusReleaseName(GDBusConnection* bus, const char* name) {
    g_dbus_connection_call(bus, kDaemon, kDaemonPath, kDaemon, "ReleaseName", g_variant_new("(s)", name), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
}

}  // namespace kelvo::standin
