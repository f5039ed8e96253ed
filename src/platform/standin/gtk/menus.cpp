// Keys, the menu bar, pop-up menus, the About panel, and what the standard menus do to windows
// and to what holds the keyboard.
//
// The menu bar is shown by every window made with one (menu_bar.cpp), but its keys are the
// host's: key presses are seen before GTK hands them to any widget, through GDK's event handler,
// as a local key monitor would. The host decides at once whether a press is a shortcut or a menu
// key, and what it leaves goes on to the focused widget (the web view, which does its own editing
// keys). Ctrl plays Command, Alt Option and Super Control. A key the host types (an Edit menu
// item's, for a page) is put in GDK's queue as the X server's are, and goes the same road.
//
// Found while checking GTK: a menu's "deactivate" comes before the chosen item's "activate", so
// the choice is read on a later turn; a menu popped up outside an input event wants a trigger
// event of its own, or it warns.

#include <algorithm>

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

struct NamedKey {
    guint keyval;
    std::string_view name;
};

// Keys the host knows by name; the first of each name is the one a menu shows.
constexpr NamedKey kNamedKeys[] = {
    {GDK_KEY_Tab, "tab"},          {GDK_KEY_ISO_Left_Tab, "tab"},
    {GDK_KEY_KP_Tab, "tab"},       {GDK_KEY_Return, "enter"},
    {GDK_KEY_KP_Enter, "enter"},   {GDK_KEY_ISO_Enter, "enter"},
    {GDK_KEY_Escape, "escape"},    {GDK_KEY_space, "space"},
    {GDK_KEY_KP_Space, "space"},   {GDK_KEY_BackSpace, "backspace"},
    {GDK_KEY_Delete, "delete"},    {GDK_KEY_KP_Delete, "delete"},
    {GDK_KEY_Up, "arrowup"},       {GDK_KEY_KP_Up, "arrowup"},
    {GDK_KEY_Down, "arrowdown"},   {GDK_KEY_KP_Down, "arrowdown"},
    {GDK_KEY_Left, "arrowleft"},   {GDK_KEY_KP_Left, "arrowleft"},
    {GDK_KEY_Right, "arrowright"}, {GDK_KEY_KP_Right, "arrowright"},
    {GDK_KEY_Home, "home"},        {GDK_KEY_KP_Home, "home"},
    {GDK_KEY_End, "end"},          {GDK_KEY_KP_End, "end"},
};

std::string_view namedKey(guint keyval) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.keyval == keyval) return key.name;
    }
    return {};
}

// Notes what the left button does in our windows.
void noteLeftButton(GtkState& state, const GdkEvent* event) {
    GtkLeftButton& left = state.leftButton;
    switch (event->type) {
        case GDK_BUTTON_PRESS:
        case GDK_2BUTTON_PRESS:
        case GDK_3BUTTON_PRESS:
            if (event->button.button != GDK_BUTTON_PRIMARY) return;
            left.held = true;
            left.dragged = false;
            left.clickCount = event->type == GDK_BUTTON_PRESS ? 1 : event->type == GDK_2BUTTON_PRESS ? 2 : 3;
            left.rootX = event->button.x_root;
            left.rootY = event->button.y_root;
            left.time = event->button.time;
            left.pressTime = event->button.time;
            return;
        case GDK_MOTION_NOTIFY:
            if (!left.held || (event->motion.state & GDK_BUTTON1_MASK) == 0) return;
            left.dragged = true;
            left.rootX = event->motion.x_root;
            left.rootY = event->motion.y_root;
            left.time = event->motion.time;
            return;
        case GDK_BUTTON_RELEASE:
            if (event->button.button == GDK_BUTTON_PRIMARY) left.held = false;
            return;
        default:
            return;
    }
}

using KeyOffer = bool (*)(void* context, const KeyPress& press);

// Offers a key press in one of our windows to one of the monitor's functions; true when consumed.
bool offerKey(GtkState& state, const GdkEventKey& key, KeyOffer offer) {
    GtkWindowRecord* record = gtkWindowRecordFor(state, key.window);
    if (offer == nullptr || record == nullptr) return false;
    char characters[8] = {};
    gunichar typed = gdk_keyval_to_unicode(key.keyval);
    if (typed != 0) characters[g_unichar_to_utf8(typed, characters)] = '\0';
    KeyPress press;
    press.window = reinterpret_cast<WindowRef>(record);
    press.namedKey = namedKey(key.keyval);
    press.characters = characters;
    press.modifiers = heldKeys(key.state);
    return offer(state.keyMonitor.context, press);
}

