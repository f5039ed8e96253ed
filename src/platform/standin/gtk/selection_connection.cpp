// The clipboard's X connection, opened on GDK's display by the first read or offer, and the
// main-loop source that watches it for both: the reads' answers (selection_reader.cpp) and the
// requests for this process's text (selection_owner.cpp).
//
// The source is fair to the rest of the loop: each turn handles a bounded number of events, and
// when more wait it rests until the loop's other ready sources, those of lower priority too (the
// host's tasks and timers, WebKit's messages), have had their turn. A client that writes to a
// window the connection watches without waiting for it (broken, or hostile: any client may) makes
// events faster than they are handled; past kMostQueued of them, every transfer is cut off at once,
// its window going (or no longer watched), and the events the server told of before are dropped
// unread, many a turn, so that neither the flood nor its end holds the loop.
//
// Found while checking Xlib and GDK: Xlib may move events from the socket into its queue during any
// call that waits for a reply, so the source asks the queue as well as the socket. GDK's error
// handler, which serves every connection of the process, ignores errors of connections GDK did not
// open (such as a window that went before a request about it came).

#include <gdk/gdk.h>

#include <iterator>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros would otherwise replace.
#include "platform/standin/gtk/selection_x11.hpp"

namespace kelvo::standin {

namespace {

// Events handled in one turn of the loop.
constexpr int kEventsPerTurn = 64;
// Events Xlib may hold before the connection counts itself flooded: far more than owners and
// requestors that keep to the protocol ever leave (a few each), far fewer than take a megabyte.
constexpr int kMostQueued = 4096;
// Events of a cut-off's windows dropped unread in one turn (each only leaves Xlib's queue).
constexpr int kDropsPerTurn = 16384;
// The longest the source rests after a full turn: about what such a turn takes.
constexpr std::uint64_t kRestNs = 5'000'000;

struct EventSource {
    GSource source;
    GtkSelectionConnection* connection;
};

void rest(GtkSelectionConnection& connection);

bool transfersGoOn(const GtkSelectionConnection& connection) {
    return !connection.drains.empty() || !connection.owner.transfers.empty();
}

void endTransfers(GtkSelectionConnection& connection) {
    endTextTransfers(connection);
    endDrains(connection);
}

gboolean prepareEvents(GSource* source, gint* timeout) {
    GtkSelectionConnection& connection = *reinterpret_cast<EventSource*>(source)->connection;
    *timeout = -1;
    if (connection.resting) return FALSE;
    XFlush(connection.display);
    return XQLength(connection.display) > 0;
}

gboolean checkEvents(GSource* source) {
    GtkSelectionConnection& connection = *reinterpret_cast<EventSource*>(source)->connection;
    if (connection.resting) return FALSE;
    return XQLength(connection.display) > 0 || (g_source_query_unix_fd(source, connection.socket) & G_IO_IN) != 0;
}

// Every transfer ends at once; the property changes the server told of until then are dropped.
void cutOff(GtkSelectionConnection& connection) {
    cutOffReads(connection);
    cutOffOffers(connection);
    XFlush(connection.display);
    connection.cutOffSerial = XNextRequest(connection.display) - 1;
}

gboolean dispatchEvents(GSource* source, GSourceFunc, gpointer) {
    GtkSelectionConnection& connection = *reinterpret_cast<EventSource*>(source)->connection;
    Display* display = connection.display;
    XEvent event;
    int dropped = 0;
    int handled = 0;
    bool more = false;
    while (!more && XPending(display) > 0) {
        XPeekEvent(display, &event);
        // Told of before the last cut-off: a property change is of a window that went, or is
        // watched no more. Such events come before any other, so once none is left in front, every
        // event queued is of the windows there are now. (Handling one may wait for the server, and
        // take in whatever came meanwhile.)
        const bool beforeCutOff = event.xany.serial < connection.cutOffSerial;
        if (beforeCutOff && event.type == PropertyNotify) {
            more = dropped == kDropsPerTurn;
            if (!more) {
                XNextEvent(display, &event);
                ++dropped;
            }
        } else if (handled == kEventsPerTurn) {
            more = true;
        } else if (!beforeCutOff && XQLength(display) > kMostQueued) {
            cutOff(connection);
            more = true;
        } else {
            XNextEvent(display, &event);
            ++handled;
            // The owner's events and the reads' are of windows of their own.
            handleOwnerEvent(connection, event);
            handleReadEvent(connection, event);
        }
    }
    if (more) rest(connection);
    return G_SOURCE_CONTINUE;
}

GSourceFuncs kEventFuncs = {prepareEvents, checkEvents, dispatchEvents, nullptr, nullptr, nullptr};

// Both ways out of a rest go (the one that ended it included).
gboolean resume(gpointer data) {
    auto& connection = *static_cast<GtkSelectionConnection*>(data);
    connection.resting = false;
    stopSelectionTimer(connection.resumeIdle);
    stopSelectionTimer(connection.resumeTimer);
    g_source_modify_unix_fd(connection.events, connection.socket, G_IO_IN);
    return G_SOURCE_REMOVE;
}

// The source sits out until every other source ready now, down to the default idle priority, had
// its turn, or for kRestNs while sources of the default priority keep busy; meanwhile the socket is
// not watched (it would wake the loop at once, again and again).
void rest(GtkSelectionConnection& connection) {
    if (connection.resting) return;
    connection.resting = true;
    g_source_modify_unix_fd(connection.events, connection.socket, static_cast<GIOCondition>(0));
    connection.resumeIdle = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, resume, &connection, nullptr);
    connection.resumeTimer = startSelectionTimer(kRestNs, resume, &connection);
}

}  // namespace

