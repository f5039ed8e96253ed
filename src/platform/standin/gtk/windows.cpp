// GTK windows. A window's frame is its content area: with static gravity GTK places and reports
// the client window itself, whatever decorations a window manager adds around it; a window with a
// menu bar has its content below the bar, so its frame is the client area less the bar; a window
// whose title bar lies over its content (title_bar.cpp) draws its own frame around the content,
// so its frame is the client area inside that.
//
// Found while checking GTK under Xvfb: without a window manager "is-active" flips on, off and on
// again as a window is presented, so the host waits a turn before it reports activation; a
// non-resizable window takes the size its content asks for, so the content asks for the size.

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

GtkWindowRecord& recordOf(WindowRef ref) { return *reinterpret_cast<GtkWindowRecord*>(ref); }
WindowRef refOf(GtkWindowRecord& record) { return reinterpret_cast<WindowRef>(&record); }
GtkWindow* gtkWindow(WindowRef ref) { return GTK_WINDOW(recordOf(ref).window); }

// The application icon's window sizes as the list GTK takes (it refs what it keeps); free with
// g_list_free.
GList* windowIconList(const GtkState& state) {
    GList* list = nullptr;
    for (const auto& icon : state.windowIcons) list = g_list_append(list, icon.get());
    return list;
}

void deliverLater(GtkWindowRecord& record, WindowEventKind kind, std::string paths = {}) {
    gtkDeliverLater(record, kind, std::move(paths));
}

gboolean onConfigure(GtkWidget*, GdkEventConfigure*, gpointer data) {
    auto& record = *static_cast<GtkWindowRecord*>(data);
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    gtk_window_get_position(GTK_WINDOW(record.window), &x, &y);
    gtk_window_get_size(GTK_WINDOW(record.window), &width, &height);
    if (x != record.x || y != record.y) deliverLater(record, WindowEventKind::moved);
    if (width != record.width || height != record.height) deliverLater(record, WindowEventKind::resized);
    record.x = x;
    record.y = y;
    record.width = width;
    record.height = height;
    return FALSE;
}

void onActiveChanged(GObject*, GParamSpec*, gpointer data) {
    auto& record = *static_cast<GtkWindowRecord*>(data);
    bool active = gtk_window_is_active(GTK_WINDOW(record.window)) != FALSE;
    if (active == record.active) return;
    record.active = active;
    deliverLater(record, active ? WindowEventKind::became_key : WindowEventKind::resigned_key);
}

gboolean onDelete(GtkWidget*, GdkEvent*, gpointer data) {
    // The host decides: it closes the window itself.
    deliverLater(*static_cast<GtkWindowRecord*>(data), WindowEventKind::close_requested);
    return TRUE;
}

gboolean onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto& record = *static_cast<GtkWindowRecord*>(data);
    record.maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    const bool iconified = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if (iconified != record.iconified) {
        record.iconified = iconified;
        deliverLater(record, WindowEventKind::occlusion_changed);
    }
    bool fullScreen = (event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN) != 0;
    if (fullScreen != record.fullScreen) {
        record.fullScreen = fullScreen;
        deliverLater(record,
                     fullScreen ? WindowEventKind::did_enter_full_screen : WindowEventKind::did_exit_full_screen);
    }
    return FALSE;
}

gboolean onVisibility(GtkWidget*, GdkEventVisibility* event, gpointer data) {
    auto& record = *static_cast<GtkWindowRecord*>(data);
    const bool obscured = event->state == GDK_VISIBILITY_FULLY_OBSCURED;
    if (obscured != record.obscured) {
        record.obscured = obscured;
        deliverLater(record, WindowEventKind::occlusion_changed);
    }
    return FALSE;
}

void onDragDataReceived(GtkWidget*, GdkDragContext*, gint, gint, GtkSelectionData* data, guint, guint, gpointer user) {
    std::string paths = droppedPaths(data);
    if (!paths.empty()) deliverLater(*static_cast<GtkWindowRecord*>(user), WindowEventKind::files_dropped, paths);
}

std::optional<RectD> screenVisibleFrame(void*);