// GTK hands a key to the focused widget of the window it goes to (the one typed at, or a dialog
// that holds the others modally) even before that widget is realized, and then warns and drops the
// key: the Open dialog's location field, which Ctrl+L shows and focuses, is realized only at the
// dialog's next frame, and the release of Ctrl+L comes before it. Such a widget, shown, is realized
// first (as that frame would).
void realizeKeyTarget(GdkEvent* event) {
    GtkWidget* widget = gtk_get_event_widget(event);
    if (widget == nullptr) return;
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    GtkWidget* grab = gtk_window_group_get_current_grab(
        gtk_window_get_group(GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr));
    if (grab != nullptr && grab != widget && !gtk_widget_is_ancestor(widget, grab)) {
        toplevel = gtk_widget_get_toplevel(grab);
    }
    if (!GTK_IS_WINDOW(toplevel) || !gtk_widget_get_realized(toplevel)) return;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(toplevel));
    if (focus != nullptr && !gtk_widget_get_realized(focus) && gtk_widget_is_visible(focus)) gtk_widget_realize(focus);
}

// Hands an event on: a key press is offered to the monitor first, and goes on unless it consumed it.
void handOn(GtkState& state, GdkEvent* event) {
    if (event->type == GDK_KEY_PRESS && offerKey(state, event->key, state.keyMonitor.keyDown)) return;
    if (event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE) realizeKeyTarget(event);
    gtk_main_do_event(event);
}

// While a window's held keys go on one at a time, a key typed meanwhile, at any window, waits
// behind them (a copy: true).
bool waitsBehindHeldKeys(GtkState& state, GdkEvent* event) {
    for (auto& [number, record] : state.windows) {
        if (!record->releasing) continue;
        record->heldKeys.emplace_back(gdk_event_copy(event));
        return true;
    }
    return false;
}

// Notes the left button in our windows and the windows mapped, and hands the rest on (keys as
// gtkHandKeyOn does).
void handleEvent(GdkEvent* event, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    // The user's latest key or click, as the display server timed it (0: input it did not time).
    if (event->type == GDK_KEY_PRESS || event->type == GDK_BUTTON_PRESS) state.inputTime = gdk_event_get_time(event);
    if (event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE) {
        if (!waitsBehindHeldKeys(state, event)) gtkHandKeyOn(state, event);
        return;
    }
    if (event->type == GDK_MAP) gtkNoteWindowShown(state, event->any.window);
    if (gtkWindowRecordFor(state, event->any.window) != nullptr) noteLeftButton(state, event);
    handOn(state, event);
}

// Hands the first of the window's held keys on, and the next once the page has handled it: a key
// that opens a dialog (Ctrl+O, say) has it on the screen, holding the keyboard, before the keys
// typed after it go on, as they went to it had the page been there when they were typed. What a
// page does with a key it handles (a message asking for the dialog) is posted to the main queue
// before its confirmation comes; the next key is posted after it, and so runs inside the dialog's
// loop. A window gone takes its keys with it.
void releaseNext(GtkState& state, std::uint64_t number) {
    auto found = state.windows.find(number);
    if (found == state.windows.end() || !found->second->releasing) return;
    GtkWindowRecord& record = *found->second;
    if (record.heldKeys.empty()) {
        record.releasing = false;
        return;
    }
    GdkEventPtr event = std::move(record.heldKeys.front());
    record.heldKeys.pop_front();
    gtkHandKeyOn(state, event.get());
    gtkAfterKeysHandled(state, [&state, number] { releaseNext(state, number); });
}

// The held keys go on in the order they came, before any key typed later (releaseNext). Each copy
// keeps its GDK window: one gone meanwhile takes its keys nowhere.
void holdKeys(void* self, WindowRef window, bool hold) {
    GtkState& state = gtkState(self);
    GtkWindowRecord& record = gtkWindowRecord(window);
    if (hold) {
        record.keysHeld = true;
        record.releasing = false;
        return;
    }
    if (!record.keysHeld) return;
    record.keysHeld = false;
    record.releasing = true;
    releaseNext(state, record.number);
}

