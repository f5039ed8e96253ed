// The title bar of a window whose content fills the whole window: a header bar drawn by the
// application over the top of the content, transparent, without a title, with the window's
// buttons and the menu button that opens the application's menu; a window with the tall toolbar
// has an empty toolbar joined below it, hidden while the window is in full screen. The window
// draws its own decorations (GTK's client-side frame), so no window manager frame lies above the
// content.
//
// The title bar takes only what lands on its buttons: every other click, movement and wheel turn
// goes through it to the page, canvas or native view beneath, which may place controls there (the
// chrome insets say where the buttons are). Moving the window is the page's to ask for, as is
// what a double click does.
//
// Found while checking GTK under Xvfb: a header bar that is the window's own title bar is always
// laid out above the content, never over it, so the window gets an empty, hidden title bar (which
// keeps GTK's client-side frame: its resize edges, and its shadow where a compositor runs) and
// the header bar lies in an overlay over the content instead. An overlay child that passes input
// through still gives it to the child widgets with windows of their own, which every button has.
// The frame GTK draws around such a window (5 pixels without a compositor, the shadow with one) is
// known once the window is realised. The tall toolbar is a plain box of the height that a toolbar
// holding one large button has in the default theme: a GtkToolbar would take the pointer over its
// whole area.

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

constexpr int kTallToolbarHeight = 42;

constexpr const char* kTitleBarLook = "headerbar, box { background: none; border: none; box-shadow: none; }";

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

// The title bar's height changes when the toolbar shows or hides: the content's layout changed.
void onTitleBarAllocated(GtkWidget*, GdkRectangle* allocation, gpointer data) {
    auto& window = *static_cast<GtkWindowRecord*>(data);
    if (allocation->height == window.titleBarHeight) return;
    const bool first = window.titleBarHeight == 0;
    window.titleBarHeight = allocation->height;
    if (!first) gtkDeliverLater(window, WindowEventKind::content_layout_changed);
}

// Whether the desktop puts the window's buttons at the start of a title bar (a decoration layout
// such as "close,minimize,maximize:menu").
bool windowButtonsAtStart() {
    gchar* layout = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-decoration-layout", &layout, nullptr);
    GCharPtr owned(layout);
    if (!owned) return false;
    std::string_view text(owned.get());
    std::string_view start = text.substr(0, text.find(':'));
    for (std::string_view button : {"close", "minimize", "maximize"}) {
        if (start.find(button) != std::string_view::npos) return true;
    }
    return false;
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
    window.menuButton = button;
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

// Where a shown button lies in the window's content; none when it is not shown.
std::optional<RectD> placeIn(const GtkWindowRecord& window, GtkWidget* button) {
    int left = 0;
    int top = 0;
    if (button == nullptr || !gtk_widget_get_mapped(button) ||
        !gtk_widget_translate_coordinates(button, window.content, 0, 0, &left, &top)) {
        return std::nullopt;
    }
    return RectD{static_cast<double>(left), static_cast<double>(top),
                 static_cast<double>(gtk_widget_get_allocated_width(button)),
                 static_cast<double>(gtk_widget_get_allocated_height(button))};
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
    // The menu button sits beside the window's buttons, so that together they make one area.
    if (windowButtonsAtStart()) {
        gtk_header_bar_pack_start(GTK_HEADER_BAR(window.headerBar), menuButton(window));
    } else {
        gtk_header_bar_pack_end(GTK_HEADER_BAR(window.headerBar), menuButton(window));
    }
    lookTransparent(state, window.headerBar);

    window.titleBar = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_pack_start(GTK_BOX(window.titleBar), window.headerBar, FALSE, FALSE, 0);
    gtk_widget_show(window.headerBar);
    if (tallToolbar) {
        window.toolbar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
        gtk_widget_set_name(window.toolbar, "kelvo-tall-titlebar");
        gtk_widget_set_size_request(window.toolbar, -1, kTallToolbarHeight);
        lookTransparent(state, window.toolbar);
        gtk_box_pack_start(GTK_BOX(window.titleBar), window.toolbar, FALSE, FALSE, 0);
        gtk_widget_show(window.toolbar);
    }
    gtk_widget_set_valign(window.titleBar, GTK_ALIGN_START);
    lookTransparent(state, window.titleBar);
    g_signal_connect(window.titleBar, "size-allocate", G_CALLBACK(onTitleBarAllocated), &window);
    gtk_overlay_add_overlay(GTK_OVERLAY(frame), window.titleBar);
    gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(frame), window.titleBar, TRUE);
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
    for (std::size_t i = 0; i < found.buttons.size(); ++i) layout.buttons[i] = placeIn(window, found.buttons[i]);
    layout.menuButton = placeIn(window, window.menuButton);
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
