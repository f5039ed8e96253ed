// The moment a file chooser is asked to answer (Return, a double-click on a file, its accept
// button) until it does, so that what it had then is what it answers and the keys typed after it
// reach the window it was shown over, as they do after Escape (dialog_ends.cpp).
//
// Found while checking GTK: the chooser does not answer at once. Return flashes its accept button
// for a quarter of a second, and the chooser then asks GIO about the name (its folder, whether it
// is there, its shown name for the Replace question) before it answers; meanwhile it takes keys,
// which went into its name field and so into the answer (Return then "ab" at once saved
// "Untitled.vrsab.vrs"). So the keys that reach it, or a question over it, from then on are kept.
// When it ends they go to the window under it, before any key typed later. When it shows it will
// not end (it entered a folder, a question or an error shows over it, a question over it was
// answered other than Replace), they go to it, or to what shows over it, in order. A chooser that
// does nothing at all gets them at a deadline.

#include <algorithm>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

// Long enough for the chooser's questions to GIO on a loaded machine; the keys wait that long
// only when Return did nothing.
constexpr guint kAnswerDeadlineMs = 5000;

// On a question over a chooser: its answer is watched.
constexpr const char* kAnswerWatched = "kelvo-answer-watched";

// On a chooser's accept button: the state.
constexpr const char* kStateOf = "kelvo-state";

// The GTK window that holds a GDK window (null: none of GTK's).
GtkWindow* windowOf(GdkWindow* window) {
    if (window == nullptr) return nullptr;
    gpointer widget = nullptr;
    gdk_window_get_user_data(gdk_window_get_toplevel(window), &widget);
    return GTK_IS_WINDOW(widget) ? GTK_WINDOW(widget) : nullptr;
}

// The GTK window a key goes to: the one typed at, unless another holds the keyboard (a modal
// dialog, a button flashing as Return activates it), as GTK hands keys on. Without a window
// manager, the window under a dialog keeps the display server's keyboard focus.
GtkWindow* keyWindowOf(GdkEvent* event) {
    GtkWidget* widget = gtk_get_event_widget(event);
    if (widget == nullptr) return nullptr;
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    GtkWindowGroup* group = gtk_window_get_group(GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr);
    GtkWidget* grab = gtk_window_group_get_current_device_grab(group, gdk_event_get_device(event));
    if (grab == nullptr) grab = gtk_window_group_get_current_grab(group);
    if (grab != nullptr && grab != widget && !gtk_widget_is_ancestor(widget, grab)) {
        toplevel = gtk_widget_get_toplevel(grab);
    }
    return GTK_IS_WINDOW(toplevel) ? GTK_WINDOW(toplevel) : nullptr;
}

// The file chooser run now that `window` is, or that it was shown over as a question or an error;
// null when none. Pop-ups (a completion list, a menu) are no part of it: Return there picks in
// them.
GtkWidget* runningChooserOf(GtkState& state, GtkWindow* window) {
    // Windows over a chooser are a few deep at most.
    constexpr int kDeepest = 8;
    for (int depth = 0; window != nullptr && depth < kDeepest; ++depth) {
        if (gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL) return nullptr;
        if (GTK_IS_FILE_CHOOSER_DIALOG(window) &&
            std::ranges::find(state.runningDialogs, GTK_DIALOG(window)) != state.runningDialogs.end()) {
            return GTK_WIDGET(window);
        }
        window = gtk_window_get_transient_for(window);
    }
    return nullptr;
}

bool isUnmodifiedReturn(const GdkEventKey& key) {
    const bool enter =
        key.keyval == GDK_KEY_Return || key.keyval == GDK_KEY_KP_Enter || key.keyval == GDK_KEY_ISO_Enter;
    return enter && (key.state & gtk_accelerator_get_default_mod_mask()) == 0;
}

void stopDeadline(GtkDialogAnswer& answer) {
    if (answer.deadline != 0) g_source_remove(answer.deadline);
    answer.deadline = 0;
}

// The keys kept go on to the chooser, in order (GTK hands them to a question or error that holds
// it modally); one typed at a question gone meanwhile goes to the chooser.
void handBack(GtkState& state) {
    GtkDialogAnswer answer = std::exchange(state.dialogAnswer, {});
    stopDeadline(answer);
    if (answer.dialog == nullptr) return;
    GdkWindow* own = gtk_widget_get_window(answer.dialog);
    for (GdkEventPtr& event : answer.keys) {
        if (gdk_window_is_destroyed(event->key.window) && own != nullptr) {
            g_object_unref(event->key.window);
            event->key.window = GDK_WINDOW(g_object_ref(own));
        }
        // A Return among them asks the chooser again: the keys after it are kept again.
        gtkHandKeyOn(state, event.get());
    }
}