GtkSelectionConnection& selectionConnection(GtkState& state) {
    if (!state.selection) state.selection.reset(new GtkSelectionConnection());
    return *state.selection;
}

bool connectSelection(GtkState& state) {
    GtkSelectionConnection& connection = selectionConnection(state);
    if (connection.display != nullptr) return true;
    GdkDisplay* gdk = gdk_display_get_default();
    if (gdk == nullptr) return false;
    connection.display = XOpenDisplay(gdk_display_get_name(gdk));
    if (connection.display == nullptr) return false;
    char* names[] = {const_cast<char*>("CLIPBOARD"),
                     const_cast<char*>("KELVO_SELECTION"),
                     const_cast<char*>("TARGETS"),
                     const_cast<char*>("INCR"),
                     const_cast<char*>("UTF8_STRING"),
                     const_cast<char*>("text/plain;charset=utf-8"),
                     const_cast<char*>("COMPOUND_TEXT"),
                     const_cast<char*>("TEXT"),
                     const_cast<char*>("text/html"),
                     const_cast<char*>("text/rtf"),
                     const_cast<char*>("application/rtf"),
                     const_cast<char*>("TIMESTAMP"),
                     const_cast<char*>("KELVO_SELECTION_TIME")};
    Atom atoms[std::size(names)] = {};
    XInternAtoms(connection.display, names, static_cast<int>(std::size(names)), False, atoms);
    Atom* at = atoms;
    for (Atom* field :
         {&connection.clipboard, &connection.property, &connection.targets, &connection.incr, &connection.utf8,
          &connection.plainUtf8, &connection.compoundText, &connection.text, &connection.html, &connection.rtf,
          &connection.applicationRtf, &connection.timestamp, &connection.stamp}) {
        *field = *at++;
    }
    GSource* source = g_source_new(&kEventFuncs, sizeof(EventSource));
    reinterpret_cast<EventSource*>(source)->connection = &connection;
    connection.socket = g_source_add_unix_fd(source, ConnectionNumber(connection.display), G_IO_IN);
    // A read's `done` may read the clipboard again and wait for that answer inside this source.
    g_source_set_can_recurse(source, TRUE);
    g_source_attach(source, nullptr);
    connection.events = source;
    return true;
}

guint startSelectionTimer(std::uint64_t waitNs, GSourceFunc fired, gpointer data) {
    return g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(waitNs / 1'000'000), fired, data, nullptr);
}

void stopSelectionTimer(guint& timer) {
    if (timer != 0) g_source_remove(std::exchange(timer, 0));
}

void closeSelectionConnection(GtkSelectionConnection* connection) {
    if (connection == nullptr) return;
    if (connection->display != nullptr) {
        endOffers(*connection);
        endReads(*connection);
        endTransfers(*connection);
    }
    if (connection->events != nullptr) {
        g_source_destroy(connection->events);
        g_source_unref(connection->events);
    }
    stopSelectionTimer(connection->resumeIdle);
    stopSelectionTimer(connection->resumeTimer);
    if (connection->display != nullptr) XCloseDisplay(connection->display);
    delete connection;
}

void gtkFinishSelectionTransfers(GtkState& state, std::uint64_t boundNs) {
    if (!state.selection || state.selection->display == nullptr) return;
    GtkSelectionConnection& connection = *state.selection;
    endOffers(connection);
    endReads(connection);
    bool over = false;
    guint bound = startSelectionTimer(
        boundNs,
        [](gpointer data) {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &over);
    // A reader may be this process, which takes its pieces from the loop; so may an owner.
    while (transfersGoOn(connection) && !over) g_main_context_iteration(nullptr, TRUE);
    if (!over) stopSelectionTimer(bound);
    endTransfers(connection);
    // The windows are gone from the server by the time this returns.
    XSync(connection.display, False);
}

}  // namespace kelvo::standin
