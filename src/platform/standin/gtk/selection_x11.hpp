#pragma once

// Private to the clipboard's X connection and its two users (selection_connection.cpp,
// selection_reader.cpp, selection_owner.cpp): the records, which hold Xlib's types. Included after
// every other header: Xlib's macros (None, Status, ...) would replace the stand-in's names.

#include <glib.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/standin/gtk/selection_connection.hpp"
#include "platform/standin/standin.hpp"

#include <X11/Xlib.h>

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

// The text this process offers, from its take until it is replaced, given up or taken away.
struct GtkOfferedText {
    std::uint64_t serial = 0;
    Time taken = CurrentTime;  // the display server's time of the take
    std::uint64_t page = 0;    // the web view whose request took it; 0: none known
    bool pending = false;      // taken before its text came
    std::shared_ptr<const std::string> utf8;
    // The text as Latin-1 (`latin1Exact`: no character had to be replaced) and as compound text,
    // made when first asked for; `compoundTried` once the latter was (null then: the text has no
    // exact compound form).
    std::shared_ptr<const std::string> latin1;
    bool latin1Exact = false;
    std::shared_ptr<const std::string> compound;
    bool compoundTried = false;
    guint bound = 0;  // ends a pending text that never comes
    // The windows of requestors refused for having waited for it: what they ask for next (another
    // form, as readers do after a refusal) is refused at once.
    std::vector<Window> waitedOut;
};

// A program's request for the text, waiting for a pending text to come.
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
};

struct GtkSelectionConnection {
    Display* display = nullptr;
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
    // The source's turns: resting lets the loop's other sources run before the next; property
    // changes the server told of before `cutOffSerial` are of windows a cut-off took away.
    bool resting = false;
    guint resumeIdle = 0;   // ends the rest once the loop's other sources had their turn
    guint resumeTimer = 0;  // or once the rest's bound passed
    unsigned long cutOffSerial = 0;
};

// Opens the connection to GDK's display unless it is open; false when it cannot be.
bool connectSelection(GtkState& state);
GtkSelectionConnection& selectionConnection(GtkState& state);

// The reads' and the owner's share of the source's events: each handles one (and leaves the
// other's), and each cuts every transfer of its own off at once (a client floods the connection).
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
// for its text not answered yet is refused, those the server sent before the clipboard was given
// up included. Every answer sent in pieces ends where it stands, the requestor's window no longer
// watched.
void endOffers(GtkSelectionConnection& connection);
void endTextTransfers(GtkSelectionConnection& connection);

// A main-loop timer at default priority.
guint startSelectionTimer(std::uint64_t waitNs, GSourceFunc fired, gpointer data);
void stopSelectionTimer(guint& timer);

}  // namespace kelvo::standin
