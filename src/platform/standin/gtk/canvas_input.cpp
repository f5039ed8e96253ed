// GTK canvas views' input: the drawing area's button, motion, leave, scroll and key events, and a
// GTK input method for composed text. Handlers copy what they need and post it; the view's sink
// gets it on the main queue when the view still exists.
//
// What surprised: GTK 3 sends a second press event (GDK_2BUTTON_PRESS) after the second press of
// a double click, so only plain presses count; and the input method answers a key synchronously
// from inside gtk_im_context_filter_keypress, so its text is gathered there and sent after the
// key, in order.

#include <cstring>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

// How far one step of a wheel, or one unit of GDK's smooth deltas, moves the content.
constexpr double kPointsPerScrollUnit = 40.0;

GtkNativeViewRecord& recordOf(ViewRef ref) { return static_cast<GtkNativeViewRecord&>(placedView(ref)); }
GtkNativeViewRecord& recordOf(gpointer data) { return *static_cast<GtkNativeViewRecord*>(data); }

void deliverAll(GtkNativeViewRecord& record, std::vector<CanvasInputEvent> events) {
    if (record.input.sink.deliver == nullptr || events.empty()) return;
    GtkState* state = record.state;
    const std::uint64_t number = record.number;
    state->post([state, number, events = std::move(events)] {
        for (const CanvasInputEvent& event : events) {
            auto found = state->nativeViews.find(number);
            if (found == state->nativeViews.end()) return;
            GtkNativeViewRecord& target = *found->second;
            if (target.input.sink.deliver == nullptr) return;
            target.input.sink.deliver(target.input.sink.context, reinterpret_cast<ViewRef>(&target), event);
        }
    });
}

void deliver(GtkNativeViewRecord& record, CanvasInputEvent event) {
    std::vector<CanvasInputEvent> one;
    one.push_back(std::move(event));
    deliverAll(record, std::move(one));
}

// X buttons 1 left, 2 middle, 3 right, 8 and 9 back and forward; 4 to 7 are wheel steps.
std::int32_t buttonOf(guint button) {
    switch (button) {
        case 1:
            return 0;
        case 2:
            return 2;
        case 3:
            return 1;
        default:
            return button >= 8 ? static_cast<std::int32_t>(button) - 5 : static_cast<std::int32_t>(button);
    }
}

std::optional<std::int32_t> heldButton(guint state) {
    if (state & GDK_BUTTON1_MASK) return 0;
    if (state & GDK_BUTTON3_MASK) return 1;
    if (state & GDK_BUTTON2_MASK) return 2;
    return std::nullopt;
}

gboolean onButton(GtkWidget* widget, GdkEventButton* event, gpointer data) {
    if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) return TRUE;
    CanvasInputEvent input;
    input.type = event->type == GDK_BUTTON_PRESS ? CanvasInputType::pointerDown : CanvasInputType::pointerUp;
    input.x = event->x;
    input.y = event->y;
    input.button = buttonOf(event->button);
    input.modifiers = heldKeys(event->state);
    if (event->type == GDK_BUTTON_PRESS && !gtk_widget_has_focus(widget)) gtk_widget_grab_focus(widget);
    deliver(recordOf(data), input);
    return TRUE;
}

gboolean onMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    CanvasInputEvent input;
    const std::optional<std::int32_t> held = heldButton(event->state);
    input.type = held ? CanvasInputType::pointerDrag : CanvasInputType::pointerMove;
    input.x = event->x;
    input.y = event->y;
    input.button = held.value_or(0);
    input.modifiers = heldKeys(event->state);
    deliver(recordOf(data), input);
    return TRUE;
}

gboolean onLeave(GtkWidget*, GdkEventCrossing* event, gpointer data) {
    // Entering a child window is not leaving; grabs come and go with every press.
    if (event->detail == GDK_NOTIFY_INFERIOR || event->mode != GDK_CROSSING_NORMAL) return FALSE;
    CanvasInputEvent input;
    input.type = CanvasInputType::pointerExit;
    input.x = event->x;
    input.y = event->y;
    input.modifiers = heldKeys(event->state);
    deliver(recordOf(data), input);
    return FALSE;
}

