// GTK native views: containers are overlays over a box that paints their background; controls
// are GTK's buttons, check and toggle buttons, linked radio buttons drawn as push buttons (a
// segmented control), entries, labels and spinners. Every view is an overlay child of its
// parent (the window's content or a container), placed at its frame; y points down everywhere.
// Operating a control reaches the host from a main-loop task.
//
// Found while checking GTK 3: a radio button emits "toggled" for the button left as well as for the
// one chosen; setting a toggle's state from code emits "clicked"; each overlay child gets a window
// of its own.
// Adopted widgets keep their own reference: removing one from its container does not free it.

#include <algorithm>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

GtkNativeViewRecord& recordOf(ViewRef ref) { return static_cast<GtkNativeViewRecord&>(placedView(ref)); }
ViewRef refOf(GtkNativeViewRecord& record) { return reinterpret_cast<ViewRef>(static_cast<GtkPlacedView*>(&record)); }

// What an adopted widget is placed by: it fills the container.
GtkPlacedView gFillsContainer{nullptr, {}, true};

void deliverAction(GtkNativeViewRecord& record) {
    if (record.quiet || record.action.deliver == nullptr) return;
    GtkState* state = record.state;
    std::uint64_t number = record.number;
    state->post([state, number] {
        auto found = state->nativeViews.find(number);
        if (found == state->nativeViews.end()) return;
        GtkNativeViewRecord& target = *found->second;
        if (target.action.deliver != nullptr) target.action.deliver(target.action.context, refOf(target));
    });
}

void onClicked(GtkWidget*, gpointer data) { deliverAction(*static_cast<GtkNativeViewRecord*>(data)); }

void onSegmentToggled(GtkToggleButton* button, gpointer data) {
    if (gtk_toggle_button_get_active(button)) deliverAction(*static_cast<GtkNativeViewRecord*>(data));
}

void addCss(GtkNativeViewRecord& record, GtkWidget* widget, const char* css) {
    if (!record.css) record.css.reset(gtk_css_provider_new());
    gtk_css_provider_load_from_data(record.css.get(), css, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(widget), GTK_STYLE_PROVIDER(record.css.get()),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
}

GtkWidget* makeContainer(GtkNativeViewRecord& record, NativeBackground background) {
    GtkWidget* overlay = gtk_overlay_new();
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(overlay), box);
    gtk_widget_show(box);
    if (background != NativeBackground::clear) {
        gtk_style_context_add_class(gtk_widget_get_style_context(box),
                                    background == NativeBackground::window ? "background" : "toolbar");
        addCss(record, box,
               background == NativeBackground::window ? "* { background-color: @theme_bg_color; }"
                                                      : "* { background-color: @theme_base_color; }");
    } else {
        gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), FALSE);
    }
    record.overlay = overlay;
    record.control = box;
    placeViewsIn(overlay);
    return overlay;
}

GtkWidget* makeButton(GtkNativeViewRecord& record, const NativeViewDescription& description, std::string_view title) {
    const std::string text(title);
    GtkWidget* button = nullptr;
    switch (description.control) {
        case NativeControl::checkbox:
            button = gtk_check_button_new_with_label(text.c_str());
            break;
        case NativeControl::toggle_button:
            button = gtk_toggle_button_new_with_label(text.c_str());
            break;
        default:
            button = gtk_button_new_with_label(text.c_str());
            break;
    }
    if (description.control == NativeControl::list_button) {
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        if (GtkWidget* label = gtk_bin_get_child(GTK_BIN(button)); GTK_IS_LABEL(label)) {
            gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
        }
    }
    g_signal_connect(button, "clicked", G_CALLBACK(onClicked), &record);
    return button;
}

