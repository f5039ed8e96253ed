// The clipboard's X connection, opened on GDK's display by the first read or offer, and the
// main-loop source that watches it for both: the reads' answers (selection_reader.cpp) and the
// requests for this process's text (selection_owner.cpp).
//
// The events are taken from XCB (which owns the connection's event queue) one at a time, and XCB
// reads the socket a few kilobytes at a time, only when it holds none: so what the process holds
// of them stays small however fast a client makes the server send them, and an event that no user
// of the connection wants (of a window a read or a transfer no longer has, a request beyond its
// requestor's budget) is dropped for no more than its reading. Xlib's own queue, which takes in
// every event the socket holds whenever Xlib flushes or waits for a reply, and never gives its
// memory back, is never used.
//
// The source is fair to the rest of the loop: each turn handles a bounded number of events, sends
// a bounded number of bytes of text and drops a bounded number, and when more wait it rests until
// the loop's other ready sources, those of lower priority too (the host's tasks and timers,
// WebKit's messages), have had their turn. What the turn sent goes to the server once, at its end.
// A client that writes to a window the connection watches without waiting for it (broken, or
// hostile: any client may) makes work faster than it is done; after kMostBusyTurns turns in a row
// that left work undone, every transfer is cut off at once, its window going (or no longer
// watched), and the events of those windows that still come are dropped, many a turn, so that
// neither the flood nor its end holds the loop.
//
// Found while checking Xlib and GDK: Xlib may move events from the socket into XCB's queue during
// any call that waits for a reply, so the source asks that queue as well as the socket. GDK's error
// handler, which serves every connection of the process, ignores errors of connections GDK did not
// open (such as a window that went before a request about it came); the errors of requests sent
// through XCB come as events, and are dropped.

#include <gdk/gdk.h>
#include <poll.h>

#include <cstdlib>
#include <iterator>
#include <utility>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros would otherwise replace.
#include "platform/standin/gtk/selection_x11.hpp"

#include <X11/Xlib-xcb.h>
#include <xcb/xcbext.h>

