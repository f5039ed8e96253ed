// Keys, pop-up menus, the About panel and the window actions of the standard menus.
//
// The menu bar is not shown: the host matches its key equivalents itself. Key presses are seen
// before GTK hands them to any widget, through GDK's event handler, as a local key monitor
// would: the host decides at once whether a press is a shortcut, and what it leaves goes on to
// the focused widget (the web view, which does its own editing keys). Ctrl plays Command, Alt
// Option and Super Control.
//
// Found while checking GTK: a menu's "deactivate" comes before the chosen item's "activate", so
// the choice is read on a later turn; a menu popped up outside an input event wants a trigger
// event of its own, or it warns.

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

std::string_view namedKey(guint keyval) {
    switch (keyval) {
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab:
        case GDK_KEY_KP_Tab:
            return "tab";
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            return "enter";
        case GDK_KEY_Escape:
            return "escape";
        case GDK_KEY_space:
        case GDK_KEY_KP_Space:
            return "space";
        case GDK_KEY_BackSpace:
            return "backspace";
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete:
            return "delete";
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up:
            return "arrowup";
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down:
            return "arrowdown";
        case GDK_KEY_Left:
        case GDK_KEY_KP_Left:
            return "arrowleft";
        case GDK_KEY_Right:
        case GDK_KEY_KP_Right:
            return "arrowright";
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home:
            return "home";
        case GDK_KEY_End:
        case GDK_KEY_KP_End:
            return "end";
        default:
            return {};
    }
}

// Offers key presses in our windows to the monitor; what it does not consume goes on as usual.
void handleEvent(GdkEvent* event, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (event->type == GDK_KEY_PRESS && state.keyMonitor.keyDown != nullptr) {
        const GdkEventKey& key = event->key;
        if (GtkWindowRecord* record = gtkWindowRecordFor(state, key.window)) {
            char characters[8] = {};
            gunichar typed = gdk_keyval_to_unicode(key.keyval);
            if (typed != 0) characters[g_unichar_to_utf8(typed, characters)] = '\0';
            KeyPress press;
            press.window = reinterpret_cast<WindowRef>(record);
            press.namedKey = namedKey(key.keyval);
            press.characters = characters;
            press.modifiers = heldKeys(key.state);
            if (state.keyMonitor.keyDown(state.keyMonitor.context, press)) return;
        }
    }
    gtk_main_do_event(event);
}

void setMenuBar(void*, std::span<const Menu>) {}

void watchKeys(void* self, KeyMonitor monitor) {
    GtkState& state = gtkState(self);
    state.keyMonitor = monitor;
    gdk_event_handler_set(handleEvent, &state, nullptr);
}

void unwatchKeys(void* self) {
    gtkState(self).keyMonitor = {};
    // GTK's own handler again, as gtk_init set it.
    gdk_event_handler_set([](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
}

// A menu on screen until it closed and its choice went out.
struct PopUp {
    GtkState* state = nullptr;
    GtkWidget* menu = nullptr;  // owned
    MenuChoice done;
    std::uint32_t chosen = 0;
};

void onPopUpItem(GtkMenuItem* item, gpointer data) {
    static_cast<PopUp*>(data)->chosen = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "kelvo-tag"));
}

void onPopUpClosed(GtkMenuShell*, gpointer data) {
    auto* popUp = static_cast<PopUp*>(data);
    // The chosen item activates right after this; its choice is read on a later turn.
    popUp->state->post([popUp] {
        const std::uint32_t chosen = popUp->chosen;
        MenuChoice done = std::move(popUp->done);
        gtk_widget_destroy(popUp->menu);
        g_object_unref(popUp->menu);
        delete popUp;
        done(chosen);
    });
}

void popUpMenu(void* self, WindowRef window, double x, double y, std::span<const MenuItem> items, MenuChoice done) {
    GtkState& state = gtkState(self);
    auto* popUp = new PopUp{&state, gtk_menu_new(), std::move(done), 0};
    g_object_ref_sink(popUp->menu);
    gtkFillMenu(GTK_MENU_SHELL(popUp->menu), items, G_CALLBACK(onPopUpItem), popUp);
    g_signal_connect(popUp->menu, "deactivate", G_CALLBACK(onPopUpClosed), popUp);
    GdkWindow* at = gtk_widget_get_window(gtkWindowRecord(window).window);
    if (at != nullptr) {
        GdkRectangle point{static_cast<int>(x), static_cast<int>(y), 1, 1};
        GdkEvent* trigger = gdk_event_new(GDK_BUTTON_RELEASE);
        trigger->button.window = GDK_WINDOW(g_object_ref(at));
        trigger->button.time = GDK_CURRENT_TIME;
        gdk_event_set_device(trigger, gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(at))));
        gtk_menu_popup_at_rect(GTK_MENU(popUp->menu), at, &point, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                               trigger);
        gdk_event_free(trigger);
    }
    // A menu that could not show counts as dismissed.
    if (!gtk_widget_get_visible(popUp->menu)) onPopUpClosed(nullptr, popUp);
}

