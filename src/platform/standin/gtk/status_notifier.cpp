// The status item as a StatusNotifierItem: an object on the session bus that the desktop's
// StatusNotifierWatcher is told of and its panel (the watcher's host) shows: the icon's pixels, the
// title (also as a label where the panel shows one), the tooltip, and the menu, exported as a
// com.canonical.dbusmenu that the panel draws itself and whose clicks come back as events.
//
// Found while checking GDBus: method calls to an object arrive on the main loop of the thread that
// registered it, also while a modal dialog runs its own loop, and never while that thread waits in
// a call of its own; so the item never waits for the watcher, which may read the item before it
// answers. A watcher that restarts forgets its items: the item registers again with each new one.

#include <unistd.h>

#include <string>
#include <string_view>

#include "base/stderr.hpp"
#include "platform/standin/gtk/gtk_state.hpp"
#include "platform/standin/gtk/session_bus.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuInterface = "com.canonical.dbusmenu";
constexpr const char* kMenuPath = "/MenuBar";
constexpr int kWatcherTimeoutMs = 2000;
// The icon as pixels at 18 points, for screens of one and two pixels per point.
constexpr int kIconSizes[] = {18, 36};

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <property name="XAyatanaLabel" type="s" access="read"/>
    <property name="XAyatanaLabelGuide" type="s" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
    <signal name="XAyatanaNewLabel"><arg name="label" type="s"/><arg name="guide" type="s"/></signal>
  </interface>
  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg name="parentId" type="i" direction="in"/>
      <arg name="recursionDepth" type="i" direction="in"/>
      <arg name="propertyNames" type="as" direction="in"/>
      <arg name="revision" type="u" direction="out"/>
      <arg name="layout" type="(ia{sv}av)" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg name="ids" type="ai" direction="in"/>
      <arg name="propertyNames" type="as" direction="in"/>
      <arg name="properties" type="a(ia{sv})" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg name="id" type="i" direction="in"/>
      <arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="Event">
      <arg name="id" type="i" direction="in"/>
      <arg name="eventId" type="s" direction="in"/>
      <arg name="data" type="v" direction="in"/>
      <arg name="timestamp" type="u" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg name="events" type="a(isvu)" direction="in"/>
      <arg name="idErrors" type="ai" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg name="id" type="i" direction="in"/>
      <arg name="needUpdate" type="b" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg name="ids" type="ai" direction="in"/>
      <arg name="updatesNeeded" type="ai" direction="out"/>
      <arg name="idErrors" type="ai" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg name="updatedProps" type="a(ia{sv})"/>
      <arg name="removedProps" type="a(ias)"/>
    </signal>
    <signal name="LayoutUpdated"><arg name="revision" type="u"/><arg name="parent" type="i"/></signal>
    <signal name="ItemActivationRequested"><arg name="id" type="i"/><arg name="timestamp" type="u"/></signal>
  </interface>
</node>)xml";

GDBusNodeInfo* introspection() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);  // kept for the process
    return node;
}

// Pixels as the protocol carries them: rows of 32-bit ARGB in network byte order (A, R, G, B).
GVariant* pixmapOf(GdkPixbuf* image) {
    const int width = gdk_pixbuf_get_width(image);
    const int height = gdk_pixbuf_get_height(image);
    const int stride = gdk_pixbuf_get_rowstride(image);
    const int channels = gdk_pixbuf_get_n_channels(image);
    const bool alpha = gdk_pixbuf_get_has_alpha(image) != FALSE;
    const guchar* pixels = gdk_pixbuf_read_pixels(image);
    std::string argb;
    argb.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (int y = 0; y < height; ++y) {
        const guchar* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const guchar* pixel = row + static_cast<std::ptrdiff_t>(x) * channels;
            argb.push_back(static_cast<char>(alpha ? pixel[3] : 255));
            argb.append(reinterpret_cast<const char*>(pixel), 3);
        }
    }
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1);
    return g_variant_new("(ii@ay)", width, height, bytes);
}

GVariant* iconPixmaps(const GtkStatusItemRecord& item) {
    GVariantBuilder pixmaps;
    g_variant_builder_init(&pixmaps, G_VARIANT_TYPE("a(iiay)"));
    for (int size : kIconSizes) {
        GObjectPtr<GdkPixbuf> icon = gtkStatusIconAt(item, size);
        if (icon) g_variant_builder_add_value(&pixmaps, pixmapOf(icon.get()));
    }
    return g_variant_builder_end(&pixmaps);
}

GVariant* noPixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

// The text shown beside the icon where the panel shows one: the title, unless the icon already is
// the title's one character.
std::string labelOf(const GtkStatusItemRecord& item) {
    if (!item.image && g_utf8_strlen(item.title.c_str(), -1) <= 1) return {};
    return item.title;
}

