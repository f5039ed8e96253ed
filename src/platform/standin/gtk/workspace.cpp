// The appearance is appearance.cpp's. URLs open with GIO's default handler; the file manager is
// asked over D-Bus to show a file (its folder opens when no file manager answers); notifications
// go to the desktop's notification service without waiting for it, and are refused where the
// session bus has no such service; recently used documents go to GTK's list, where clearing
// removes only this application's entries.

#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/gtk/gtk_state.hpp"
#include "platform/standin/gtk/session_bus.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kNotifications = "org.freedesktop.Notifications";

Appearance appearance(void* self) { return gtkAppearance(gtkState(self)); }

void watchAppearance(void* self, Task onChange) { gtkWatchAppearance(gtkState(self), std::move(onChange)); }

void unwatchAppearance(void* self) { gtkUnwatchAppearance(gtkState(self)); }

bool openUrl(void*, std::string_view url) {
    std::string text(url);
    GError* error = nullptr;
    gboolean opened = g_app_info_launch_default_for_uri(text.c_str(), nullptr, &error);
    GErrorPtr failed(error);
    return opened != FALSE;
}

// The path made absolute against the working folder, as a file URL would be.
std::string absolutePath(std::string_view path) {
    std::string text(path);
    GCharPtr absolute(g_canonicalize_filename(text.c_str(), nullptr));
    return absolute.get();
}

// The file URL of an absolute path: every byte but those a path segment keeps as they are
// (letters, digits, "-._~!$&'()*+,;=:@" and the separators) written as "%XX". Made here rather
// than by GLib, whose string joining leaves strings of its own behind at times (the leak check
// cannot tell those from the program's own).
std::string fileUrlOf(std::string_view absolute) {
    static constexpr std::string_view kKept = "-._~!$&'()*+,;=:@/";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const char c : absolute) {
        const auto byte = static_cast<unsigned char>(c);
        if (g_ascii_isalnum(c) || kKept.find(c) != std::string_view::npos) {
            url += c;
        } else {
            url += '%';
            url += kHex[byte >> 4];
            url += kHex[byte & 0xF];
        }
    }
    return url;
}

bool openFolderOf(const std::string& path) {
    GCharPtr folder(g_path_get_dirname(path.c_str()));
    return openUrl(nullptr, fileUrlOf(folder.get()));
}

void onShowItems(GObject* bus, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::string> path(static_cast<std::string*>(data));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &error);
    GErrorPtr failed(error);
    if (reply != nullptr) g_variant_unref(reply);
    if (failed) (void)openFolderOf(*path);
}

bool revealPath(void*, std::string_view path) {
    std::string absolute = absolutePath(path);
    const std::string uri = fileUrlOf(absolute);
    GDBusConnection* bus = gtkSessionBus();
    if (bus == nullptr) return openFolderOf(absolute);
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&items, "s", uri.c_str());
    g_dbus_connection_call(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                           "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(ass)", &items, ""), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, onShowItems, new std::string(absolute));
    return true;
}

bool notify(void*, std::string_view title, std::string_view subtitle, std::string_view body) {
    GDBusConnection* bus = gtkSessionBus();
    // Nothing would show it: no program owns the name, and the bus cannot start one.
    if (!gtkBusNameServed(bus, kNotifications)) return false;
    // The desktop's notifications have a summary and a body: the subtitle leads the body.
    std::string summary(title);
    std::string text(subtitle);
    if (!text.empty() && !body.empty()) text.push_back('\n');
    text.append(body);
    const char* application = g_get_application_name();
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_dbus_connection_call(bus, kNotifications, "/org/freedesktop/Notifications", kNotifications, "Notify",
                           g_variant_new("(susssasa{sv}i)", application != nullptr ? application : "", 0u, "",
                                         summary.c_str(), text.c_str(), nullptr, &hints, -1),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    return true;
}

bool addRecentDocument(void*, std::string_view path) {
    const std::string uri = fileUrlOf(absolutePath(path));
    return gtk_recent_manager_add_item(gtk_recent_manager_get_default(), uri.c_str()) != FALSE;
}

// An entry this application shares with others loses only this application: it is taken out and
// put back for each of the others.
void clearRecentDocuments(void*) {
    GtkRecentManager* recent = gtk_recent_manager_get_default();
    const char* ours = g_get_application_name();
    GList* items = gtk_recent_manager_get_items(recent);
    for (GList* entry = items; entry != nullptr; entry = entry->next) {
        auto* info = static_cast<GtkRecentInfo*>(entry->data);
        if (ours == nullptr || !gtk_recent_info_has_application(info, ours)) continue;
        const char* uri = gtk_recent_info_get_uri(info);
        gsize count = 0;
        GStrvPtr applications(gtk_recent_info_get_applications(info, &count));
        struct Other {
            std::string name;
            std::string exec;
        };
        std::vector<Other> others;
        for (gsize i = 0; i < count; ++i) {
            const char* name = applications.get()[i];
            const char* exec = nullptr;
            if (std::string_view(name) == ours) continue;
            if (gtk_recent_info_get_application_info(info, name, &exec, nullptr, nullptr)) {
                others.push_back({name, exec != nullptr ? exec : ""});
            }
        }
        std::string mime = gtk_recent_info_get_mime_type(info) != nullptr ? gtk_recent_info_get_mime_type(info) : "";
        (void)gtk_recent_manager_remove_item(recent, uri, nullptr);
        for (Other& other : others) {
            GtkRecentData data{};
            data.mime_type = mime.data();
            data.app_name = other.name.data();
            data.app_exec = other.exec.data();
            gtk_recent_manager_add_full(recent, uri, &data);
        }
    }
    g_list_free_full(items, reinterpret_cast<GDestroyNotify>(gtk_recent_info_unref));
}

}  // namespace

WorkspaceService gtkWorkspace() {
    WorkspaceService workspace;
    KELVO_STANDIN_FILL(workspace, KELVO_STANDIN_WORKSPACE_FUNCTIONS)
    return workspace;
}

}  // namespace kelvo::standin