WindowRef create(void* self, const WindowDescription& description) {
    GtkState& state = gtkState(self);
    if (!state.opened) return nullptr;
    auto record = std::make_unique<GtkWindowRecord>();
    record->state = &state;
    record->number = state.nextWindow++;
    record->events = description.events;

    GtkWidget* widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(widget);
    record->window = widget;
    std::string title(description.title);
    gtk_window_set_title(window, title.c_str());
    gtk_window_set_gravity(window, GDK_GRAVITY_STATIC);
    gtk_window_set_decorated(window, (description.style & kStyleTitled) != 0);
    gtk_window_set_deletable(window, (description.style & kStyleClosable) != 0);
    const bool resizable = (description.style & kStyleResizable) != 0;
    gtk_window_set_resizable(window, resizable);
    if (!state.windowIcons.empty()) {
        GList* icons = windowIconList(state);
        gtk_window_set_icon_list(window, icons);
        g_list_free(icons);
    }

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_container_add(GTK_CONTAINER(widget), column);
    gtk_widget_show(column);
    if (description.menuBar) {
        record->menuBar = gtk_menu_bar_new();
        gtk_box_pack_start(GTK_BOX(column), record->menuBar, FALSE, FALSE, 0);
        gtkAttachWindowMenu(*record, GTK_MENU_SHELL(record->menuBar));
        gtk_widget_show(record->menuBar);
    }
    record->content = gtk_overlay_new();
    if (description.transparentTitlebar) {
        // The content fills the window and the title bar lies over its top.
        GtkWidget* frame = gtk_overlay_new();
        gtk_container_add(GTK_CONTAINER(frame), record->content);
        gtk_box_pack_start(GTK_BOX(column), frame, TRUE, TRUE, 0);
        gtk_widget_show(frame);
        gtkAddTitleBar(*record, frame, description.tallToolbar);
    } else {
        gtk_box_pack_start(GTK_BOX(column), record->content, TRUE, TRUE, 0);
    }
    gtk_widget_show(record->content);

    const int width = static_cast<int>(description.content.width);
    int height = static_cast<int>(description.content.height);
    const int bar = gtkMenuBarHeight(*record);
    std::optional<RectD> area = bar > 0 && !description.centre ? screenVisibleFrame(self) : std::nullopt;
    // The content was fitted into the work area; the menu bar above it must fit there too.
    if (area) height = std::min(height, std::max(static_cast<int>(area->height) - bar, 1));
    gtk_window_set_default_size(window, width, height + bar);
    if (!resizable) gtk_widget_set_size_request(record->content, width, height);
    // The frame a window draws around its content is laid out once the window is realised.
    if (record->titleBar != nullptr) gtk_widget_realize(widget);
    if (description.centre) {
        gtk_window_set_position(window, GTK_WIN_POS_CENTER);
    } else {
        const GdkPoint offset = gtkContentOffset(*record);
        int left = static_cast<int>(description.content.x) - offset.x;
        int top = static_cast<int>(description.content.y) - offset.y;
        // The menu bar lies above the content: a content placed at the top of the work area
        // would put the bar above it, over the desktop's panel, and one placed at its bottom would
        // end below it. The window stays inside.
        if (area) {
            top = std::min(top, static_cast<int>(area->y + area->height) - bar - height);
            top = std::max(top, static_cast<int>(area->y));
        }
        gtk_window_move(window, left, top);
    }

    static GtkTargetEntry uriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_drag_dest_set(widget, GTK_DEST_DEFAULT_ALL, &uriList, 1, GDK_ACTION_COPY);

    GtkWindowRecord* data = record.get();
    g_signal_connect(widget, "configure-event", G_CALLBACK(onConfigure), data);
    g_signal_connect(widget, "notify::is-active", G_CALLBACK(onActiveChanged), data);
    g_signal_connect(widget, "delete-event", G_CALLBACK(onDelete), data);
    g_signal_connect(widget, "window-state-event", G_CALLBACK(onWindowState), data);
    g_signal_connect(widget, "drag-data-received", G_CALLBACK(onDragDataReceived), data);
    gtk_widget_add_events(widget, GDK_VISIBILITY_NOTIFY_MASK);
    g_signal_connect(widget, "visibility-notify-event", G_CALLBACK(onVisibility), data);

    gtk_window_get_position(window, &record->x, &record->y);
    gtk_window_get_size(window, &record->width, &record->height);
    auto [entry, added] = state.windows.emplace(record->number, std::move(record));
    return refOf(*entry->second);
}