GtkWidget* makeControl(GtkNativeViewRecord& record, const NativeViewDescription& description) {
    const std::string title(description.title);
    switch (description.control) {
        case NativeControl::container:
            return makeContainer(record, description.background);
        case NativeControl::segmented: {
            GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
            gtk_style_context_add_class(gtk_widget_get_style_context(box), GTK_STYLE_CLASS_LINKED);
            return box;
        }
        case NativeControl::text_field:
        case NativeControl::search_field: {
            GtkWidget* entry =
                description.control == NativeControl::search_field ? gtk_search_entry_new() : gtk_entry_new();
            gtk_entry_set_placeholder_text(GTK_ENTRY(entry), title.c_str());
            g_signal_connect(entry, "activate", G_CALLBACK(onClicked), &record);
            return entry;
        }
        case NativeControl::label: {
            GtkWidget* label = gtk_label_new(title.c_str());
            gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
            gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
            return label;
        }
        case NativeControl::spinner: {
            GtkWidget* spinner = gtk_spinner_new();
            gtk_spinner_start(GTK_SPINNER(spinner));
            return spinner;
        }
        case NativeControl::canvas:
            return makeCanvasArea(record);
        default:
            return makeButton(record, description, title);
    }
}

AtkRole atkRole(AccessibilityRole role) {
    switch (role) {
        case AccessibilityRole::toolbar:
            return ATK_ROLE_TOOL_BAR;
        case AccessibilityRole::splitter:
            return ATK_ROLE_SPLIT_PANE;
        case AccessibilityRole::button:
            return ATK_ROLE_PUSH_BUTTON;
        case AccessibilityRole::check_box:
            return ATK_ROLE_CHECK_BOX;
        case AccessibilityRole::radio_group:
            return ATK_ROLE_GROUPING;
        case AccessibilityRole::text_field:
            return ATK_ROLE_ENTRY;
        case AccessibilityRole::static_text:
            return ATK_ROLE_LABEL;
        case AccessibilityRole::progress_indicator:
            return ATK_ROLE_PROGRESS_BAR;
        case AccessibilityRole::group:
            break;
    }
    return ATK_ROLE_PANEL;
}

GtkWidget* overlayOf(WindowRef window, ViewRef parent) {
    if (parent == nullptr) return reinterpret_cast<GtkWindowRecord*>(window)->content;
    return recordOf(parent).overlay;
}

ViewRef create(void* self, WindowRef window, ViewRef parent, const NativeViewDescription& description) {
    GtkState& state = gtkState(self);
    GtkWidget* into = overlayOf(window, parent);
    if (into == nullptr) return nullptr;  // only containers hold views
    auto record = std::make_unique<GtkNativeViewRecord>();
    record->state = &state;
    record->number = state.nextNativeView++;
    record->parent = parent != nullptr ? recordOf(parent).number : 0;
    record->kind = description.control;
    GtkWidget* widget = makeControl(*record, description);
    if (widget == nullptr) return nullptr;
    record->widget = widget;
    if (record->control == nullptr) record->control = widget;
    const std::string name(description.identifier);
    gtk_widget_set_name(widget, name.c_str());
    atk_object_set_role(gtk_widget_get_accessible(record->control), atkRole(description.role));
    markPlaced(widget, record.get());
    placeViewsIn(into);
    gtk_overlay_add_overlay(GTK_OVERLAY(into), widget);
    auto [entry, added] = state.nativeViews.emplace(record->number, std::move(record));
    return refOf(*entry->second);
}

void destroy(void* self, ViewRef ref) {
    GtkState& state = gtkState(self);
    GtkNativeViewRecord& record = recordOf(ref);
    // The records of the views inside it go with it; GTK destroys their widgets with its own.
    std::vector<std::uint64_t> gone{record.number};
    for (std::size_t i = 0; i < gone.size(); ++i) {
        for (auto& [number, view] : state.nativeViews) {
            if (view->parent == gone[i]) gone.push_back(number);
        }
    }
    for (std::uint64_t number : gone) {
        GtkNativeViewRecord& view = *state.nativeViews.at(number);
        g_signal_handlers_disconnect_by_data(view.widget, &view);
        for (GtkWidget* segment : view.segments) g_signal_handlers_disconnect_by_data(segment, &view);
    }
    gtk_widget_destroy(record.widget);
    for (std::uint64_t number : gone) state.nativeViews.erase(number);
}

