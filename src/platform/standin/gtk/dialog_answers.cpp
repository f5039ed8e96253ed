// The moment a file chooser is asked to answer (Return, a double-click on a file, its accept
// button) until it does, so that what it had then is what it answers and the keys typed after it
// reach the window it was shown over, as they do after Escape (dialog_ends.cpp).
//
// Found while checking GTK 3.24: the chooser does not answer at once. Return in a field, and a
// double-click on a file, activate the accept button, which flashes for a quarter of a second
// before it is clicked; the click asks the chooser for its response, which it gives at once, or
// refuses and looks at the name first: it asks GIO about it (its folder, whether it is there, its
// shown name for the Replace question) with a busy ("progress") cursor on its window meanwhile,
// and then answers, enters a folder, or shows a question or an error (each run in a loop of its
// own, and the busy cursor stays through GTK's own Replace question). Meanwhile it takes keys,
// which went into its name field and so into the answer (Return then "ab" at once saved
// "Untitled.vrsab.vrs"). A Return that activates nothing (the accept button insensitive, or
// flashing already) asks nothing; one in an empty location field enters the folder shown again, and
// one in an empty name field is refused without a word.
//
// So from the accept button's activation (or its click) on, the keys that reach the chooser are
// kept. When it ends they go to the window under it, before any key typed later. When it shows it
// will not end (it entered a folder, or once nothing is left of what the click began its name is
// as it was) they go to it, in order. A question or an error it shows takes only the keys typed
// once it is on the screen: those kept before wait, and go to the window under the chooser when
// the question's Replace ends it; any other answer leaves the chooser as it was, and they are
// dropped (they were typed for what Replace would have led to, and in the name they would make
// another name).

#include <algorithm>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

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

// Whether `window` is the chooser or a window shown over it, as a question or an error. Pop-ups
// (a completion list, a menu) are no part of it: Return there picks in them.
bool isOfChooser(GtkWindow* window, GtkWidget* chooser) {
    // Windows over a chooser are a few deep at most.
    constexpr int kDeepest = 8;
    for (int depth = 0; window != nullptr && depth < kDeepest; ++depth) {
        if (gtk_window_get_window_type(window) != GTK_WINDOW_TOPLEVEL) return false;
        if (GTK_WIDGET(window) == chooser) return true;
        window = gtk_window_get_transient_for(window);
    }
    return false;
}

bool isRunning(const GtkState& state, GtkWidget* chooser) {
    return std::ranges::find(state.runningDialogs, GTK_DIALOG(chooser)) != state.runningDialogs.end();
}

// The chooser looks at a name, or reads a folder: GTK shows a busy cursor on its window meanwhile.
bool isBusy(const GtkDialogAnswer& answer) {
    return answer.watched != nullptr && gdk_window_get_cursor(answer.watched) != nullptr;
}

// The answer ends; its kept keys are handed over.
std::vector<GdkEventPtr> endAnswer(GtkState& state) {
    GtkDialogAnswer answer = std::exchange(state.dialogAnswer, {});
    if (answer.settle != 0) g_source_remove(answer.settle);
    if (answer.watched != nullptr) {
        g_signal_handler_disconnect(answer.watched, answer.cursorWatch);
        g_object_unref(answer.watched);
    }
    return std::move(answer.keys);
}

// The keys kept go on to the chooser, in order; one typed at a question gone meanwhile goes to the
// chooser.
void handBack(GtkState& state) {
    GtkWidget* chooser = state.dialogAnswer.dialog;
    if (chooser == nullptr) return;
    GdkWindow* own = gtk_widget_get_window(chooser);
    std::vector<GdkEventPtr> keys = endAnswer(state);
    for (GdkEventPtr& event : keys) {
        if (gdk_window_is_destroyed(event->key.window) && own != nullptr) {
            g_object_unref(event->key.window);
            event->key.window = GDK_WINDOW(g_object_ref(own));
        }
        // A Return among them may ask the chooser again: the keys after it are kept again.
        gtkHandKeyOn(state, event.get());
    }
}