void destroy(void* self, WindowRef ref) {
    GtkState& state = gtkState(self);
    GtkWindowRecord& record = recordOf(ref);
    g_signal_handlers_disconnect_by_data(record.window, &record);
    if (record.titleBar != nullptr) g_signal_handlers_disconnect_by_data(record.titleBar, &record);
    gtk_widget_destroy(record.window);
    state.windows.erase(record.number);
}

void orderFront(void*, WindowRef ref) {
    gtk_widget_show(recordOf(ref).window);
    gtk_window_present(gtkWindow(ref));
}

// X11 has no application to bring forward apart from its windows, which orderFront presents.
void activateApp(void*) {}

void miniaturize(void*, WindowRef ref) { gtk_window_iconify(gtkWindow(ref)); }

void zoom(void*, WindowRef ref) {
    if (recordOf(ref).maximized) {
        gtk_window_unmaximize(gtkWindow(ref));
    } else {
        gtk_window_maximize(gtkWindow(ref));
    }
}

void setTitle(void*, WindowRef ref, std::string_view title) {
    std::string text(title);
    gtk_window_set_title(gtkWindow(ref), text.c_str());
}

// What the window adds to its content: the menu bar above it, or the frame a window that draws
// its own decorations has around it. GTK applies a minimum size to the whole window.
GdkPoint aroundContent(const GtkWindowRecord& record) {
    if (record.titleBar == nullptr) return GdkPoint{0, gtkMenuBarHeight(record)};
    GtkAllocation outer{};
    GtkAllocation inner{};
    gtk_widget_get_allocation(record.window, &outer);
    gtk_widget_get_allocation(record.content, &inner);
    return GdkPoint{std::max(outer.width - inner.width, 0), std::max(outer.height - inner.height, 0)};
}

void setContentMinSize(void*, WindowRef ref, double width, double height) {
    const GdkPoint around = aroundContent(recordOf(ref));
    GdkGeometry geometry{};
    geometry.min_width = static_cast<gint>(width) + around.x;
    geometry.min_height = static_cast<gint>(height) + around.y;
    gtk_window_set_geometry_hints(gtkWindow(ref), nullptr, &geometry, GDK_HINT_MIN_SIZE);
}

void setBackground(void*, WindowRef ref, std::uint32_t rgba) {
    GtkWindowRecord& record = recordOf(ref);
    if (!record.background) {
        record.background.reset(gtk_css_provider_new());
        gtk_style_context_add_provider(gtk_widget_get_style_context(record.window),
                                       GTK_STYLE_PROVIDER(record.background.get()),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    }
    char css[96];
    std::snprintf(css, sizeof css, "window { background-color: rgba(%u, %u, %u, %.4f); }", (rgba >> 24) & 0xFF,
                  (rgba >> 16) & 0xFF, (rgba >> 8) & 0xFF, static_cast<double>(rgba & 0xFF) / 255.0);
    gtk_css_provider_load_from_data(record.background.get(), css, -1, nullptr);
}

void setToolbarVisible(void*, WindowRef ref, bool visible) { gtkSetToolbarVisible(recordOf(ref), visible); }

WindowGeometry geometry(void*, WindowRef ref) {
    GtkWindowRecord& record = recordOf(ref);
    GtkWindow* window = gtkWindow(ref);
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    gtk_window_get_position(window, &x, &y);
    gtk_window_get_size(window, &width, &height);
    const int bar = gtkMenuBarHeight(record);
    const GdkPoint offset = gtkContentOffset(record);
    WindowGeometry geometry;
    geometry.content = RectD{static_cast<double>(x + offset.x), static_cast<double>(y + offset.y),
                             static_cast<double>(width), static_cast<double>(std::max(height - bar, 0))};
    geometry.scale = gtk_widget_get_scale_factor(record.window);
    geometry.key = gtk_window_is_active(window) != FALSE;
    geometry.visible = gtk_widget_get_visible(record.window) != FALSE;
    geometry.onScreen =
        geometry.visible && gtk_widget_get_mapped(record.window) && !record.iconified && !record.obscured;
    return geometry;
}

// A window manager's title bar and a menu bar lie outside the content: nothing covers it. A title
// bar drawn over the content covers its top.
ChromeLayout chrome(void* self, WindowRef ref) {
    WindowGeometry now = geometry(self, ref);
    return gtkTitleBarChrome(recordOf(ref), RectD{0, 0, now.content.width, now.content.height});
}

std::optional<RectD> screenVisibleFrame(void*) {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr) return std::nullopt;
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return std::nullopt;
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    return RectD{static_cast<double>(area.x), static_cast<double>(area.y), static_cast<double>(area.width),
                 static_cast<double>(area.height)};
}