ContainerBox container(void*, WindowRef window, ViewRef ref) {
    if (ref != nullptr) return ContainerBox{recordOf(ref).frame.width, recordOf(ref).frame.height, true};
    // The window's content: its client area below the menu bar.
    GtkWindowRecord& record = *reinterpret_cast<GtkWindowRecord*>(window);
    int width = 0;
    int height = 0;
    gtk_window_get_size(GTK_WINDOW(record.window), &width, &height);
    return ContainerBox{static_cast<double>(width), static_cast<double>(std::max(height - gtkMenuBarHeight(record), 0)),
                        true};
}

void setFrame(void*, ViewRef ref, RectD frame) {
    GtkNativeViewRecord& record = recordOf(ref);
    record.frame = frame;
    gtk_widget_queue_resize(record.widget);
}

void setHidden(void*, ViewRef ref, bool hidden) {
    GtkNativeViewRecord& record = recordOf(ref);
    if (hidden) {
        gtk_widget_hide(record.widget);
    } else {
        gtk_widget_show(record.widget);
        if (record.control != record.widget) gtk_widget_show(record.control);
        for (GtkWidget* segment : record.segments) gtk_widget_show(segment);
    }
}

// Views inside a container stack by depth; the window's top views are stacked by the host.
void setDepth(void* self, ViewRef ref, std::int64_t depth) {
    GtkState& state = gtkState(self);
    GtkNativeViewRecord& record = recordOf(ref);
    record.depth = depth;
    if (record.parent == 0) return;
    std::vector<GtkNativeViewRecord*> siblings;
    for (auto& [number, view] : state.nativeViews) {
        if (view->parent == record.parent) siblings.push_back(view.get());
    }
    std::stable_sort(siblings.begin(), siblings.end(),
                     [](const GtkNativeViewRecord* a, const GtkNativeViewRecord* b) { return a->depth < b->depth; });
    GtkWidget* overlay = state.nativeViews.at(record.parent)->overlay;
    for (GtkNativeViewRecord* view : siblings) gtk_overlay_reorder_overlay(GTK_OVERLAY(overlay), view->widget, -1);
}

void setEnabled(void*, ViewRef ref, bool enabled) { gtk_widget_set_sensitive(recordOf(ref).widget, enabled); }

void setText(void*, ViewRef ref, NativeText which, std::string_view text) {
    GtkNativeViewRecord& record = recordOf(ref);
    const std::string value(text);
    GtkWidget* widget = record.control;
    if (which == NativeText::title && GTK_IS_BUTTON(widget)) gtk_button_set_label(GTK_BUTTON(widget), value.c_str());
    if (which == NativeText::placeholder && GTK_IS_ENTRY(widget)) {
        gtk_entry_set_placeholder_text(GTK_ENTRY(widget), value.c_str());
    }
    if (which == NativeText::value && GTK_IS_LABEL(widget)) gtk_label_set_text(GTK_LABEL(widget), value.c_str());
    if (which == NativeText::value && GTK_IS_ENTRY(widget)) gtk_entry_set_text(GTK_ENTRY(widget), value.c_str());
}

void setSegments(void*, ViewRef ref, std::span<const std::string> labels) {
    GtkNativeViewRecord& record = recordOf(ref);
    int selected = -1;
    for (std::size_t i = 0; i < record.segments.size(); ++i) {
        if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(record.segments[i]))) selected = static_cast<int>(i);
    }
    record.quiet = true;
    for (GtkWidget* segment : record.segments) gtk_widget_destroy(segment);
    record.segments.clear();
    GtkRadioButton* group = nullptr;
    for (const std::string& label : labels) {
        GtkWidget* segment = gtk_radio_button_new_with_label_from_widget(group, label.c_str());
        gtk_toggle_button_set_mode(GTK_TOGGLE_BUTTON(segment), FALSE);
        group = GTK_RADIO_BUTTON(segment);
        gtk_box_pack_start(GTK_BOX(record.widget), segment, TRUE, TRUE, 0);
        g_signal_connect(segment, "toggled", G_CALLBACK(onSegmentToggled), &record);
        if (gtk_widget_get_visible(record.widget)) gtk_widget_show(segment);
        record.segments.push_back(segment);
    }
    if (selected < 0 || selected >= static_cast<int>(labels.size())) selected = 0;
    if (!record.segments.empty()) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(record.segments[static_cast<std::size_t>(selected)]), TRUE);
    }
    record.quiet = false;
}