void startAnswer(GtkState& state, GtkWidget* chooser) {
    if (state.dialogAnswer.dialog == chooser) return;
    if (state.dialogAnswer.dialog != nullptr) handBack(state);
    state.dialogAnswer.dialog = chooser;
    state.dialogAnswer.deadline = g_timeout_add(
        kAnswerDeadlineMs,
        [](gpointer data) {
            auto& alive = *static_cast<GtkState*>(data);
            alive.dialogAnswer.deadline = 0;
            handBack(alive);
            return G_SOURCE_REMOVE;
        },
        &state);
}

void onAskedToAnswer(GtkWidget* chooser, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    if (std::ranges::find(state.runningDialogs, GTK_DIALOG(chooser)) != state.runningDialogs.end()) {
        startAnswer(state, chooser);
    }
}

void onAcceptClicked(GtkButton* accept, gpointer chooser) {
    onAskedToAnswer(GTK_WIDGET(chooser), g_object_get_data(G_OBJECT(accept), kStateOf));
}

void onFolderEntered(GtkFileChooser* chooser, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    if (state.dialogAnswer.dialog == GTK_WIDGET(chooser)) handBack(state);
}

// A question over a chooser answered: Replace ends the chooser (the keys typed after it are kept
// for the window under it); any other answer leaves it open, and the keys go to it once the
// question is gone.
void onQuestionAnswered(GtkDialog* question, gint response, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    GtkWidget* chooser = runningChooserOf(state, gtk_window_get_transient_for(GTK_WINDOW(question)));
    if (chooser == nullptr) return;
    startAnswer(state, chooser);
    if (response == GTK_RESPONSE_ACCEPT) return;
    g_idle_add(
        [](gpointer alive) {
            handBack(*static_cast<GtkState*>(alive));
            return G_SOURCE_REMOVE;
        },
        &state);
}

}  // namespace

void gtkWatchAnswer(GtkState& state, GtkWidget* chooser) {
    g_signal_connect(chooser, "file-activated", G_CALLBACK(onAskedToAnswer), &state);
    g_signal_connect(chooser, "current-folder-changed", G_CALLBACK(onFolderEntered), &state);
    if (GtkWidget* accept = gtk_dialog_get_widget_for_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT)) {
        g_object_set_data(G_OBJECT(accept), kStateOf, &state);
        g_signal_connect(accept, "clicked", G_CALLBACK(onAcceptClicked), chooser);
        // Return in a field activates it (also when it went first to a list of completions).
        g_signal_connect(accept, "activate", G_CALLBACK(onAcceptClicked), chooser);
    }
}

bool gtkKeepAnswerKey(GtkState& state, GdkEvent* event) {
    GtkWidget* chooser = runningChooserOf(state, keyWindowOf(event));
    if (chooser == nullptr) return false;
    if (state.dialogAnswer.dialog == chooser) {
        state.dialogAnswer.keys.emplace_back(gdk_event_copy(event));
        return true;
    }
    if (event->type == GDK_KEY_PRESS && isUnmodifiedReturn(event->key)) startAnswer(state, chooser);
    return false;
}

void gtkNoteWindowShown(GtkState& state, GdkWindow* window) {
    GtkWindow* shown = windowOf(window);
    if (shown == nullptr || !GTK_IS_DIALOG(shown) || GTK_IS_FILE_CHOOSER_DIALOG(shown)) return;
    GtkWidget* chooser = runningChooserOf(state, gtk_window_get_transient_for(shown));
    if (chooser == nullptr) return;
    if (g_object_get_data(G_OBJECT(shown), kAnswerWatched) == nullptr) {
        g_object_set_data(G_OBJECT(shown), kAnswerWatched, GINT_TO_POINTER(1));
        g_signal_connect(shown, "response", G_CALLBACK(onQuestionAnswered), &state);
    }
    if (state.dialogAnswer.dialog == chooser) handBack(state);
}

void gtkHandAnswerKeysOn(GtkState& state, GtkWidget* dialog, GdkWindow* target) {
    if (state.dialogAnswer.dialog != dialog) return;
    GtkDialogAnswer answer = std::exchange(state.dialogAnswer, {});
    stopDeadline(answer);
    if (target == nullptr) return;
    for (GdkEventPtr& event : answer.keys) {
        g_object_unref(event->key.window);
        event->key.window = GDK_WINDOW(g_object_ref(target));
        gtkHandKeyOn(state, event.get());
    }
}

}  // namespace kelvo::standin