// Once nothing is left of what the chooser was asked (its button's flash, its looking at the
// name, a question it shows, its end), it answered nothing: its name is as it was, and it takes
// the keys.
void settleNow(GtkState& state) {
    const GtkDialogAnswer& answer = state.dialogAnswer;
    if (answer.dialog == nullptr || answer.flashing || answer.ending || answer.question != nullptr || isBusy(answer)) {
        return;
    }
    handBack(state);
}

// The same once what runs now (GTK's handling of what GIO told it, which ends the busy cursor
// first) is done.
void settleLater(GtkState& state) {
    if (state.dialogAnswer.settle != 0) return;
    state.dialogAnswer.settle = g_idle_add(
        [](gpointer data) {
            auto& alive = *static_cast<GtkState*>(data);
            alive.dialogAnswer.settle = 0;
            settleNow(alive);
            return G_SOURCE_REMOVE;
        },
        &state);
}

void onCursorChanged(GdkWindow*, GParamSpec*, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    if (!isBusy(state.dialogAnswer)) settleLater(state);
}

void startAnswer(GtkState& state, GtkWidget* chooser) {
    if (state.dialogAnswer.dialog == chooser) return;
    if (state.dialogAnswer.dialog != nullptr) handBack(state);
    GtkDialogAnswer& answer = state.dialogAnswer;
    answer.dialog = chooser;
    if (GdkWindow* window = gtk_widget_get_window(chooser)) {
        answer.watched = GDK_WINDOW(g_object_ref(window));
        answer.cursorWatch = g_signal_connect(window, "notify::cursor", G_CALLBACK(onCursorChanged), &state);
    }
}

// The accept button flashes before its click (it does nothing when it cannot, not shown say).
void onAcceptActivated(GtkButton* accept, gpointer chooser) {
    auto& state = *static_cast<GtkState*>(g_object_get_data(G_OBJECT(accept), kStateOf));
    if (!isRunning(state, GTK_WIDGET(chooser))) return;
    if ((gtk_widget_get_state_flags(GTK_WIDGET(accept)) & GTK_STATE_FLAG_ACTIVE) == 0) return;
    startAnswer(state, GTK_WIDGET(chooser));
    state.dialogAnswer.flashing = true;
}

// Runs after the chooser had the response the click asks for: it ends, looks at the name (busy),
// shows a question, or did nothing.
void onAcceptClicked(GtkButton* accept, gpointer chooser) {
    auto& state = *static_cast<GtkState*>(g_object_get_data(G_OBJECT(accept), kStateOf));
    if (!isRunning(state, GTK_WIDGET(chooser))) return;
    startAnswer(state, GTK_WIDGET(chooser));
    state.dialogAnswer.flashing = false;
    settleNow(state);
}

// Connected after the chooser's own handler, which stops a response it refuses: this sees only
// one that ends it.
void onResponse(GtkDialog* chooser, gint, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    if (state.dialogAnswer.dialog == GTK_WIDGET(chooser)) state.dialogAnswer.ending = true;
}

void onFolderEntered(GtkFileChooser* chooser, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    const GtkDialogAnswer& answer = state.dialogAnswer;
    if (answer.dialog == GTK_WIDGET(chooser) && answer.question == nullptr && !answer.ending) handBack(state);
}

// A question over the chooser answered. Replace ends it: the keys typed after it are kept for the
// window under it with those kept before. Any other answer leaves it as it was: the keys kept
// before the question showed are dropped, and those typed since its answer go to the chooser once
// it is gone.
void onQuestionAnswered(GtkDialog* question, gint response, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    GtkDialogAnswer& answer = state.dialogAnswer;
    if (answer.question != GTK_WIDGET(question)) return;
    gtkKeysGoOnAfter(state, GTK_WIDGET(question), answer.dialog);
    answer.question = nullptr;
    answer.questionMapped = false;
    if (response == GTK_RESPONSE_ACCEPT) return;
    answer.keys.clear();
    answer.ending = false;
    answer.flashing = false;
    settleLater(state);
}