void setMenuBar(void* self, std::span<const Menu> menus) { gtkShowMenuBar(gtkState(self), menus); }

void watchMenuBar(void* self, MenuBarSink sink) { gtkState(self).menuBarSink = sink; }

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
    GtkWindowRecord& record = gtkWindowRecord(window);
    GdkWindow* at = gtk_widget_get_window(record.window);
    if (at != nullptr) {
        // The point is in the content, which lies below the menu bar or inside the window's frame.
        int left = static_cast<int>(x);
        int top = static_cast<int>(y);
        if (!gtk_widget_translate_coordinates(record.content, record.window, left, top, &left, &top)) {
            const GdkPoint offset = gtkContentOffset(record);
            left += offset.x;
            top += offset.y;
        }
        GdkRectangle point{left, top, 1, 1};
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

// The About panel's logo: the application's icon at most this many pixels a side. The icon itself
// may be as large as a dock icon (1,024 pixels), which would make the panel taller than a screen.
constexpr int kAboutLogoSide = 128;

GObjectPtr<GdkPixbuf> aboutLogo(const GtkState& state) {
    GdkPixbuf* icon = state.appIcon.get();
    const int width = gdk_pixbuf_get_width(icon);
    const int height = gdk_pixbuf_get_height(icon);
    const int side = std::max(width, height);
    if (side <= kAboutLogoSide) return GObjectPtr<GdkPixbuf>(GDK_PIXBUF(g_object_ref(icon)));
    return GObjectPtr<GdkPixbuf>(gdk_pixbuf_scale_simple(icon, std::max(1, width * kAboutLogoSide / side),
                                                         std::max(1, height * kAboutLogoSide / side),
                                                         GDK_INTERP_HYPER));
}

// Closed, it ends as the dialogs run modally do, so that the keys typed after Escape reach the
// window under it; another asked for meanwhile is a new one.
void onAboutAnswered(GtkDialog* about, gint, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (state.aboutPanel == GTK_WIDGET(about)) state.aboutPanel = nullptr;
    gtkEndDialog(state, GTK_WIDGET(about));
}

// Escape closes it at once: GTK would close it on a later turn, after the keys typed with it.
void onAboutEscaped(GtkDialog* about, gpointer data) {
    g_signal_stop_emission_by_name(about, "close");
    onAboutAnswered(about, GTK_RESPONSE_CLOSE, data);
}

void onAboutDestroyed(GtkWidget* about, gpointer data) {
    GtkState& state = *static_cast<GtkState*>(data);
    if (state.aboutPanel == about) state.aboutPanel = nullptr;
}

// One panel at a time: asked again while it is open, the open one comes to the front.
void showAbout(void* self, const AboutPanel& panel) {
    GtkState& state = gtkState(self);
    if (state.aboutPanel != nullptr) {
        gtk_window_present(GTK_WINDOW(state.aboutPanel));
        return;
    }
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
    if (state.appIcon) gtk_about_dialog_set_logo(dialog, aboutLogo(state).get());
    gtk_window_set_transient_for(GTK_WINDOW(about), gtkActiveWindow(state));
    g_signal_connect(about, "response", G_CALLBACK(onAboutAnswered), &state);
    g_signal_connect(about, "close", G_CALLBACK(onAboutEscaped), &state);
    g_signal_connect(about, "destroy", G_CALLBACK(onAboutDestroyed), &state);
    state.aboutPanel = about;
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

ViewRef focusedView(void*, WindowRef window) {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(gtkWindowRecord(window).window));
    return reinterpret_cast<ViewRef>(gtkPlacedViewOf(focus));
}

// The editing commands of a page, in the order of EditAction.
constexpr const char* kPageCommands[] = {WEBKIT_EDITING_COMMAND_UNDO,  WEBKIT_EDITING_COMMAND_REDO,
                                         WEBKIT_EDITING_COMMAND_CUT,   WEBKIT_EDITING_COMMAND_COPY,
                                         WEBKIT_EDITING_COMMAND_PASTE, WEBKIT_EDITING_COMMAND_SELECT_ALL};

// The key-binding signals a text widget does the same with; GTK 3's fields keep no undo history.
constexpr const char* kWidgetSignals[] = {nullptr,          nullptr,           "cut-clipboard",
                                          "copy-clipboard", "paste-clipboard", nullptr};

void performEdit(void*, WindowRef window, EditAction action) {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(gtkWindowRecord(window).window));
    if (focus == nullptr) return;
    const auto index = static_cast<std::size_t>(action);
    if (WEBKIT_IS_WEB_VIEW(focus)) {
        webkit_web_view_execute_editing_command(WEBKIT_WEB_VIEW(focus), kPageCommands[index]);
        return;
    }
    if (action == EditAction::select_all && GTK_IS_EDITABLE(focus)) {
        gtk_editable_select_region(GTK_EDITABLE(focus), 0, -1);
        return;
    }
    const char* signal = kWidgetSignals[index];
    if (signal != nullptr && g_signal_lookup(signal, G_OBJECT_TYPE(focus)) != 0) g_signal_emit_by_name(focus, signal);
}