void showAbout(void* self, const AboutPanel& panel) {
    GtkState& state = gtkState(self);
    GtkWidget* about = gtk_about_dialog_new();
    GtkAboutDialog* dialog = GTK_ABOUT_DIALOG(about);
    std::string name(panel.name);
    gtk_about_dialog_set_program_name(dialog, name.c_str());
    if (!panel.version.empty()) {
        std::string version(panel.version);
        gtk_about_dialog_set_version(dialog, version.c_str());
    }
    if (!panel.credits.empty()) {
        std::string credits(panel.credits);
        gtk_about_dialog_set_comments(dialog, credits.c_str());
    }
    if (state.appIcon) gtk_about_dialog_set_logo(dialog, state.appIcon.get());
    gtk_window_set_transient_for(GTK_WINDOW(about), gtkActiveWindow(state));
    g_signal_connect(about, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
    gtk_widget_show(about);
}

void performWindowAction(void* self, WindowRef window, WindowAction action) {
    GtkState& state = gtkState(self);
    switch (action) {
        case WindowAction::hide_app:
            for (auto& [number, record] : state.windows) gtk_window_iconify(GTK_WINDOW(record->window));
            break;
        case WindowAction::hide_others:
            break;  // an X11 application cannot hide the others
        case WindowAction::unhide_all:
        case WindowAction::arrange_in_front:
            for (auto& [number, record] : state.windows) {
                if (reinterpret_cast<WindowRef>(record.get()) != window) gtk_window_present(GTK_WINDOW(record->window));
            }
            if (window != nullptr) gtk_window_present(GTK_WINDOW(gtkWindowRecord(window).window));
            break;
        case WindowAction::toggle_full_screen:
            if (window == nullptr) break;
            if (gtkWindowRecord(window).fullScreen) {
                gtk_window_unfullscreen(GTK_WINDOW(gtkWindowRecord(window).window));
            } else {
                gtk_window_fullscreen(GTK_WINDOW(gtkWindowRecord(window).window));
            }
            break;
    }
}

}  // namespace

std::uint32_t heldKeys(guint state) {
    std::uint32_t keys = 0;
    if (state & GDK_CONTROL_MASK) keys |= kKeyCommand;
    if (state & (GDK_SUPER_MASK | GDK_MOD4_MASK)) keys |= kKeyControl;
    if (state & GDK_MOD1_MASK) keys |= kKeyOption;
    if (state & GDK_SHIFT_MASK) keys |= kKeyShift;
    return keys;
}

GtkWindowRecord* gtkWindowRecordFor(GtkState& state, GdkWindow* window) {
    if (window == nullptr) return nullptr;
    GdkWindow* toplevel = gdk_window_get_toplevel(window);
    for (auto& [number, record] : state.windows) {
        if (gtk_widget_get_window(record->window) == toplevel) return record.get();
    }
    return nullptr;
}

void gtkFillMenu(GtkMenuShell* menu, std::span<const MenuItem> items, GCallback onActivate, gpointer data) {
    for (const MenuItem& item : items) {
        GtkWidget* entry = nullptr;
        if (item.separator) {
            entry = gtk_separator_menu_item_new();
        } else {
            std::string title(item.title);
            entry = gtk_menu_item_new_with_label(title.c_str());
            gtk_widget_set_sensitive(entry, item.enabled);
            g_object_set_data(G_OBJECT(entry), "kelvo-tag", GUINT_TO_POINTER(item.tag));
            g_signal_connect(entry, "activate", onActivate, data);
        }
        gtk_menu_shell_append(menu, entry);
        gtk_widget_show(entry);
    }
}

GtkWindow* gtkActiveWindow(GtkState& state) {
    for (auto& [number, record] : state.windows) {
        if (gtk_window_is_active(GTK_WINDOW(record->window))) return GTK_WINDOW(record->window);
    }
    return nullptr;
}

MenuService gtkMenus() {
    MenuService menus;
    KELVO_STANDIN_FILL(menus, KELVO_STANDIN_MENU_FUNCTIONS)
    return menus;
}

}  // namespace kelvo::standin