// A question that goes without an answer (destroyed with the chooser, say) counts as cancelled.
void onQuestionGone(GtkWidget* question, gpointer data) {
    onQuestionAnswered(GTK_DIALOG(question), GTK_RESPONSE_NONE, data);
}

// Every window as GTK maps it, before it is on the screen: one shown over the answering chooser is
// its question or error, whose keys are only those typed once it is there (gtkNoteWindowShown).
gboolean onWindowMapped(GSignalInvocationHint*, guint, const GValue* values, gpointer data) {
    auto& state = *static_cast<GtkState*>(data);
    GtkDialogAnswer& answer = state.dialogAnswer;
    auto* widget = static_cast<GtkWidget*>(g_value_get_object(&values[0]));
    if (answer.dialog == nullptr || answer.question != nullptr || !GTK_IS_DIALOG(widget) || widget == answer.dialog ||
        !isOfChooser(GTK_WINDOW(widget), answer.dialog)) {
        return TRUE;
    }
    answer.question = widget;
    answer.questionMapped = false;
    if (g_object_get_data(G_OBJECT(widget), kAnswerWatched) == nullptr) {
        g_object_set_data(G_OBJECT(widget), kAnswerWatched, GINT_TO_POINTER(1));
        g_signal_connect(widget, "response", G_CALLBACK(onQuestionAnswered), &state);
        g_signal_connect(widget, "unmap", G_CALLBACK(onQuestionGone), &state);
    }
    return TRUE;
}

}  // namespace

void gtkWatchAnswer(GtkState& state, GtkWidget* chooser) {
    if (!state.windowMapsWatched) {
        state.windowMapsWatched = true;
        g_signal_add_emission_hook(g_signal_lookup("map", GTK_TYPE_WIDGET), 0, onWindowMapped, &state, nullptr);
    }
    g_signal_connect(chooser, "current-folder-changed", G_CALLBACK(onFolderEntered), &state);
    g_signal_connect(chooser, "response", G_CALLBACK(onResponse), &state);
    if (GtkWidget* accept = gtk_dialog_get_widget_for_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT)) {
        g_object_set_data(G_OBJECT(accept), kStateOf, &state);
        // After GTK's own handlers: the button has begun to flash, or the dialog had the response.
        g_signal_connect_after(accept, "activate", G_CALLBACK(onAcceptActivated), chooser);
        g_signal_connect_after(accept, "clicked", G_CALLBACK(onAcceptClicked), chooser);
    }
}

bool gtkKeepAnswerKey(GtkState& state, GdkEvent* event) {
    const GtkDialogAnswer& answer = state.dialogAnswer;
    if (answer.dialog == nullptr || (answer.question != nullptr && answer.questionMapped)) return false;
    if (!isOfChooser(keyWindowOf(event), answer.dialog)) return false;
    state.dialogAnswer.keys.emplace_back(gdk_event_copy(event));
    return true;
}

void gtkNoteWindowShown(GtkState& state, GdkWindow* window) {
    GtkDialogAnswer& answer = state.dialogAnswer;
    if (answer.question != nullptr && GTK_WIDGET(windowOf(window)) == answer.question) answer.questionMapped = true;
}

void gtkHandAnswerKeysOn(GtkState& state, GtkWidget* dialog, GdkWindow* target) {
    if (state.dialogAnswer.dialog != dialog) return;
    std::vector<GdkEventPtr> keys = endAnswer(state);
    if (target == nullptr) return;
    for (GdkEventPtr& event : keys) {
        g_object_unref(event->key.window);
        event->key.window = GDK_WINDOW(g_object_ref(target));
        gtkHandKeyOn(state, event.get());
    }
}

}  // namespace kelvo::standin