// GDK's deltas point where the user scrolls (down is positive); the view's point where the
// content moves, the other way.
gboolean onScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    CanvasInputEvent input;
    input.type = CanvasInputType::wheel;
    input.x = event->x;
    input.y = event->y;
    input.modifiers = heldKeys(event->state);
    double dx = 0;
    double dy = 0;
    switch (event->direction) {
        case GDK_SCROLL_UP:
            dy = -1;
            break;
        case GDK_SCROLL_DOWN:
            dy = 1;
            break;
        case GDK_SCROLL_LEFT:
            dx = -1;
            break;
        case GDK_SCROLL_RIGHT:
            dx = 1;
            break;
        case GDK_SCROLL_SMOOTH:
            gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), &dx, &dy);
            input.phase = gdk_event_is_scroll_stop_event(reinterpret_cast<GdkEvent*>(event)) ? WheelPhase::ended
                                                                                             : WheelPhase::changed;
            break;
    }
    input.deltaX = -dx * kPointsPerScrollUnit;
    input.deltaY = -dy * kPointsPerScrollUnit;
    deliver(recordOf(data), input);
    return TRUE;
}

CanvasInputEvent keyEvent(GdkEventKey* event, bool down) {
    CanvasInputEvent input;
    input.type = down ? CanvasInputType::keyDown : CanvasInputType::keyUp;
    // The key's name comes from what it types without modifiers, whatever the layout's levels.
    guint keyval = event->keyval;
    gdk_keymap_translate_keyboard_state(gdk_keymap_get_for_display(gdk_window_get_display(event->window)),
                                        event->hardware_keycode, static_cast<GdkModifierType>(0), event->group, &keyval,
                                        nullptr, nullptr, nullptr);
    input.keyval = keyval;
    input.character = gdk_keyval_to_unicode(keyval);
    input.modifiers = heldKeys(event->state);
    return input;
}

gboolean onKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    GtkNativeViewRecord& record = recordOf(data);
    GtkCanvasInput& input = record.input;
    // Modifier keys alone are no key presses; they only change what later keys mean.
    if (input.sink.deliver == nullptr || event->is_modifier) return FALSE;
    const bool down = event->type == GDK_KEY_PRESS;
    input.composed.clear();
    input.filtering = true;
    const bool took = gtk_im_context_filter_keypress(input.im.get(), event) != FALSE;
    input.filtering = false;
    std::vector<CanvasInputEvent> events;
    events.push_back(keyEvent(event, down));
    events.front().inputMethodTook = took;
    for (CanvasInputEvent& composed : input.composed) events.push_back(std::move(composed));
    input.composed.clear();
    deliverAll(record, std::move(events));
    return TRUE;
}

// Text the input method makes while it filters a key goes out after that key.
void deliverComposed(GtkNativeViewRecord& record, CanvasInputEvent event) {
    if (record.input.filtering) {
        record.input.composed.push_back(std::move(event));
        return;
    }
    deliver(record, std::move(event));
}

void onCommit(GtkIMContext*, gchar* text, gpointer data) {
    CanvasInputEvent input;
    input.type = CanvasInputType::commit;
    input.text = text != nullptr ? text : "";
    deliverComposed(recordOf(data), std::move(input));
}

void onPreeditChanged(GtkIMContext* im, gpointer data) {
    gchar* text = nullptr;
    gint cursor = 0;
    gtk_im_context_get_preedit_string(im, &text, nullptr, &cursor);
    CanvasInputEvent input;
    input.type = CanvasInputType::preeditChanged;
    input.text = text != nullptr ? text : "";
    input.cursor = cursor > 0 ? static_cast<std::uint64_t>(cursor) : 0;
    g_free(text);
    deliverComposed(recordOf(data), std::move(input));
}

