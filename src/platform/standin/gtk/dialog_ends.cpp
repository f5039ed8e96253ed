// How a dialog run modally ends (dialogs.cpp), so that the keys typed after the one that answered
// it reach the window it was shown over, as on any desktop, where that window takes the keyboard
// the moment the dialog closes.
//
// With a window manager, a dialog holds the display server's keyboard focus until the window
// manager hands it on, so the keys typed by then are sent to the dialog's window, and GDK drops
// them once that window is destroyed: Escape and four letters typed at once lost most of them.
//
// So a dialog that ends gives the keyboard back to the window under it itself, is hidden at once,
// and is destroyed only once the keys that reached its window meanwhile have been handled (GDK's
// events come before idle work): menus.cpp sends those on to the window under it. The questions and
// errors GTK itself shows over a file chooser are destroyed by GTK as soon as they are answered:
// the keys the display server sent to one meanwhile are sent on to the chooser before GDK reads
// them, by the window they name.

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include <X11/extensions/XInput2.h>
#include <gdk/gdkx.h>

namespace kelvo::standin {

namespace {

// On an ended dialog's GDK window: the GDK window its keys go to (a reference).
constexpr const char* kKeysGoTo = "kelvo-keys-go-to";

gboolean destroyLater(gpointer dialog) {
    gtk_widget_destroy(GTK_WIDGET(dialog));
    return G_SOURCE_REMOVE;
}

// Whether the display server's keyboard focus is on `window` or inside it.
bool holdsFocus(Display* display, Window window) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    while (focus != 0 && focus != PointerRoot) {
        if (focus == window) return true;
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, focus, &root, &parent, &children, &count) == 0) return false;
        if (children != nullptr) XFree(children);
        focus = parent == root ? 0 : parent;
    }
    return false;
}

// The windows whose keys go to others, at most this many (the latest): a window's number is not
// given to another while the program runs.
constexpr std::size_t kRedirectsKept = 8;

// The window a key event from the display server names (the XInput 2 event GDK reads, or a core
// one): null for any other event.
Window* keyEventWindow(XEvent* event, int inputOpcode) {
    if (event->type == KeyPress || event->type == KeyRelease) return &event->xkey.window;
    if (event->type != GenericEvent || event->xcookie.extension != inputOpcode || event->xcookie.data == nullptr) {
        return nullptr;
    }
    auto* device = static_cast<XIDeviceEvent*>(event->xcookie.data);
    return device->evtype == XI_KeyPress || device->evtype == XI_KeyRelease ? &device->event : nullptr;
}

GdkFilterReturn redirectKeys(GdkXEvent* xevent, GdkEvent*, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    Window* window = keyEventWindow(static_cast<XEvent*>(xevent), state.inputOpcode);
    if (window == nullptr) return GDK_FILTER_CONTINUE;
    for (const auto& [from, to] : state.keyRedirects) {
        if (*window == from) {
            *window = to;
            break;
        }
    }
    return GDK_FILTER_CONTINUE;
}

}  // namespace

void gtkKeysGoOnAfter(GtkState& state, GtkWidget* dialog, GtkWidget* under) {
    GdkWindow* own = gtk_widget_get_window(dialog);
    GdkWindow* target = gtk_widget_get_window(under);
    GdkDisplay* display = gtk_widget_get_display(dialog);
    if (own == nullptr || target == nullptr || !GDK_IS_X11_DISPLAY(display) || !gtk_widget_get_mapped(under)) return;
    Display* x11 = gdk_x11_display_get_xdisplay(display);
    if (!state.keysRedirected) {
        state.keysRedirected = true;
        int event = 0;
        int error = 0;
        if (!XQueryExtension(x11, "XInputExtension", &state.inputOpcode, &event, &error)) state.inputOpcode = -1;
        gdk_window_add_filter(nullptr, redirectKeys, &state);
    }
    const Window from = gdk_x11_window_get_xid(own);
    const Window to = gdk_x11_window_get_xid(target);
    auto redirect = [&](Window window) {
        if (state.keyRedirects.size() == kRedirectsKept) state.keyRedirects.pop_front();
        state.keyRedirects.emplace_back(window, to);
    };
    // The window manager may give the keyboard to a window of GDK's own inside it.
    gdk_x11_display_error_trap_push(display);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    redirect(from);
    if (XQueryTree(x11, from, &root, &parent, &children, &count) != 0) {
        for (unsigned int i = 0; i < count; ++i) redirect(children[i]);
        if (children != nullptr) XFree(children);
    }
    // The window under it may be minimised meanwhile: the server's refusal is no fault here.
    if (holdsFocus(x11, from)) XSetInputFocus(x11, to, RevertToParent, gdk_x11_display_get_user_time(display));
    gdk_x11_display_error_trap_pop_ignored(display);
}

void gtkEndDialog(GtkState& state, GtkWidget* dialog) {
    GtkWindow* under = gtk_window_get_transient_for(GTK_WINDOW(dialog));
    GdkWindow* own = gtk_widget_get_window(dialog);
    GdkWindow* target = under != nullptr && gtk_widget_get_mapped(GTK_WIDGET(under))
                            ? gtk_widget_get_window(GTK_WIDGET(under))
                            : nullptr;
    GdkDisplay* display = gtk_widget_get_display(dialog);
    // At the end of the run nothing is typed any more, and nothing may wait for the loop.
    if (state.quitting || own == nullptr || target == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        gtkHandAnswerKeysOn(state, dialog, state.quitting ? nullptr : target);
        gtk_widget_destroy(dialog);
        return;
    }
    g_object_set_data_full(G_OBJECT(own), kKeysGoTo, g_object_ref(target), g_object_unref);
    // The window that has the focus may go, or the one under the dialog be minimised, meanwhile:
    // the server's refusal is no fault here.
    Display* x11 = gdk_x11_display_get_xdisplay(display);
    gdk_x11_display_error_trap_push(display);
    if (holdsFocus(x11, gdk_x11_window_get_xid(own))) {
        XSetInputFocus(x11, gdk_x11_window_get_xid(target), RevertToParent, gdk_x11_display_get_user_time(display));
    }
    gdk_x11_display_error_trap_pop_ignored(display);
    gtk_widget_hide(dialog);
    // Every key the server sent to the dialog before it lost the focus is in the queue now.
    gdk_display_sync(display);
    // The keys a chooser kept while it answered were typed before any still to come.
    gtkHandAnswerKeysOn(state, dialog, target);
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, destroyLater, g_object_ref(dialog), g_object_unref);
}

GdkWindow* gtkKeyWindowAfterDialogs(GdkWindow* window) {
    // Dialogs end over dialogs (a question over a save chooser) a few deep at most.
    constexpr int kDeepest = 8;
    GdkWindow* goesTo = nullptr;
    GdkWindow* at = window;
    for (int depth = 0; at != nullptr && depth < kDeepest; ++depth) {
        at = static_cast<GdkWindow*>(g_object_get_data(G_OBJECT(gdk_window_get_toplevel(at)), kKeysGoTo));
        if (at != nullptr) goesTo = at;
    }
    // A window that has gone takes no keys: they go where they would have gone.
    return goesTo != nullptr && !gdk_window_is_destroyed(goesTo) ? goesTo : nullptr;
}

}  // namespace kelvo::standin