// A key the program types at a window: its press and its release as the X server delivers them,
// with the key's code from the keymap (a page tells its keys by their codes too), put at the end
// of GDK's queue, behind every event that came before, for the event handler above. An Edit menu
// item's key is timed as the click or key that chose the item, which the handler notes as the
// user's latest input: what the key does counts from that moment, as where the user typed it (a
// copy is ordered among other programs' copies at the click, not when the page gets to it).
void typeKey(void* self, const KeyPress& press) {
    const guint32 time = gtkState(self).menuChoiceTime;
    GdkWindow* window = gtk_widget_get_window(gtkWindowRecord(press.window).window);
    const guint keyval = gtkKeyvalOfName(press.namedKey.empty() ? press.characters : press.namedKey);
    if (window == nullptr || keyval == 0) return;
    GdkDisplay* display = gdk_window_get_display(window);
    GdkKeymapKey* codes = nullptr;
    gint count = 0;
    if (!gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &codes, &count)) count = 0;
    for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
        GdkEvent* event = gdk_event_new(type);
        event->key.window = GDK_WINDOW(g_object_ref(window));
        event->key.time = time;
        event->key.state = gtkModifierState(press.modifiers);
        event->key.keyval = keyval;
        if (count > 0) {
            event->key.hardware_keycode = static_cast<guint16>(codes[0].keycode);
            event->key.group = static_cast<guint8>(codes[0].group);
        }
        gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
        gdk_event_put(event);
        gdk_event_free(event);
    }
    g_free(codes);
}

}  // namespace

void gtkHandKeyOn(GtkState& state, GdkEvent* event) {
    if (gtkKeepKeyAhead(state, event)) return;
    // A key typed at a dialog after its answer is the window's under it.
    if (GdkWindow* under = gtkKeyWindowAfterDialogs(event->key.window)) {
        g_object_unref(event->key.window);
        event->key.window = GDK_WINDOW(g_object_ref(under));
    }
    if (gtkKeepAnswerKey(state, event)) return;
    GtkWindowRecord* record = gtkWindowRecordFor(state, event->key.window);
    if (record != nullptr && record->keysHeld) {
        record->heldKeys.emplace_back(gdk_event_copy(event));
        return;
    }
    handOn(state, event);
}

bool gtkOfferKeyNotHandled(GtkState& state, const GdkEventKey& key) {
    return offerKey(state, key, state.keyMonitor.keyNotHandled);
}

guint gtkKeyvalOfName(std::string_view name) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.name == name) return key.keyval;
    }
    // Any other key is one character (a letter, a digit or a punctuation mark): the key that
    // types it.
    std::string text(name);
    if (!g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr) ||
        g_utf8_strlen(text.c_str(), -1) != 1) {
        return 0;
    }
    return gdk_unicode_to_keyval(g_utf8_get_char(text.c_str()));
}

GdkModifierType gtkModifierState(std::uint32_t keys) {
    guint mask = 0;
    if (keys & kKeyCommand) mask |= GDK_CONTROL_MASK;
    if (keys & kKeyOption) mask |= GDK_MOD1_MASK;
    if (keys & kKeyControl) mask |= GDK_SUPER_MASK;
    if (keys & kKeyShift) mask |= GDK_SHIFT_MASK;
    return static_cast<GdkModifierType>(mask);
}

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