PointerEvent currentPointerEvent(void* self) {
    GdkEvent* event = gtk_get_current_event();
    if (event == nullptr) {
        // Between events (a page's script message): the left press as last seen, while it was
        // not seen released nor handed to a move.
        const GtkLeftButton& left = gtkState(self).leftButton;
        if (!left.held) return {};
        return left.dragged ? PointerEvent{PointerPhase::left_dragged, 0}
                            : PointerEvent{PointerPhase::left_down, left.clickCount, left.pressTime};
    }
    PointerEvent pointer;
    guint button = 0;
    GdkModifierType state{};
    gdk_event_get_button(event, &button);
    gdk_event_get_state(event, &state);
    switch (gdk_event_get_event_type(event)) {
        case GDK_BUTTON_PRESS:
            if (button == 1) pointer = {PointerPhase::left_down, 1, gdk_event_get_time(event)};
            break;
        case GDK_2BUTTON_PRESS:
            if (button == 1) pointer = {PointerPhase::left_down, 2, gdk_event_get_time(event)};
            break;
        case GDK_3BUTTON_PRESS:
            if (button == 1) pointer = {PointerPhase::left_down, 3, gdk_event_get_time(event)};
            break;
        case GDK_MOTION_NOTIFY:
            if (state & GDK_BUTTON1_MASK) pointer = {PointerPhase::left_dragged, 0};
            break;
        default:
            break;
    }
    gdk_event_free(event);
    return pointer;
}

// Asked of the X server, not of the events: the release of a press that began a move goes to
// the window manager (or to GDK's own move where none runs) and never reaches the windows.
bool leftButtonDown(void*) {
    GdkDisplay* display = gdk_display_get_default();
    GdkDevice* pointer = display != nullptr ? gdk_seat_get_pointer(gdk_display_get_default_seat(display)) : nullptr;
    if (pointer == nullptr) return false;
    GdkModifierType mask{};
    gdk_device_get_state(pointer, gdk_get_default_root_window(), nullptr, &mask);
    return (mask & GDK_BUTTON1_MASK) != 0;
}

TitlebarDoubleClick titlebarDoubleClick(void*) { return gtkTitlebarDoubleClick(); }

// The move takes the press over, and its release is never seen here: the press is forgotten, so
// that a later request without a new press (a right click, a page's timer) moves nothing.
void beginMoveDrag(void* self, WindowRef ref) {
    GtkLeftButton& left = gtkState(self).leftButton;
    GdkEvent* event = gtk_get_current_event();
    if (event == nullptr) {
        if (!left.held) return;
        left.held = false;
        gtk_window_begin_move_drag(gtkWindow(ref), GDK_BUTTON_PRIMARY, static_cast<gint>(left.rootX),
                                   static_cast<gint>(left.rootY), left.time);
        return;
    }
    left.held = false;
    gdouble rootX = 0;
    gdouble rootY = 0;
    gdk_event_get_root_coords(event, &rootX, &rootY);
    gtk_window_begin_move_drag(gtkWindow(ref), 1, static_cast<gint>(rootX), static_cast<gint>(rootY),
                               gdk_event_get_time(event));
    gdk_event_free(event);
}