GVariant* itemProperty(const GtkStatusItemRecord& item, std::string_view name) {
    if (name == "Category") return g_variant_new_string("ApplicationStatus");
    if (name == "Id") return g_variant_new_string(g_get_prgname() != nullptr ? g_get_prgname() : "");
    if (name == "Title") return g_variant_new_string(item.title.c_str());
    if (name == "Status") return g_variant_new_string("Active");
    if (name == "WindowId") return g_variant_new_int32(0);
    if (name == "IconPixmap") return iconPixmaps(item);
    if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return noPixmaps();
    if (name == "IconName" || name == "OverlayIconName" || name == "AttentionIconName" ||
        name == "AttentionMovieName" || name == "XAyatanaLabelGuide") {
        return g_variant_new_string("");
    }
    if (name == "ToolTip") return g_variant_new("(s@a(iiay)ss)", "", noPixmaps(), item.tooltip.c_str(), "");
    if (name == "ItemIsMenu") return g_variant_new_boolean(TRUE);  // a click opens the menu
    if (name == "Menu") return g_variant_new_object_path(kMenuPath);
    if (name == "XAyatanaLabel") return g_variant_new_string(labelOf(item).c_str());
    return nullptr;
}

GVariant* menuInterfaceProperty(std::string_view name) {
    if (name == "Version") return g_variant_new_uint32(3);
    if (name == "TextDirection") return g_variant_new_string("ltr");
    if (name == "Status") return g_variant_new_string("normal");
    if (name == "IconThemePath") return g_variant_new_strv(nullptr, 0);
    return nullptr;
}

GVariant* onGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* name,
                        GError** error, gpointer data) {
    const auto& item = *static_cast<GtkStatusItemRecord*>(data);
    GVariant* value =
        std::string_view(interface) == kItemInterface ? itemProperty(item, name) : menuInterfaceProperty(name);
    if (value == nullptr) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No property %s", name);
    return value;
}

// Menu entries are numbered from 1 in their order; 0 is the menu itself.
const GtkStatusEntry* entryOf(const GtkStatusItemRecord& item, gint32 id) {
    if (id < 1 || static_cast<std::size_t>(id) > item.menu.size()) return nullptr;
    return &item.menu[static_cast<std::size_t>(id) - 1];
}

// An underscore in a label would mark the next letter as its mnemonic: it is doubled.
std::string labelText(std::string_view title) {
    std::string text;
    for (char c : title) {
        if (c == '_') text.push_back('_');
        text.push_back(c);
    }
    return text;
}

bool wanted(GVariant* names, const char* name) {
    if (g_variant_n_children(names) == 0) return true;  // no names: every property
    GVariantIter iter;
    g_variant_iter_init(&iter, names);
    const gchar* each = nullptr;
    while (g_variant_iter_next(&iter, "&s", &each)) {
        if (std::string_view(each) == name) return true;
    }
    return false;
}

// The properties of an entry (id 0: the menu itself) that differ from the protocol's defaults.
GVariant* entryProperties(const GtkStatusItemRecord& item, gint32 id, GVariant* names) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    auto add = [&](const char* name, GVariant* value) {
        if (wanted(names, name)) {
            g_variant_builder_add(&properties, "{sv}", name, value);
        } else {
            g_variant_unref(g_variant_ref_sink(value));
        }
    };
    if (id == 0) {
        add("children-display", g_variant_new_string("submenu"));
    } else if (const GtkStatusEntry* entry = entryOf(item, id); entry->separator) {
        add("type", g_variant_new_string("separator"));
    } else {
        add("label", g_variant_new_string(labelText(entry->title).c_str()));
        add("enabled", g_variant_new_boolean(entry->enabled ? TRUE : FALSE));
    }
    return g_variant_builder_end(&properties);
}

GVariant* layoutOf(const GtkStatusItemRecord& item, gint32 id, gint32 depth, GVariant* names) {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    if (id == 0 && depth != 0) {
        for (std::size_t i = 0; i < item.menu.size(); ++i) {
            g_variant_builder_add(&children, "v", layoutOf(item, static_cast<gint32>(i + 1), 0, names));
        }
    }
    return g_variant_new("(i@a{sv}av)", id, entryProperties(item, id, names), &children);
}

// A click on an entry reaches the host as the entry's tag; other events (hovering, opening) do not.
bool takeEvent(GtkStatusItemRecord& item, gint32 id, std::string_view event) {
    const GtkStatusEntry* entry = entryOf(item, id);
    if (entry == nullptr && id != 0) return false;
    if (event != "clicked" || entry == nullptr || entry->separator || !entry->enabled || !item.chosen) return true;
    MenuChoice chosen = item.chosen;
    const std::uint32_t tag = entry->tag;
    item.state->post([chosen, tag] { chosen(tag); });
    return true;
}

