// The title bar of a window whose content fills the whole window: a header bar drawn by the
// application over the top of the content, transparent, without a title, with the window's
// buttons and the menu button that opens the application's menu; a window with the tall toolbar
// has an empty toolbar joined below the header bar, hidden while the window is in full screen.
// The window draws its own decorations (GTK's client-side frame), so no window manager frame
// lies above the content.
//
// Found while checking GTK under Xvfb: a header bar that is the window's own title bar is always
// laid out above the content, never over it, so the window gets an empty, hidden title bar (which
// keeps GTK's client-side frame: its resize edges, and its shadow where a compositor runs) and
// the header bar lies in an overlay over the content instead. GTK then no longer moves the window
// from the header bar, so the title bar does it itself: a drag past the threshold moves the
// window, a double click does what the user chose for title bars, a right click shows the window
// manager's menu. The frame GTK draws around such a window (5 pixels without a compositor, the
// shadow with one) is known once the window is realised. An empty toolbar is a few pixels tall;
// the tall toolbar takes the height that a toolbar holding one large button has in the default
// theme.

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

constexpr int kTallToolbarHeight = 42;

constexpr const char* kTitleBarLook = "headerbar, toolbar { background: none; border: none; box-shadow: none; }";

// Where a left press in the title bar began, while it may still become a drag.
struct PressRecord {
    bool pressed = false;
    double rootX = 0;
    double rootY = 0;
};
constexpr const char* kPressKey = "kelvo-title-bar-press";

GtkCssProvider* titleBarLook(GtkState& state) {
    if (!state.titleBarLook) {
        state.titleBarLook.reset(gtk_css_provider_new());
        gtk_css_provider_load_from_data(state.titleBarLook.get(), kTitleBarLook, -1, nullptr);
    }
    return state.titleBarLook.get();
}

void lookTransparent(GtkState& state, GtkWidget* widget) {
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(titleBarLook(state)),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

void doubleClicked(GtkWindow* window) {
    switch (gtkTitlebarDoubleClick()) {
        case TitlebarDoubleClick::minimize:
            gtk_window_iconify(window);
            break;
        case TitlebarDoubleClick::none:
            break;
        case TitlebarDoubleClick::zoom:
            if (gtk_window_is_maximized(window)) {
                gtk_window_unmaximize(window);
            } else {
                gtk_window_maximize(window);
            }
            break;
    }
}

gboolean onPress(GtkWidget* area, GdkEventButton* event, gpointer data) {
    auto& window = *static_cast<GtkWindowRecord*>(data);
    auto* press = static_cast<PressRecord*>(g_object_get_data(G_OBJECT(area), kPressKey));
    if (event->button == GDK_BUTTON_SECONDARY && event->type == GDK_BUTTON_PRESS) {
        return gdk_window_show_window_menu(gtk_widget_get_window(window.window), reinterpret_cast<GdkEvent*>(event));
    }
    if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
    if (event->type == GDK_2BUTTON_PRESS) {
        press->pressed = false;
        doubleClicked(GTK_WINDOW(window.window));
        return TRUE;
    }
    if (event->type != GDK_BUTTON_PRESS) return FALSE;
    *press = PressRecord{true, event->x_root, event->y_root};
    return TRUE;
}

gboolean onRelease(GtkWidget* area, GdkEventButton* event, gpointer) {
    if (event->button == GDK_BUTTON_PRIMARY) {
        static_cast<PressRecord*>(g_object_get_data(G_OBJECT(area), kPressKey))->pressed = false;
    }
    return FALSE;
}

gboolean onMotion(GtkWidget* area, GdkEventMotion* event, gpointer data) {
    auto& window = *static_cast<GtkWindowRecord*>(data);
    auto* press = static_cast<PressRecord*>(g_object_get_data(G_OBJECT(area), kPressKey));
    if (!press->pressed || (event->state & GDK_BUTTON1_MASK) == 0) return FALSE;
    if (!gtk_drag_check_threshold(area, static_cast<int>(press->rootX), static_cast<int>(press->rootY),
                                  static_cast<int>(event->x_root), static_cast<int>(event->y_root))) {
        return TRUE;
    }
    press->pressed = false;
    gtk_window_begin_move_drag(GTK_WINDOW(window.window), GDK_BUTTON_PRIMARY, static_cast<int>(press->rootX),
                               static_cast<int>(press->rootY), event->time);
    return TRUE;
}

// The title bar's height changes when the toolbar shows or hides: the content's layout changed.
void onTitleBarAllocated(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    auto& window = *static_cast<GtkWindowRecord*>(data);
    if (allocation->height == window.titleBarHeight) return;
    const bool first = window.titleBarHeight == 0;
    window.titleBarHeight = allocation->height;
    if (!first) gtkDeliverLater(window, WindowEventKind::content_layout_changed);
}

GtkWidget* menuButton(GtkWindowRecord& window) {
    GtkWidget* button = gtk_menu_button_new();
    if (GtkWidget* arrow = gtk_bin_get_child(GTK_BIN(button)); arrow != nullptr) {
        gtk_container_remove(GTK_CONTAINER(button), arrow);
    }
    gtk_container_add(GTK_CONTAINER(button), gtk_image_new_from_icon_name("open-menu-symbolic", GTK_ICON_SIZE_BUTTON));
    gtk_widget_set_tooltip_text(button, "Menu");
    // Like the window's other buttons it leaves the keyboard where it was.
    gtk_widget_set_focus_on_click(button, FALSE);
    GtkWidget* menu = gtk_menu_new();
    gtkAttachWindowMenu(window, GTK_MENU_SHELL(menu));
    gtk_menu_button_set_popup(GTK_MENU_BUTTON(button), menu);
    gtk_widget_show_all(button);
    return button;
}

// The window's buttons in the header bar: close, minimise and maximise.
struct WindowButtons {
    std::array<GtkWidget*, 3> buttons{};
};

void findWindowButtons(GtkWidget* widget, gpointer data) {
    auto& found = *static_cast<WindowButtons*>(data);
    GtkStyleContext* style = gtk_widget_get_style_context(widget);
    if (GTK_IS_BUTTON(widget) && gtk_style_context_has_class(style, "titlebutton")) {
        constexpr const char* kClasses[] = {"close", "minimize", "maximize"};
        for (std::size_t i = 0; i < found.buttons.size(); ++i) {
            if (gtk_style_context_has_class(style, kClasses[i])) found.buttons[i] = widget;
        }
        return;
    }
    if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), findWindowButtons, data);
}

}  // namespace