void setAccessibilityLabel(void*, ViewRef ref, std::string_view label) {
    const std::string name(label);
    atk_object_set_name(gtk_widget_get_accessible(recordOf(ref).control), name.c_str());
}

void setAction(void*, ViewRef ref, NativeActionSink sink) { recordOf(ref).action = sink; }

bool focus(void*, ViewRef ref, WindowRef front) {
    if (front != nullptr) gtk_window_present(GTK_WINDOW(reinterpret_cast<GtkWindowRecord*>(front)->window));
    GtkWidget* widget = placedView(ref).widget;
    if (!gtk_widget_get_can_focus(widget)) {
        // A container or a segmented control: the first of its parts that takes the keyboard.
        if (!GTK_IS_CONTAINER(widget) || !gtk_widget_child_focus(widget, GTK_DIR_TAB_FORWARD)) return false;
        return true;
    }
    gtk_widget_grab_focus(widget);
    return gtk_widget_is_focus(widget) != FALSE;
}

bool isAdopted(GtkState& state, GtkWidget* widget) {
    return std::find(state.adoptedSurfaces.begin(), state.adoptedSurfaces.end(), widget) != state.adoptedSurfaces.end();
}

bool canAdopt(void* self, ViewRef ref, void* surface) {
    auto* object = static_cast<GTypeInstance*>(surface);
    if (!G_TYPE_CHECK_INSTANCE_TYPE(object, GTK_TYPE_WIDGET)) return false;
    GtkWidget* widget = GTK_WIDGET(surface);
    // Only containers hold views, and a widget lives in one place at a time.
    return recordOf(ref).overlay != nullptr &&
           (gtk_widget_get_parent(widget) == nullptr || isAdopted(gtkState(self), widget));
}

gboolean onSurfacePress(GtkWidget*, GdkEventButton* event, gpointer) {
    if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
    GtkWidget* hit = gtk_get_event_widget(reinterpret_cast<GdkEvent*>(event));
    if (hit != nullptr && gtk_widget_get_can_focus(hit) && !gtk_widget_is_focus(hit)) gtk_widget_grab_focus(hit);
    return FALSE;
}

void watchPresses(GtkWidget* surface) {
    gtk_widget_add_events(surface, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(surface, "button-press-event", G_CALLBACK(onSurfacePress), nullptr);
}

void adopt(void* self, ViewRef ref, void* surface) {
    GtkState& state = gtkState(self);
    GtkWidget* widget = GTK_WIDGET(surface);
    markPlaced(widget, &gFillsContainer);
    gtk_overlay_add_overlay(GTK_OVERLAY(recordOf(ref).overlay), widget);
    gtk_widget_show(widget);
    state.adoptedSurfaces.push_back(widget);
    if (state.focusAdoptedOnClick) watchPresses(widget);
    gtk_widget_grab_focus(widget);
}

void detach(void* self, void* surface) {
    GtkState& state = gtkState(self);
    GtkWidget* widget = GTK_WIDGET(surface);
    std::erase(state.adoptedSurfaces, widget);
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(onSurfacePress), nullptr);
    markPlaced(widget, nullptr);
    if (GtkWidget* parent = gtk_widget_get_parent(widget)) gtk_container_remove(GTK_CONTAINER(parent), widget);
}

void focusAdoptedOnClick(void* self) {
    GtkState& state = gtkState(self);
    if (state.focusAdoptedOnClick) return;
    state.focusAdoptedOnClick = true;
    for (GtkWidget* surface : state.adoptedSurfaces) watchPresses(surface);
}

bool focusInAdopted(void* self, WindowRef window) {
    GtkState& state = gtkState(self);
    for (GtkWidget* at = gtk_window_get_focus(GTK_WINDOW(reinterpret_cast<GtkWindowRecord*>(window)->window));
         at != nullptr; at = gtk_widget_get_parent(at)) {
        if (isAdopted(state, at)) return true;
    }
    return false;
}

}  // namespace

NativeViewService gtkNativeViews() {
    NativeViewService service;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_NATIVE_VIEW_FUNCTIONS)
    return service;
}

}  // namespace kelvo::standin