void invalidId(GDBusMethodInvocation* invocation, gint32 id) {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "No menu entry %d", id);
}

void onMenuCall(GtkStatusItemRecord& item, std::string_view method, GVariant* parameters,
                GDBusMethodInvocation* invocation) {
    if (method == "GetLayout") {
        gint32 parent = 0;
        gint32 depth = 0;
        GVariant* names = nullptr;
        g_variant_get(parameters, "(ii@as)", &parent, &depth, &names);
        if (parent != 0 && entryOf(item, parent) == nullptr) {
            invalidId(invocation, parent);
        } else {
            g_dbus_method_invocation_return_value(
                invocation, g_variant_new("(u@(ia{sv}av))", item.menuRevision, layoutOf(item, parent, depth, names)));
        }
        g_variant_unref(names);
    } else if (method == "GetGroupProperties") {
        GVariant* ids = nullptr;
        GVariant* names = nullptr;
        g_variant_get(parameters, "(@ai@as)", &ids, &names);
        GVariantBuilder found;
        g_variant_builder_init(&found, G_VARIANT_TYPE("a(ia{sv})"));
        auto add = [&](gint32 id) {
            if (id == 0 || entryOf(item, id) != nullptr) {
                g_variant_builder_add(&found, "(i@a{sv})", id, entryProperties(item, id, names));
            }
        };
        if (g_variant_n_children(ids) == 0) {  // no ids: every entry
            for (std::size_t i = 0; i <= item.menu.size(); ++i) add(static_cast<gint32>(i));
        } else {
            GVariantIter iter;
            g_variant_iter_init(&iter, ids);
            gint32 id = 0;
            while (g_variant_iter_next(&iter, "i", &id)) add(id);
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(ia{sv}))", &found));
        g_variant_unref(ids);
        g_variant_unref(names);
    } else if (method == "GetProperty") {
        gint32 id = 0;
        const gchar* name = nullptr;
        g_variant_get(parameters, "(i&s)", &id, &name);
        if (id != 0 && entryOf(item, id) == nullptr) {
            invalidId(invocation, id);
            return;
        }
        const gchar* one[] = {name, nullptr};
        GVariant* names = g_variant_ref_sink(g_variant_new_strv(one, -1));
        GVariant* properties = g_variant_ref_sink(entryProperties(item, id, names));
        GVariant* value = g_variant_lookup_value(properties, name, nullptr);
        g_variant_unref(properties);
        g_variant_unref(names);
        if (value == nullptr) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS,
                                                  "Entry %d has no property %s", id, name);
            return;
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
        g_variant_unref(value);
    } else if (method == "Event") {
        gint32 id = 0;
        const gchar* event = nullptr;
        g_variant_get(parameters, "(i&svu)", &id, &event, nullptr, nullptr);
        if (takeEvent(item, id, event)) {
            g_dbus_method_invocation_return_value(invocation, nullptr);
        } else {
            invalidId(invocation, id);
        }
    } else if (method == "EventGroup") {
        GVariantIter* events = nullptr;
        g_variant_get(parameters, "(a(isvu))", &events);
        GVariantBuilder errors;
        g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
        gint32 id = 0;
        const gchar* event = nullptr;
        while (g_variant_iter_next(events, "(i&svu)", &id, &event, nullptr, nullptr)) {
            if (!takeEvent(item, id, event)) g_variant_builder_add(&errors, "i", id);
        }
        g_variant_iter_free(events);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ai)", &errors));
    } else if (method == "AboutToShow") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    } else if (method == "AboutToShowGroup") {
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0),
                                      g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0)));
    } else {
        g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD, "No method %s",
                                              std::string(method).c_str());
    }
}

void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto& item = *static_cast<GtkStatusItemRecord*>(data);
    if (std::string_view(interface) == kMenuInterface) {
        onMenuCall(item, method, parameters, invocation);
        return;
    }
    // Activate, SecondaryActivate, ContextMenu and Scroll: the panel opens the menu itself, as
    // ItemIsMenu asks; the item has no window to show and nothing to scroll.
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

const GDBusInterfaceVTable kVTable = {onMethodCall, onGetProperty, nullptr, {}};

void onRegistered(GObject* bus, GAsyncResult* result, gpointer) {
    GError* error = nullptr;
    GVariant* answer = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    GErrorPtr failed(error);
    if (answer != nullptr) g_variant_unref(answer);
    if (failed) {
        writeStderr(std::string("kelvo: status item refused by the desktop's watcher: ") + failed->message + "\n");
    }
}