void gtkAddTitleBar(GtkWindowRecord& window, GtkWidget* frame, bool tallToolbar) {
    GtkState& state = *window.state;
    // GTK decorates the window itself; its own title bar stays empty and hidden.
    GtkWidget* placeholder = gtk_fixed_new();
    gtk_widget_set_no_show_all(placeholder, TRUE);
    gtk_window_set_titlebar(GTK_WINDOW(window.window), placeholder);

    window.headerBar = gtk_header_bar_new();
    gtk_header_bar_set_show_close_button(GTK_HEADER_BAR(window.headerBar), TRUE);
    gtk_header_bar_pack_end(GTK_HEADER_BAR(window.headerBar), menuButton(window));
    lookTransparent(state, window.headerBar);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(column), window.headerBar, FALSE, FALSE, 0);
    gtk_widget_show(window.headerBar);
    if (tallToolbar) {
        window.toolbar = gtk_toolbar_new();
        gtk_widget_set_size_request(window.toolbar, -1, kTallToolbarHeight);
        lookTransparent(state, window.toolbar);
        gtk_box_pack_start(GTK_BOX(column), window.toolbar, FALSE, FALSE, 0);
        gtk_widget_show(window.toolbar);
    }
    gtk_widget_show(column);

    // The title bar takes the presses that miss its buttons.
    window.titleBar = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(window.titleBar), FALSE);
    gtk_widget_add_events(window.titleBar, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK);
    gtk_container_add(GTK_CONTAINER(window.titleBar), column);
    gtk_widget_set_valign(window.titleBar, GTK_ALIGN_START);
    g_object_set_data_full(G_OBJECT(window.titleBar), kPressKey, new PressRecord{},
                           [](gpointer press) { delete static_cast<PressRecord*>(press); });
    g_signal_connect(window.titleBar, "button-press-event", G_CALLBACK(onPress), &window);
    g_signal_connect(window.titleBar, "button-release-event", G_CALLBACK(onRelease), &window);
    g_signal_connect(window.titleBar, "motion-notify-event", G_CALLBACK(onMotion), &window);
    g_signal_connect(window.titleBar, "size-allocate", G_CALLBACK(onTitleBarAllocated), &window);
    gtk_overlay_add_overlay(GTK_OVERLAY(frame), window.titleBar);
    gtk_widget_show(window.titleBar);
}

ChromeLayout gtkTitleBarChrome(const GtkWindowRecord& window, RectD bounds) {
    ChromeLayout layout;
    layout.bounds = bounds;
    layout.layout = bounds;
    if (window.titleBar == nullptr || !gtk_widget_get_mapped(window.titleBar)) return layout;
    int x = 0;
    int bottom = 0;
    if (!gtk_widget_translate_coordinates(window.titleBar, window.content, 0,
                                          gtk_widget_get_allocated_height(window.titleBar), &x, &bottom)) {
        return layout;
    }
    layout.layout.y = bottom;
    layout.layout.height = std::max(bounds.height - bottom, 0.0);
    WindowButtons found;
    gtk_container_forall(GTK_CONTAINER(window.headerBar), findWindowButtons, &found);
    for (std::size_t i = 0; i < found.buttons.size(); ++i) {
        GtkWidget* button = found.buttons[i];
        int left = 0;
        int top = 0;
        if (button == nullptr || !gtk_widget_get_mapped(button) ||
            !gtk_widget_translate_coordinates(button, window.content, 0, 0, &left, &top)) {
            continue;
        }
        layout.buttons[i] = RectD{static_cast<double>(left), static_cast<double>(top),
                                  static_cast<double>(gtk_widget_get_allocated_width(button)),
                                  static_cast<double>(gtk_widget_get_allocated_height(button))};
    }
    return layout;
}

void gtkSetToolbarVisible(GtkWindowRecord& window, bool visible) {
    if (window.toolbar != nullptr) gtk_widget_set_visible(window.toolbar, visible);
}

TitlebarDoubleClick gtkTitlebarDoubleClick() {
    gchar* value = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-titlebar-double-click", &value, nullptr);
    GCharPtr owned(value);
    std::string_view action = owned ? std::string_view(owned.get()) : std::string_view{};
    if (action == "minimize") return TitlebarDoubleClick::minimize;
    if (action == "none") return TitlebarDoubleClick::none;
    return TitlebarDoubleClick::zoom;
}

}  // namespace kelvo::standin
