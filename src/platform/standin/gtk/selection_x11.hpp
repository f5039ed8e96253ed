#pragma once

// Private to the clipboard's X connection and its two users (selection_connection.cpp,
// selection_reader.cpp, selection_owner.cpp): the records, which hold Xlib's types. Included after
// every other header: Xlib's macros (None, Status, ...) would replace the stand-in's names.

#include <glib.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/standin/gtk/selection_connection.hpp"
#include "platform/standin/standin.hpp"

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace kelvo::standin {

struct GtkSelectionConnection;

// What the owner of a read's target may still do to the read's window.
enum class GtkReadStage : std::uint8_t {
    quiet,        // nothing: the window may go
    asked,        // answer the target asked
    incremental,  // send the next piece of its answer
};

// One read going on: the target asked last and what came of it so far.
struct GtkSelectionRead {
    GtkSelectionConnection* connection = nullptr;
    std::uint64_t number = 0;
    ClipboardType type = ClipboardType::plain_text;
    std::uint64_t limit = 0;
    ClipboardReadDone done;
    Window requestor = None;
    Atom asked = None;
    GtkReadStage stage = GtkReadStage::quiet;
    std::vector<Atom> untried;  // the targets to ask next when the one asked gives no text, preferred first
    Atom pieceType = None;      // the type of an incremental answer, from its first piece
    std::string bytes;          // the answer so far, 32-bit items as four bytes each
    guint timer = 0;
    ClipboardReadEnd timerEnd = ClipboardReadEnd::no_answer;  // how the read ends when the timer fires
    guint boundTimer = 0;                                     // ends the read as too_slow
};

// The window of a transfer a read gave up: whatever the owner still sends to it is deleted unread.
struct GtkSelectionDrain {
    GtkSelectionConnection* connection = nullptr;
    Window window = None;
    Atom asked = None;
    bool incremental = false;  // pieces come; otherwise the owner's answer to `asked` may still come
    guint timer = 0;           // the answer wait
    guint boundTimer = 0;      // the drain's own bound
};

// A form of the offered text other than UTF-8 (Latin-1, compound text), made when first asked
// for: a short text's at once, a long one's a bounded part each turn of the loop.
struct GtkTextForm {
    bool made = false;
    // Once made: the bytes, null where the text has no exact form of this kind (compound text);
    // `exact` once no character had to be replaced (Latin-1).
    std::shared_ptr<const std::string> bytes;
    bool exact = true;
    // While it is being made: the UTF-8 bytes done so far, and what they made.
    std::size_t done = 0;
    std::string making;
};

// The text this process offers, from its take until it is replaced, given up or taken away.
struct GtkOfferedText {
    std::uint64_t serial = 0;
    Time taken = CurrentTime;  // the display server's time of the take
    std::uint64_t page = 0;    // the web view whose request took it; 0: none known
    bool pending = false;      // taken before its text came
    std::shared_ptr<const std::string> utf8;
    GtkTextForm latin1;
    GtkTextForm compound;
    guint maker = 0;  // makes the forms that waiting requests ask for, a part each turn
    guint bound = 0;  // ends a pending text that never comes
    // The windows of requestors refused for having waited for it: what they ask for next (another
    // form, as readers do after a refusal) is refused at once.
    std::vector<Window> waitedOut;
};

// A program's request for the text, waiting for a pending text to come, or for the form it asks
// for to be made.
struct GtkWaitingRequest {
    GtkSelectionConnection* connection = nullptr;
    XSelectionRequestEvent request{};
    Atom property = None;
    guint timer = 0;  // refuses it once it waited kClipboardClaimWaitNs
};

// An answer sent in pieces (INCR): the next goes once the requestor deleted the one before.
struct GtkTextTransfer {
    GtkSelectionConnection* connection = nullptr;
    Window requestor = None;
    Atom property = None;
    Atom type = None;
    std::shared_ptr<const std::string> bytes;
    std::size_t sent = 0;
    bool watched = false;  // this connection selected the requestor's events for it
    guint timer = 0;       // the requestor took no piece for the answer wait: it is given up
};

struct GtkSelectionOwner {
    Window window = None;  // made with the first offer
    std::unique_ptr<GtkOfferedText> offered;
    std::vector<std::unique_ptr<GtkWaitingRequest>> waiting;  // the oldest first
    std::vector<std::unique_ptr<GtkTextTransfer>> transfers;
    // Each requestor window's budget of requests: the monotonic time (µs) by which it is whole
    // again. A window whose budget is whole has no entry.
    std::unordered_map<Window, std::int64_t> budgets;
    // The windows that asked past their budget, watched for their going: the monotonic time (µs)
    // of the latest request of each (see kFloodQuietUs).
    std::unordered_map<Window, std::int64_t> flooding;
    bool marking = false;  // a mark (markOffers) was sent and the server has not told of it yet
    // The last pending text given up for its bound, until its text comes or another text is
    // offered: its serial (0: none), the time it was taken at and its page.
    std::uint64_t lapsed = 0;
    Time lapsedTaken = CurrentTime;
    std::uint64_t lapsedPage = 0;
};

struct GtkSelectionConnection {
    Display* display = nullptr;
    xcb_connection_t* xcb = nullptr;  // the same connection, whose events XCB queues
    std::uint32_t idBase = 0;         // the ids of this connection's own windows: (id & ~idMask) == idBase
    std::uint32_t idMask = 0;
    std::size_t requestBytes = 0;  // the largest request the server takes
    GSource* events = nullptr;
    gpointer socket = nullptr;  // the source's watch of the connection's socket
    Atom clipboard = None;
    Atom property = None;  // where every read's answer goes, on the read's own window
    Atom targets = None;
    Atom incr = None;
    Atom utf8 = None;
    Atom plainUtf8 = None;
    Atom compoundText = None;
    Atom text = None;
    Atom html = None;
    Atom rtf = None;
    Atom applicationRtf = None;
    Atom timestamp = None;
    Atom stamp = None;  // changed on the owner's window to learn the display server's time
    // The reads.
    std::map<std::uint64_t, std::unique_ptr<GtkSelectionRead>> reads;
    std::uint64_t nextRead = 1;
    std::vector<std::unique_ptr<GtkSelectionDrain>> drains;  // the oldest first
    // The offers.
    GtkSelectionOwner owner;
    // The events taken from XCB and not handled yet, the oldest first: the next the source handles,
    // and those that came while a call waited for a reply or an event of its own.
    std::deque<XEvent> held;
    // The source's turns: resting lets the loop's other sources run before the next; `busyTurns`
    // counts the turns in a row that ended with work left; `turnBytes` the bytes of text the
    // owner sent this turn.
    bool resting = false;
    guint resumeIdle = 0;   // ends the rest once the loop's other sources had their turn
    guint resumeTimer = 0;  // or once the rest's bound passed
    int busyTurns = 0;
    std::size_t turnBytes = 0;
};

// Opens the connection to GDK's display unless it is open; false when it cannot be.
bool connectSelection(GtkState& state);
GtkSelectionConnection& selectionConnection(GtkState& state);

// The reads' and the owner's share of the source's events: each tells whether it wants one (an
// event nobody wants is dropped unhandled), handles one (and leaves the other's), and cuts every
// transfer of its own off at once (a client floods the connection). A request for the owner's text
// is admitted once, when it is taken from the connection: one beyond its requestor's budget is
// dropped, and so is every one after it until the requestor was quiet a while or its window went.
// A window's going is noted for that as it is taken too (ownerNoteGone), in its place among the
// requests: those after it of a window given the same number are another program's.
bool readWants(const GtkSelectionConnection& connection, const XEvent& event);
bool ownerWants(const GtkSelectionConnection& connection, const XEvent& event);
bool admitRequest(GtkSelectionConnection& connection, const XSelectionRequestEvent& request);
void ownerNoteGone(GtkSelectionConnection& connection, Window window);
void handleReadEvent(GtkSelectionConnection& connection, const XEvent& event);
void handleOwnerEvent(GtkSelectionConnection& connection, const XEvent& event);
void cutOffReads(GtkSelectionConnection& connection);
void cutOffOffers(GtkSelectionConnection& connection);
// Whether a read has, or had and still drains, this window.
bool readsWindow(const GtkSelectionConnection& connection, Window window);
// For the end. Every read ends as cancelled (drained where the owner may still send); every drain
// ends, its window going.
void endReads(GtkSelectionConnection& connection);
void endDrains(GtkSelectionConnection& connection);
// The offer goes: the clipboard is given up where it is still this process's, and every request
// for its text not answered yet is refused; so is every request that still comes, those the server
// sent before the clipboard was given up among them, which have all come once the mark this sends
// (markOffers) came back. Every answer sent in pieces ends where it stands, the requestor's window
// no longer watched.
void endOffers(GtkSelectionConnection& connection);
// Changes a property of the owner's window (made where there is none yet), and notes the owner as
// `marking` until the server tells of the change: by then the server did everything sent before.
void markOffers(GtkSelectionConnection& connection);
void endTextTransfers(GtkSelectionConnection& connection);

// Takes the event (and frees it) into `held`, after those held before: a request once its
// requestor's budget admits it, any other once the reads or the owner want it; the rest is
// dropped. Past kMostHeld events held, every transfer is cut off first, and what is still wanted
// past it is dropped too.
void holdEvent(GtkSelectionConnection& connection, xcb_generic_event_t* event);
// Waits for the reply to the request `sequence`, sent through XCB, holding the events that come
// before it as holdEvent does: the server may have many to send first, which are read a few
// kilobytes at a time. The reply, to be freed; null where there is none (an error, or the server is
// gone).
void* awaitReply(GtkSelectionConnection& connection, unsigned int sequence);
// The event as Xlib has it; false for an event no user of the connection handles.
bool xEventOf(const GtkSelectionConnection& connection, const xcb_generic_event_t& raw, XEvent& event);

// A main-loop timer at default priority.
guint startSelectionTimer(std::uint64_t waitNs, GSourceFunc fired, gpointer data);
void stopSelectionTimer(guint& timer);

}  // namespace kelvo::standin