namespace kelvo::standin {

namespace {

// Events handled in one turn of the loop (each may send requests, or wait for a reply).
constexpr int kEventsPerTurn = 64;
// Bytes of text sent in one turn: four pieces of a long answer.
constexpr std::size_t kBytesPerTurn = std::size_t{4} << 20;
// Events nobody wants dropped in one turn (each only read).
constexpr int kDropsPerTurn = 16384;
// Turns in a row that left events to handle before the connection counts itself flooded: far more
// than owners and requestors that keep to the protocol ever make (a few events each), far fewer
// than take a megabyte.
constexpr int kMostBusyTurns = 64;
// Events held at once while a call waits for one of its own.
constexpr std::size_t kMostHeld = 4096;
// The longest the source rests after a full turn: about what such a turn takes.
constexpr std::uint64_t kRestNs = 5'000'000;
// How long the end waits, past its bound, for the server to have done what the end sent.
constexpr std::uint64_t kSettleNs = 250'000'000;

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

bool wanted(const GtkSelectionConnection& connection, const XEvent& event) {
    // A request held was admitted when it was taken.
    return event.type == SelectionRequest || ownerWants(connection, event) || readWants(connection, event);
}

// What Xlib buffered, then what XCB did, goes to the server.
void flush(GtkSelectionConnection& connection) {
    XFlush(connection.display);
    xcb_flush(connection.xcb);
}

// Every transfer ends at once; the events held of their windows are dropped.
void cutOff(GtkSelectionConnection& connection) {
    cutOffReads(connection);
    cutOffOffers(connection);
    flush(connection);
    std::erase_if(connection.held, [&](const XEvent& event) { return !wanted(connection, event); });
}

enum class Taken : std::uint8_t { held, none, dropsSpent };

// Takes events until one is held: from XCB's queue, and where `read`, from the socket when that
// queue is empty. None when no more came, or when `dropped` reached kDropsPerTurn.
Taken takeEvent(GtkSelectionConnection& connection, bool read, int& dropped) {
    while (connection.held.empty()) {
        if (dropped >= kDropsPerTurn) return Taken::dropsSpent;
        xcb_generic_event_t* event =
            read ? xcb_poll_for_event(connection.xcb) : xcb_poll_for_queued_event(connection.xcb);
        if (event == nullptr) return Taken::none;
        holdEvent(connection, event);
        if (connection.held.empty()) ++dropped;
    }
    return Taken::held;
}

// Holds the events XCB read already: a call that waited for a reply took in whatever the server had
// to send before it, of a flood too. Past kMostHeld of them, every transfer is cut off.
void holdQueued(GtkSelectionConnection& connection, int& dropped) {
    while (dropped < kDropsPerTurn) {
        xcb_generic_event_t* event = xcb_poll_for_queued_event(connection.xcb);
        if (event == nullptr) return;
        const std::size_t before = connection.held.size();
        holdEvent(connection, event);
        if (connection.held.size() <= before) ++dropped;
    }
}

gboolean prepareEvents(GSource* source, gint* timeout) {
    GtkSelectionConnection& connection = *reinterpret_cast<EventSource*>(source)->connection;
    *timeout = -1;
    // What any call sent since reaches the server before the loop sleeps.
    flush(connection);
    if (connection.resting) return FALSE;
    int dropped = 0;
    return takeEvent(connection, false, dropped) != Taken::none;
}

gboolean checkEvents(GSource* source) {
    GtkSelectionConnection& connection = *reinterpret_cast<EventSource*>(source)->connection;
    if (connection.resting) return FALSE;
    return !connection.held.empty() ||
           (connection.socket != nullptr && g_source_query_unix_fd(source, connection.socket) != 0);
}

gboolean dispatchEvents(GSource* source, GSourceFunc, gpointer) {
    GtkSelectionConnection& connection = *reinterpret_cast<EventSource*>(source)->connection;
    int dropped = 0;
    int handled = 0;
    bool busy = false;
    bool more = false;
    connection.turnBytes = 0;
    while (!more) {
        const Taken taken = takeEvent(connection, true, dropped);
        if (taken != Taken::held) {
            more = taken == Taken::dropsSpent;
            break;
        }
        // Held while a call waited: what it is of may have gone since.
        if (!wanted(connection, connection.held.front())) {
            connection.held.pop_front();
            ++dropped;
        } else if (handled == kEventsPerTurn || connection.turnBytes >= kBytesPerTurn) {
            more = busy = true;
        } else {
            const XEvent event = connection.held.front();
            connection.held.pop_front();
            ++handled;
            // The owner's events and the reads' are of windows of their own.
            handleOwnerEvent(connection, event);
            handleReadEvent(connection, event);
            holdQueued(connection, dropped);
        }
    }
    connection.busyTurns = busy ? connection.busyTurns + 1 : 0;
    if (connection.busyTurns > kMostBusyTurns) {
        cutOff(connection);
        connection.busyTurns = 0;
    }
    flush(connection);
    if (xcb_connection_has_error(connection.xcb) != 0 && connection.socket != nullptr) {
        // The server is gone: nothing more comes, and the socket would wake the loop forever.
        g_source_remove_unix_fd(source, std::exchange(connection.socket, nullptr));
        return G_SOURCE_CONTINUE;
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
    if (connection.socket != nullptr) g_source_modify_unix_fd(connection.events, connection.socket, G_IO_IN);
    return G_SOURCE_REMOVE;
}

// The source sits out until every other source ready now, down to the default idle priority, had
// its turn, or for kRestNs while sources of the default priority keep busy; meanwhile the socket is
// not watched (it would wake the loop at once, again and again).
void rest(GtkSelectionConnection& connection) {
    if (connection.resting) return;
    connection.resting = true;
    if (connection.socket != nullptr) {
        g_source_modify_unix_fd(connection.events, connection.socket, static_cast<GIOCondition>(0));
    }
    connection.resumeIdle = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, resume, &connection, nullptr);
    connection.resumeTimer = startSelectionTimer(kRestNs, resume, &connection);
}

// Runs the loop until `done` or for `waitNs`, whichever comes first.
template <typename Done>
void runLoop(Done done, std::uint64_t waitNs) {
    bool over = false;
    guint bound = startSelectionTimer(
        waitNs,
        [](gpointer data) {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &over);
    while (!done() && !over) g_main_context_iteration(nullptr, TRUE);
    if (!over) stopSelectionTimer(bound);
}

}  // namespace

void holdEvent(GtkSelectionConnection& connection, xcb_generic_event_t* event) {
    XEvent held;
    const bool known = xEventOf(connection, *event, held);
    std::free(event);
    if (!known) return;
    if (held.type == DestroyNotify) ownerNoteGone(connection, held.xdestroywindow.window);
    if (held.type == SelectionRequest ? !admitRequest(connection, held.xselectionrequest) : !wanted(connection, held)) {
        return;
    }
    if (connection.held.size() >= kMostHeld) {
        cutOff(connection);
        if (connection.held.size() >= kMostHeld || !wanted(connection, held)) return;
    }
    connection.held.push_back(held);
}

void* awaitReply(GtkSelectionConnection& connection, unsigned int sequence) {
    xcb_flush(connection.xcb);
    for (;;) {
        void* reply = nullptr;
        xcb_generic_error_t* error = nullptr;
        // Reads the socket (a few kilobytes) when the reply is not there yet.
        const int done = xcb_poll_for_reply(connection.xcb, sequence, &reply, &error);
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection.xcb)) holdEvent(connection, event);
        std::free(error);
        if (done != 0) return reply;
        pollfd readable{xcb_get_file_descriptor(connection.xcb), POLLIN, 0};
        ::poll(&readable, 1, -1);
    }
}