// The window manager reads a window's icon from one X property (_NET_WM_ICON) that carries every
// size, and GDK silently drops the whole list when the property would pass its request limit
// (262,144 32-bit items): a 1,024-pixel icon alone is four times that. So windows get the icon in
// the sizes desktops show, at most 256 pixels; the About panel shows the full picture scaled.
constexpr int kWindowIconSides[] = {256, 128, 64, 48, 32, 16};

void adoptAppIcon(GtkState& state, GdkPixbuf* icon) {
    state.appIcon.reset(icon);
    state.windowIcons.clear();
    const int width = gdk_pixbuf_get_width(icon);
    const int height = gdk_pixbuf_get_height(icon);
    const int side = std::max(width, height);
    if (side <= kWindowIconSides[0]) state.windowIcons.emplace_back(GDK_PIXBUF(g_object_ref(icon)));
    for (int target : kWindowIconSides) {
        if (target >= side) continue;
        const int scaledWidth = std::max(1, width * target / side);
        const int scaledHeight = std::max(1, height * target / side);
        GdkPixbuf* scaled = gdk_pixbuf_scale_simple(icon, scaledWidth, scaledHeight, GDK_INTERP_HYPER);
        if (scaled != nullptr) state.windowIcons.emplace_back(scaled);
    }
    GList* list = windowIconList(state);
    gtk_window_set_default_icon_list(list);
    for (auto& [number, record] : state.windows) gtk_window_set_icon_list(GTK_WINDOW(record->window), list);
    g_list_free(list);
}

void setAppIcon(void* self, const RgbaImage& image) {
    const gsize bytes = gsize{image.width} * image.height * 4;
    GBytes* pixels = g_bytes_new(image.pixels, bytes);
    GdkPixbuf* icon = gdk_pixbuf_new_from_bytes(pixels, GDK_COLORSPACE_RGB, TRUE, 8, static_cast<int>(image.width),
                                                static_cast<int>(image.height), static_cast<int>(image.width * 4));
    g_bytes_unref(pixels);  // the image keeps its own reference
    adoptAppIcon(gtkState(self), icon);
}

bool setAppIconFromFile(void* self, std::string_view path) {
    std::string file(path);
    GError* error = nullptr;
    GdkPixbuf* icon = gdk_pixbuf_new_from_file(file.c_str(), &error);
    GErrorPtr failed(error);
    if (icon == nullptr) return false;
    adoptAppIcon(gtkState(self), icon);
    return true;
}

}  // namespace

void gtkDeliverLater(GtkWindowRecord& record, WindowEventKind kind, std::string paths) {
    GtkState* state = record.state;
    std::uint64_t number = record.number;
    state->post([state, number, kind, paths = std::move(paths)] {
        auto entry = state->windows.find(number);
        if (entry == state->windows.end()) return;
        GtkWindowRecord& target = *entry->second;
        if (target.events.deliver != nullptr) {
            target.events.deliver(target.events.context, refOf(target), WindowEvent{kind, paths});
        }
    });
}

GdkPoint gtkContentOffset(const GtkWindowRecord& window) {
    if (window.titleBar == nullptr) return GdkPoint{0, gtkMenuBarHeight(window)};
    // The content's allocation is in the toplevel's GDK window: no container on the way has one.
    GtkAllocation content{};
    gtk_widget_get_allocation(window.content, &content);
    return GdkPoint{std::max(content.x, 0), std::max(content.y, 0)};
}

std::string droppedPaths(GtkSelectionData* data) {
    GStrvPtr uris(gtk_selection_data_get_uris(data));
    std::string paths;
    if (!uris) return paths;
    for (gchar** uri = uris.get(); *uri != nullptr; ++uri) {
        GCharPtr path(g_filename_from_uri(*uri, nullptr, nullptr));
        if (!path || path.get()[0] == '\0') continue;
        if (!paths.empty()) paths.push_back('\0');
        paths.append(path.get());
    }
    return paths;
}

WindowService gtkWindows() {
    WindowService windows;
    KELVO_STANDIN_FILL(windows, KELVO_STANDIN_WINDOW_FUNCTIONS)
    return windows;
}

}  // namespace kelvo::standin