void registerWith(GDBusConnection* bus, const GtkStatusItemRecord& item) {
    g_dbus_connection_call(bus, kWatcher, kWatcherPath, kWatcher, "RegisterStatusNotifierItem",
                           g_variant_new("(s)", item.busName.c_str()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           kWatcherTimeoutMs, nullptr, onRegistered, nullptr);
}

// A watcher that came onto the bus after the item registered (the panel restarted): it is told of
// the item.
void onWatcherAppeared(GDBusConnection* bus, const gchar*, const gchar* owner, gpointer data) {
    // The item at hand, if it is on the bus: a watch given up may still report once.
    GtkStatusItemRecord* shown = static_cast<GtkState*>(data)->statusItem.get();
    if (shown == nullptr || shown->bus == nullptr) return;
    GtkStatusItemRecord& item = *shown;
    if (item.watcherOwner == owner) return;
    item.watcherOwner = owner;
    registerWith(bus, item);
}

void emit(GtkStatusItemRecord& item, const char* path, const char* interface, const char* signal,
          GVariant* arguments = nullptr) {
    g_dbus_connection_emit_signal(item.bus, nullptr, path, interface, signal, arguments, nullptr);
}

}  // namespace

bool gtkNotifierCanShow() {
    GDBusConnection* bus = gtkSessionBus();
    if (!gtkBusNameOwned(bus, kWatcher)) return false;
    // A watcher with no panel behind it shows nothing. One that cannot say is taken at its word.
    GError* error = nullptr;
    GVariant* answer = g_dbus_connection_call_sync(
        bus, kWatcher, kWatcherPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kWatcher, "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kWatcherTimeoutMs, nullptr, &error);
    GErrorPtr failed(error);
    if (answer == nullptr) return true;
    GVariant* value = nullptr;
    g_variant_get(answer, "(v)", &value);
    const bool hosted = !g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) || g_variant_get_boolean(value) != FALSE;
    g_variant_unref(value);
    g_variant_unref(answer);
    return hosted;
}

bool gtkNotifierStart(GtkStatusItemRecord& item) {
    static unsigned made = 0;
    GDBusConnection* bus = gtkSessionBus();
    if (bus == nullptr) return false;
    item.bus = bus;
    item.busName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++made);
    item.itemObject = g_dbus_connection_register_object(bus, kItemPath, introspection()->interfaces[0], &kVTable, &item,
                                                        nullptr, nullptr);
    item.menuObject = g_dbus_connection_register_object(bus, kMenuPath, introspection()->interfaces[1], &kVTable, &item,
                                                        nullptr, nullptr);
    if (item.itemObject == 0 || item.menuObject == 0 || !gtkBusRequestName(bus, item.busName.c_str())) {
        gtkNotifierStop(item);
        return false;
    }
    // The watcher is told without waiting for it: it may read the item before it answers, and the
    // item answers only from this thread's loop.
    item.watcherOwner = gtkBusNameOwner(bus, kWatcher);
    registerWith(bus, item);
    item.watcherWatch = g_bus_watch_name_on_connection(bus, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE, onWatcherAppeared,
                                                       nullptr, item.state, nullptr);
    return true;
}

void gtkNotifierStop(GtkStatusItemRecord& item) {
    if (item.bus == nullptr) return;
    if (item.watcherWatch != 0) g_bus_unwatch_name(item.watcherWatch);
    if (item.itemObject != 0) g_dbus_connection_unregister_object(item.bus, item.itemObject);
    if (item.menuObject != 0) g_dbus_connection_unregister_object(item.bus, item.menuObject);
    // The watcher drops the item when its name goes.
    if (!item.busName.empty()) gtkBusReleaseName(item.bus, item.busName.c_str());
    item.watcherWatch = item.itemObject = item.menuObject = 0;
    item.bus = nullptr;
}

void gtkNotifierChanged(GtkStatusItemRecord& item, GtkStatusChange change) {
    if (item.bus == nullptr) return;
    switch (change) {
        case GtkStatusChange::title: {
            emit(item, kItemPath, kItemInterface, "NewTitle");
            const std::string label = labelOf(item);
            emit(item, kItemPath, kItemInterface, "XAyatanaNewLabel", g_variant_new("(ss)", label.c_str(), ""));
            break;
        }
        case GtkStatusChange::icon:
            emit(item, kItemPath, kItemInterface, "NewIcon");
            break;
        case GtkStatusChange::tooltip:
            emit(item, kItemPath, kItemInterface, "NewToolTip");
            break;
        case GtkStatusChange::menu:
            item.menuRevision += 1;
            emit(item, kMenuPath, kMenuInterface, "LayoutUpdated", g_variant_new("(ui)", item.menuRevision, 0));
            break;
    }
}

}  // namespace kelvo::standin