bool xEventOf(const GtkSelectionConnection& connection, const xcb_generic_event_t& raw, XEvent& event) {
    event = XEvent{};
    const unsigned long serial = raw.full_sequence;
    const Bool sent = (raw.response_type & 0x80) != 0 ? True : False;
    Display* display = connection.display;
    switch (raw.response_type & 0x7F) {
        case XCB_SELECTION_REQUEST: {
            const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(raw);
            event.xselectionrequest = {SelectionRequest,  serial,         sent,
                                       display,           request.owner,  request.requestor,
                                       request.selection, request.target, request.property,
                                       request.time};
            return true;
        }
        case XCB_SELECTION_NOTIFY: {
            const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(raw);
            event.xselection = {SelectionNotify, serial,           sent,
                                display,         notify.requestor, notify.selection,
                                notify.target,   notify.property,  notify.time};
            return true;
        }
        case XCB_SELECTION_CLEAR: {
            const auto& clear = reinterpret_cast<const xcb_selection_clear_event_t&>(raw);
            event.xselectionclear = {SelectionClear, serial, sent, display, clear.owner, clear.selection, clear.time};
            return true;
        }
        case XCB_PROPERTY_NOTIFY: {
            const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(raw);
            event.xproperty = {PropertyNotify, serial,      sent,        display,
                               change.window,  change.atom, change.time, change.state};
            return true;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto& destroy = reinterpret_cast<const xcb_destroy_notify_event_t&>(raw);
            event.xdestroywindow = {DestroyNotify, serial, sent, display, destroy.event, destroy.window};
            return true;
        }
        default:
            return false;
    }
}

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
    connection.xcb = XGetXCBConnection(connection.display);
    XSetEventQueueOwner(connection.display, XCBOwnsEventQueue);
    const xcb_setup_t* setup = xcb_get_setup(connection.xcb);
    connection.idBase = setup->resource_id_base;
    connection.idMask = setup->resource_id_mask;
    // In 4-byte units; the extended size is 0 where the server has no big requests.
    const long units = XExtendedMaxRequestSize(connection.display) > 0 ? XExtendedMaxRequestSize(connection.display)
                                                                       : XMaxRequestSize(connection.display);
    connection.requestBytes = static_cast<std::size_t>(units) * 4;
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
    // A reader may be this process, which takes its pieces from the loop; so may an owner. The
    // requests the server sent before it took the give-up in are all refused once its mark came.
    runLoop([&] { return !transfersGoOn(connection) && !connection.owner.marking; }, boundNs);
    endTransfers(connection);
    // The windows are gone from the server once a mark sent after their end came back, which takes
    // a moment at most.
    markOffers(connection);
    runLoop([&] { return !connection.owner.marking; }, kSettleNs);
}

}  // namespace kelvo::standin