void onPreeditEnd(GtkIMContext*, gpointer data) {
    CanvasInputEvent input;
    input.type = CanvasInputType::preeditChanged;
    deliverComposed(recordOf(data), std::move(input));
}

gboolean onFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    gtk_im_context_focus_in(recordOf(data).input.im.get());
    return FALSE;
}

gboolean onFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    gtk_im_context_focus_out(recordOf(data).input.im.get());
    return FALSE;
}

const char* cursorName(CanvasCursor cursor) {
    switch (cursor) {
        case CanvasCursor::pointingHand:
            return "pointer";
        case CanvasCursor::text:
            return "text";
        case CanvasCursor::resizeHorizontal:
            return "ew-resize";
        case CanvasCursor::arrow:
            break;
    }
    return "default";
}

void applyCursor(GtkNativeViewRecord& record) {
    GdkWindow* window = gtk_widget_get_window(record.widget);
    if (window == nullptr || !gtk_widget_get_realized(record.widget)) return;
    GdkCursor* cursor = gdk_cursor_new_from_name(gdk_window_get_display(window), cursorName(record.input.cursor));
    gdk_window_set_cursor(window, cursor);  // null: the parent's
    if (cursor != nullptr) g_object_unref(cursor);
}

void onRealize(GtkWidget* widget, gpointer data) {
    GtkNativeViewRecord& record = recordOf(data);
    gtk_im_context_set_client_window(record.input.im.get(), gtk_widget_get_window(widget));
    applyCursor(record);
}

void onUnrealize(GtkWidget*, gpointer data) {
    gtk_im_context_set_client_window(recordOf(data).input.im.get(), nullptr);
}

}  // namespace

void listenForCanvasInput(GtkNativeViewRecord& record, GtkWidget* area) {
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                    GDK_LEAVE_NOTIFY_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK |
                                    GDK_KEY_PRESS_MASK | GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    record.input.im.reset(gtk_im_multicontext_new());
    GtkIMContext* im = record.input.im.get();
    g_signal_connect(im, "commit", G_CALLBACK(onCommit), &record);
    g_signal_connect(im, "preedit-changed", G_CALLBACK(onPreeditChanged), &record);
    g_signal_connect(im, "preedit-end", G_CALLBACK(onPreeditEnd), &record);
    g_signal_connect(area, "button-press-event", G_CALLBACK(onButton), &record);
    g_signal_connect(area, "button-release-event", G_CALLBACK(onButton), &record);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(onMotion), &record);
    g_signal_connect(area, "leave-notify-event", G_CALLBACK(onLeave), &record);
    g_signal_connect(area, "scroll-event", G_CALLBACK(onScroll), &record);
    g_signal_connect(area, "key-press-event", G_CALLBACK(onKey), &record);
    g_signal_connect(area, "key-release-event", G_CALLBACK(onKey), &record);
    g_signal_connect(area, "focus-in-event", G_CALLBACK(onFocusIn), &record);
    g_signal_connect(area, "focus-out-event", G_CALLBACK(onFocusOut), &record);
    g_signal_connect(area, "realize", G_CALLBACK(onRealize), &record);
    g_signal_connect(area, "unrealize", G_CALLBACK(onUnrealize), &record);
}

void setCanvasInputSink(void*, ViewRef view, CanvasInputSink sink) { recordOf(view).input.sink = sink; }

void setCanvasCursor(void*, ViewRef view, CanvasCursor cursor) {
    GtkNativeViewRecord& record = recordOf(view);
    record.input.cursor = cursor;
    applyCursor(record);
}

void setCanvasCaretRect(void*, ViewRef view, RectD caret) {
    GtkNativeViewRecord& record = recordOf(view);
    if (!record.input.im) return;
    GdkRectangle area{static_cast<int>(caret.x), static_cast<int>(caret.y), static_cast<int>(caret.width),
                      static_cast<int>(caret.height)};
    gtk_im_context_set_cursor_location(record.input.im.get(), &area);
}

}  // namespace kelvo::standin
