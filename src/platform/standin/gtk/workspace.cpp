// Appearance from GTK's settings: a dark theme (asked for, or named "...-dark"), animations
// switched off, and a high-contrast theme. URLs open with GIO's default handler for their scheme;
// without one (as on a bare CI machine) the open fails.

#include <string>
#include <string_view>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

Appearance appearance(void*) {
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

void onSettingChanged(GObject*, GParamSpec*, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    GtkState* target = &state;
    state.post([target] {
        if (!target->onAppearanceChange) return;
        Task handler = target->onAppearanceChange;
        handler();
    });
}

void unwatchAppearance(void* self) {
    GtkState& state = gtkState(self);
    GtkSettings* settings = gtk_settings_get_default();
    for (gulong handler : state.appearanceHandlers) g_signal_handler_disconnect(settings, handler);
    state.appearanceHandlers.clear();
    state.onAppearanceChange = nullptr;
}

void watchAppearance(void* self, Task onChange) {
    GtkState& state = gtkState(self);
    unwatchAppearance(self);
    GtkSettings* settings = gtk_settings_get_default();
    if (settings == nullptr) return;
    state.onAppearanceChange = std::move(onChange);
    for (const char* signal :
         {"notify::gtk-application-prefer-dark-theme", "notify::gtk-theme-name", "notify::gtk-enable-animations"}) {
        state.appearanceHandlers.push_back(g_signal_connect(settings, signal, G_CALLBACK(onSettingChanged), &state));
    }
}

bool openUrl(void*, std::string_view url) {
    std::string text(url);
    GError* error = nullptr;
    gboolean opened = g_app_info_launch_default_for_uri(text.c_str(), nullptr, &error);
    GErrorPtr failed(error);
    return opened != FALSE;
}

}  // namespace

WorkspaceService gtkWorkspace() {
    WorkspaceService workspace;
    KELVO_STANDIN_FILL(workspace, KELVO_STANDIN_WORKSPACE_FUNCTIONS)
    return workspace;
}

}  // namespace kelvo::standin
