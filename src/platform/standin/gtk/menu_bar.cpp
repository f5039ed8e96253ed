// The application's menu as GTK shows it. One function builds it for a window into any menu
// shell: the menu bar above a window's content, or the menu of a button that offers the same
// menu. Every shell built this way is refilled when the host sets a new bar, so all of them show
// the same menus. Items show their key equivalents (Ctrl for Command, Alt for Option, Super for
// Control), their sensitivity and their check marks; a click is handed to the host's menu-bar
// sink from a main-loop task, with the window the shell belongs to.
//
// The keys are shown only: the host matches them itself before GTK sees them, so no accelerator
// group is installed.
//
// Found while checking GTK: a check item toggles its own mark when activated, and setting the
// mark back activates it again; the mark is the host's, so it is put back with the handler
// blocked. A menu bar's preferred height is known before the window is shown once its items are.

#include <algorithm>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

constexpr const char* kTagKey = "kelvo-menu-tag";
constexpr const char* kWindowKey = "kelvo-menu-window";

void onItemActivated(GtkMenuItem* item, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (GTK_IS_CHECK_MENU_ITEM(item) && !gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item))) {
        g_signal_handlers_block_by_func(item, reinterpret_cast<gpointer>(onItemActivated), data);
        gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
        g_signal_handlers_unblock_by_func(item, reinterpret_cast<gpointer>(onItemActivated), data);
    }
    const std::uint32_t tag = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), kTagKey));
    const auto number =
        static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(g_object_get_data(G_OBJECT(item), kWindowKey)));
    if (tag == 0) return;
    GtkState* at = &state;
    // The click's release, or the key, that chose the item (0 for an item activated otherwise):
    // what the choice does counts from then (an Edit item's key typed at a page, menus.cpp).
    const guint32 time = gtk_get_current_event_time();
    state.post([at, number, tag, time] {
        auto window = at->windows.find(number);
        if (window == at->windows.end() || at->menuBarSink.chosen == nullptr) return;
        const guint32 before = std::exchange(at->menuChoiceTime, time);
        at->menuBarSink.chosen(at->menuBarSink.context, reinterpret_cast<WindowRef>(window->second.get()), tag);
        at->menuChoiceTime = before;
    });
}

GtkWidget* makeItem(GtkState& state, std::uint64_t windowNumber, const MenuEntry& entry) {
    if (entry.separator) return gtk_separator_menu_item_new();
    GtkWidget* item = entry.checked ? gtk_check_menu_item_new_with_label(entry.title.c_str())
                                    : gtk_menu_item_new_with_label(entry.title.c_str());
    if (entry.checked) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
    if (guint keyval = gtkKeyvalOfName(entry.key); keyval != 0) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
        if (GTK_IS_ACCEL_LABEL(label)) {
            gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label), keyval, gtkModifierState(entry.modifiers));
        }
    }
    gtk_widget_set_sensitive(item, entry.enabled);
    g_object_set_data(G_OBJECT(item), kTagKey, GUINT_TO_POINTER(entry.tag));
    g_object_set_data(G_OBJECT(item), kWindowKey,
                      reinterpret_cast<gpointer>(static_cast<std::uintptr_t>(windowNumber)));
    g_signal_connect(item, "activate", G_CALLBACK(onItemActivated), &state);
    return item;
}

void fillShell(GtkState& state, std::uint64_t windowNumber, GtkMenuShell* shell) {
    GList* old = gtk_container_get_children(GTK_CONTAINER(shell));
    for (GList* child = old; child != nullptr; child = child->next) gtk_widget_destroy(GTK_WIDGET(child->data));
    g_list_free(old);
    for (const Menu& menu : state.menuBar) {
        GtkWidget* top = gtk_menu_item_new_with_label(menu.title.c_str());
        GtkWidget* submenu = gtk_menu_new();
        for (const MenuEntry& entry : menu.items) {
            GtkWidget* item = makeItem(state, windowNumber, entry);
            gtk_menu_shell_append(GTK_MENU_SHELL(submenu), item);
            gtk_widget_show(item);
        }
        gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), submenu);
        gtk_menu_shell_append(shell, top);
        gtk_widget_show(top);
    }
}

void onShellDestroyed(GtkWidget* shell, gpointer data) {
    std::erase(static_cast<GtkWindowRecord*>(data)->menuShells, shell);
}

}  // namespace

void gtkAttachWindowMenu(GtkWindowRecord& window, GtkMenuShell* shell) {
    window.menuShells.push_back(GTK_WIDGET(shell));
    g_signal_connect(shell, "destroy", G_CALLBACK(onShellDestroyed), &window);
    fillShell(*window.state, window.number, shell);
}

void gtkShowMenuBar(GtkState& state, std::span<const Menu> menus) {
    state.menuBar.assign(menus.begin(), menus.end());
    for (auto& [number, window] : state.windows) {
        for (GtkWidget* shell : window->menuShells) fillShell(state, number, GTK_MENU_SHELL(shell));
    }
}

int gtkMenuBarHeight(const GtkWindowRecord& window) {
    if (window.menuBar == nullptr || !gtk_widget_get_visible(window.menuBar)) return 0;
    int minimum = 0;
    int natural = 0;
    gtk_widget_get_preferred_height(window.menuBar, &minimum, &natural);
    return natural;
}

}  // namespace kelvo::standin
