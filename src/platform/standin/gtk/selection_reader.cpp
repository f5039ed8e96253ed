// Reading the CLIPBOARD selection over an X connection of the reader's own, watched by the main
// loop. A read asks the owner once which targets it offers (TARGETS), then for the text targets it
// takes of those, the preferred first, and takes the answer from a property of a window made for
// that read: whole, or in pieces when the owner sends it incrementally (INCR). An owner that refuses
// a target, or answers it with a type that is no text, is asked for the next. The owner must begin
// each answer, and each next piece, within kClipboardAnswerWaitNs, and the whole read must end
// within kClipboardReadBoundNs.
//
// An owner that sends in pieces sends the first once the reader deletes the INCR property, and each
// next one once the reader deletes the one before. Some owners never serve anyone again when the
// reader's window goes in the middle of that, or when the INCR property is never deleted. So a
// transfer the read gives up once the owner may have begun it (a size told over the limit, a text
// that grows past it, a newer read, a cancel, the read's bound) is drained: the read ends at once,
// and its window stays, each piece the owner sends deleted unread, until the owner sends its empty
// end piece, stops sending for the answer wait, or the drain's own bound passes; only then does the
// window go. A read whose owner stopped answering lets its window go at once. The process's end,
// which takes every window with it, waits for the drains too, for a bound of its own.
//
// The owner may be this very process (GTK's offers, the web views' copies), which answers only
// while the main loop runs: so no call here waits for the owner, only for the X server.
//
// Found while checking Xlib and GDK: Xlib may move events from the socket into its queue during any
// call that waits for a reply, so the loop's source asks the queue as well as the socket. GDK's
// error handler, which serves every connection of the process, ignores errors of connections GDK
// did not open. An owner asked while the clipboard has none is answered by the server itself, as
// a refusal.

#include "platform/standin/gtk/selection_reader.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kelvo::standin {

// What the owner may still do to a read's window.
enum class GtkReadStage : std::uint8_t {
    quiet,        // nothing: the window may go
    asked,        // answer the target asked
    incremental,  // send the next piece of its answer
};

// One read going on: the target asked last and what came of it so far.
struct GtkSelectionRead {
    GtkSelectionReader* reader = nullptr;
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
    GtkSelectionReader* reader = nullptr;
    Window window = None;
    Atom asked = None;
    bool incremental = false;  // pieces come; otherwise the owner's answer to `asked` may still come
    guint timer = 0;           // the answer wait
    guint boundTimer = 0;      // the drain's own bound
};

struct GtkSelectionReader {
    Display* display = nullptr;
    GSource* events = nullptr;
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
    std::map<std::uint64_t, std::unique_ptr<GtkSelectionRead>> reads;
    std::uint64_t nextRead = 1;
    std::vector<std::unique_ptr<GtkSelectionDrain>> drains;  // the oldest first
};

namespace {

// A TARGETS answer longer than this is no list of targets.
constexpr unsigned long kTargetsLimit = 64 * 1024;
// Drains going on at once; one more ends the oldest.
constexpr std::size_t kMostDrains = 8;
// The most a drain takes: many times what an owner takes to send far more than a read takes (60 MB
// come in under a second); an owner that trickles on for longer has the window taken away.
constexpr std::uint64_t kDrainBoundNs = 30'000'000'000;

// Events handled in one turn of the loop.
constexpr int kEventsPerTurn = 64;
// Events Xlib may hold before the reader counts itself flooded: far more than owners that keep to
// the protocol ever leave (a few each), far fewer than take a megabyte.
constexpr int kMostQueued = 4096;

struct EventSource {
    GSource source;
    GtkSelectionReader* reader;
    gpointer socket;
};

void handle(GtkSelectionReader& reader, const XEvent& event);
void cutOff(GtkSelectionReader& reader);

gboolean prepareEvents(GSource* source, gint* timeout) {
    Display* display = reinterpret_cast<EventSource*>(source)->reader->display;
    *timeout = -1;
    XFlush(display);
    return XQLength(display) > 0;
}

gboolean checkEvents(GSource* source) {
    auto* events = reinterpret_cast<EventSource*>(source);
    return XQLength(events->reader->display) > 0 || (g_source_query_unix_fd(source, events->socket) & G_IO_IN) != 0;
}

// A bounded number of events each turn of the loop: the rest wait for the next (the source stays
// ready while Xlib holds any), so that events that come without pause cannot keep the loop from
// its timers (the reads' bounds among them), its signals and its windows. An owner that keeps to
// the protocol sends each next piece only once told of the delete of the one before, so Xlib never
// holds many; a client that writes to a window of the reader without waiting (broken, or hostile:
// any client may) makes events faster than the reader, which asks the server about each, handles
// them, and Xlib's queue grew by a hundred megabytes a second. Past kMostQueued, each turn cuts
// every transfer off.
gboolean dispatchEvents(GSource* source, GSourceFunc, gpointer) {
    GtkSelectionReader& reader = *reinterpret_cast<EventSource*>(source)->reader;
    if (XQLength(reader.display) > kMostQueued) cutOff(reader);
    for (int handled = 0; handled < kEventsPerTurn && XPending(reader.display) > 0; ++handled) {
        XEvent event;
        XNextEvent(reader.display, &event);
        handle(reader, event);
    }
    return G_SOURCE_CONTINUE;
}

GSourceFuncs kEventFuncs = {prepareEvents, checkEvents, dispatchEvents, nullptr, nullptr, nullptr};

// Opens the connection to GDK's display unless it is open; false when it cannot be.
bool connect(GtkSelectionReader& reader) {
    if (reader.display != nullptr) return true;
    GdkDisplay* gdk = gdk_display_get_default();
    if (gdk == nullptr) return false;
    reader.display = XOpenDisplay(gdk_display_get_name(gdk));
    if (reader.display == nullptr) return false;
    char* names[] = {const_cast<char*>("CLIPBOARD"),      const_cast<char*>("KELVO_SELECTION"),
                     const_cast<char*>("TARGETS"),        const_cast<char*>("INCR"),
                     const_cast<char*>("UTF8_STRING"),    const_cast<char*>("text/plain;charset=utf-8"),
                     const_cast<char*>("COMPOUND_TEXT"),  const_cast<char*>("TEXT"),
                     const_cast<char*>("text/html"),      const_cast<char*>("text/rtf"),
                     const_cast<char*>("application/rtf")};
    Atom atoms[std::size(names)] = {};
    XInternAtoms(reader.display, names, static_cast<int>(std::size(names)), False, atoms);
    Atom* at = atoms;
    for (Atom* field :
         {&reader.clipboard, &reader.property, &reader.targets, &reader.incr, &reader.utf8, &reader.plainUtf8,
          &reader.compoundText, &reader.text, &reader.html, &reader.rtf, &reader.applicationRtf}) {
        *field = *at++;
    }
    GSource* source = g_source_new(&kEventFuncs, sizeof(EventSource));
    auto* events = reinterpret_cast<EventSource*>(source);
    events->reader = &reader;
    events->socket = g_source_add_unix_fd(source, ConnectionNumber(reader.display), G_IO_IN);
    // A read's `done` may read the clipboard again and wait for that answer inside this source.
    g_source_set_can_recurse(source, TRUE);
    g_source_attach(source, nullptr);
    reader.events = source;
    return true;
}

// The targets a read of `type` takes, the one it prefers first.
std::vector<Atom> wantedTargets(const GtkSelectionReader& reader, ClipboardType type) {
    switch (type) {
        case ClipboardType::plain_text:
            return {reader.utf8, reader.plainUtf8, XA_STRING, reader.compoundText, reader.text};
        case ClipboardType::html:
            return {reader.html};
        case ClipboardType::rtf:
            return {reader.rtf, reader.applicationRtf};
    }
    return {};
}

bool contains(const std::vector<Atom>& atoms, Atom atom) {
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

// Whether a read of `type` takes an answer of that type and format: text, in bytes.
bool takes(const GtkSelectionReader& reader, ClipboardType type, Atom answerType, int format) {
    return format == 8 && (contains(wantedTargets(reader, type), answerType) ||
                           contains(wantedTargets(reader, ClipboardType::plain_text), answerType));
}

guint startTimer(std::uint64_t waitNs, GSourceFunc fired, gpointer data) {
    return g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(waitNs / 1'000'000), fired, data, nullptr);
}

void stopTimer(guint& timer) {
    if (timer != 0) g_source_remove(std::exchange(timer, 0));
}

// What a property holds, without its value.
struct PropertyShape {
    Atom type = None;
    int format = 0;
    unsigned long bytes = 0;
};

// None when the window has no such property.
std::optional<PropertyShape> shapeOf(Display* display, Window window, Atom property) {
    PropertyShape shape;
    unsigned long items = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &shape.type,
                                          &shape.format, &items, &shape.bytes, &data);
    if (data != nullptr) XFree(data);
    if (status != Success || shape.type == None) return std::nullopt;
    return shape;
}

GtkSelectionDrain* drainOf(GtkSelectionReader& reader, Window window) {
    for (const auto& drain : reader.drains) {
        if (drain->window == window) return drain.get();
    }
    return nullptr;
}

// The drain is over: its window goes.
void endDrain(GtkSelectionReader& reader, GtkSelectionDrain& drain) {
    stopTimer(drain.timer);
    stopTimer(drain.boundTimer);
    XDestroyWindow(reader.display, drain.window);
    XFlush(reader.display);
    std::erase_if(reader.drains, [&](const auto& kept) { return kept.get() == &drain; });
}

gboolean drainWaitOver(gpointer data) {
    auto& drain = *static_cast<GtkSelectionDrain*>(data);
    drain.timer = 0;
    endDrain(*drain.reader, drain);
    return G_SOURCE_REMOVE;
}

gboolean drainBoundOver(gpointer data) {
    auto& drain = *static_cast<GtkSelectionDrain*>(data);
    drain.boundTimer = 0;
    endDrain(*drain.reader, drain);
    return G_SOURCE_REMOVE;
}

void waitInDrain(GtkSelectionDrain& drain) {
    stopTimer(drain.timer);
    drain.timer = startTimer(kClipboardAnswerWaitNs, drainWaitOver, &drain);
}

// The read's window goes: at once when the owner is done with it, otherwise once a drain let the
// owner finish.
void letGo(GtkSelectionRead& read) {
    GtkSelectionReader& reader = *read.reader;
    const Window window = std::exchange(read.requestor, None);
    const GtkReadStage stage = std::exchange(read.stage, GtkReadStage::quiet);
    if (window == None) return;
    if (stage == GtkReadStage::quiet) {
        XDestroyWindow(reader.display, window);
        XFlush(reader.display);
        return;
    }
    if (reader.drains.size() >= kMostDrains) endDrain(reader, *reader.drains.front());
    auto drain = std::make_unique<GtkSelectionDrain>();
    drain->reader = &reader;
    drain->window = window;
    drain->asked = read.asked;
    drain->incremental = stage == GtkReadStage::incremental;
    // A piece the read did not take, or the INCR property it did not delete, holds the owner up.
    if (drain->incremental) XDeleteProperty(reader.display, window, reader.property);
    XFlush(reader.display);
    drain->boundTimer = startTimer(kDrainBoundNs, drainBoundOver, drain.get());
    waitInDrain(*drain);
    reader.drains.push_back(std::move(drain));
}

// Ends the read: its timers go, its window too (drained when the owner is not done with it), then
// its record; nothing when the read is not going on.
void dropRead(GtkSelectionReader& reader, std::uint64_t number) {
    auto found = reader.reads.find(number);
    if (found == reader.reads.end()) return;
    GtkSelectionRead& read = *found->second;
    stopTimer(read.timer);
    stopTimer(read.boundTimer);
    letGo(read);
    reader.reads.erase(found);
}

void finish(GtkSelectionRead& read, ClipboardReadEnd end, std::string bytes = {}) {
    ClipboardReadDone done = std::move(read.done);
    dropRead(*read.reader, read.number);
    if (done) done(ClipboardRead{end, std::move(bytes)});
}

// The owner has not answered, or sent no next piece, for the answer wait: it is done with the
// read's window, which goes at once.
gboolean timedOut(gpointer data) {
    auto& read = *static_cast<GtkSelectionRead*>(data);
    read.timer = 0;
    read.stage = GtkReadStage::quiet;
    finish(read, read.timerEnd);
    return G_SOURCE_REMOVE;
}

gboolean boundOver(gpointer data) {
    auto& read = *static_cast<GtkSelectionRead*>(data);
    read.boundTimer = 0;
    finish(read, ClipboardReadEnd::too_slow);
    return G_SOURCE_REMOVE;
}

// The read ends as `end` after `waitNs` unless something comes before.
void waitFor(GtkSelectionRead& read, std::uint64_t waitNs, ClipboardReadEnd end) {
    stopTimer(read.timer);
    read.timerEnd = end;
    read.timer = startTimer(waitNs, timedOut, &read);
}

void ask(GtkSelectionRead& read, Atom target) {
    Display* display = read.reader->display;
    read.asked = target;
    read.stage = GtkReadStage::asked;
    read.pieceType = None;
    read.bytes.clear();
    XConvertSelection(display, read.reader->clipboard, target, read.reader->property, read.requestor, CurrentTime);
    XFlush(display);
    waitFor(read, kClipboardAnswerWaitNs, ClipboardReadEnd::no_answer);
}

// Asks for the next target not tried yet; with none left, the owner handed no text over.
void askNext(GtkSelectionRead& read) {
    if (read.untried.empty()) {
        finish(read, ClipboardReadEnd::failed);
        return;
    }
    const Atom next = read.untried.front();
    read.untried.erase(read.untried.begin());
    ask(read, next);
}

GtkSelectionRead* readOf(GtkSelectionReader& reader, Window requestor) {
    for (auto& [number, read] : reader.reads) {
        if (read->requestor == requestor) return read.get();
    }
    return nullptr;
}

// Appends the property's whole value to `bytes` (32-bit items as four bytes each, as the server
// holds them), deleting the property when `remove`; false when it is not there, or not whole.
bool takeProperty(Display* display, Window window, Atom property, unsigned long size, bool remove, std::string& bytes) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display, window, property, 0, static_cast<long>((size + 3) / 4), remove ? True : False,
                           AnyPropertyType, &type, &format, &items, &after, &data);
    bool whole = status == Success && type != None && after == 0;
    if (whole && format == 8) {
        bytes.append(reinterpret_cast<const char*>(data), items);
    } else if (whole && format == 16) {
        bytes.append(reinterpret_cast<const char*>(data), items * 2);
    } else if (whole && format == 32) {
        // Xlib hands 32-bit items over as longs.
        for (unsigned long i = 0; i < items; ++i) {
            const auto item = static_cast<std::uint32_t>(reinterpret_cast<const unsigned long*>(data)[i]);
            bytes.append(reinterpret_cast<const char*>(&item), 4);
        }
    } else {
        whole = false;
    }
    if (data != nullptr) XFree(data);
    return whole;
}

std::uint64_t limitOf(const GtkSelectionRead& read) {
    return read.asked == read.reader->targets ? kTargetsLimit : read.limit;
}

// A TARGETS answer too long to be one fails the read; a text longer than the limit is refused.
void tooLarge(GtkSelectionRead& read) {
    finish(read, read.asked == read.reader->targets ? ClipboardReadEnd::failed : ClipboardReadEnd::too_large);
}

// The owner refused the conversion, or there is no owner (the server refuses for it).
void refused(GtkSelectionRead& read) {
    GtkSelectionReader& reader = *read.reader;
    if (XGetSelectionOwner(reader.display, reader.clipboard) == None) {
        finish(read, ClipboardReadEnd::text);
        return;
    }
    if (read.asked == reader.targets) read.untried = wantedTargets(reader, read.type);
    askNext(read);
}

// Each byte of Latin-1 as UTF-8.
std::string utf8FromLatin1(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

// Compound text as UTF-8; its NULs, which part it into strings, kept. None when Xlib cannot
// convert it.
std::optional<std::string> utf8FromCompoundText(Display* display, std::string& bytes, Atom type) {
    XTextProperty property{reinterpret_cast<unsigned char*>(bytes.data()), type, 8, bytes.size()};
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &property, &list, &count) != Success) return std::nullopt;
    std::string utf8;
    for (int i = 0; i < count; ++i) {
        if (i > 0) utf8 += '\0';
        utf8 += list[i];
    }
    XFreeStringList(list);
    return utf8;
}

// Asks for the targets the read takes of those the owner offers, the preferred first (`bytes`
// holds the TARGETS answer, a list of atoms); with none offered, the clipboard holds no item of
// the read's type.
void chooseTarget(GtkSelectionRead& read, int format) {
    if (format != 32) {
        finish(read, ClipboardReadEnd::failed);
        return;
    }
    std::vector<Atom> offered;
    for (std::size_t at = 0; at + 4 <= read.bytes.size(); at += 4) {
        std::uint32_t atom = 0;
        std::memcpy(&atom, read.bytes.data() + at, 4);
        offered.push_back(atom);
    }
    read.untried.clear();
    for (Atom wanted : wantedTargets(*read.reader, read.type)) {
        if (contains(offered, wanted)) read.untried.push_back(wanted);
    }
    if (read.untried.empty()) {
        finish(read, ClipboardReadEnd::text);
    } else {
        askNext(read);
    }
}

// The whole answer is in `read.bytes`, of that type and format; one that is no text gets the next
// target asked.
void answered(GtkSelectionRead& read, Atom type, int format) {
    GtkSelectionReader& reader = *read.reader;
    if (read.asked == reader.targets) {
        chooseTarget(read, format);
        return;
    }
    if (!takes(reader, read.type, type, format)) {
        askNext(read);
        return;
    }
    std::optional<std::string> text = std::move(read.bytes);
    if (read.type == ClipboardType::plain_text && type == XA_STRING) {
        text = utf8FromLatin1(*text);
    } else if (read.type == ClipboardType::plain_text && type == reader.compoundText) {
        text = utf8FromCompoundText(reader.display, *text, type);
    }
    if (!text) {
        finish(read, ClipboardReadEnd::failed);
    } else if (text->size() > read.limit) {
        finish(read, ClipboardReadEnd::too_large);
    } else {
        finish(read, ClipboardReadEnd::text, std::move(*text));
    }
}

// What the read's property holds; when it holds nothing, the read fails.
std::optional<PropertyShape> answerShape(GtkSelectionRead& read) {
    std::optional<PropertyShape> shape = shapeOf(read.reader->display, read.requestor, read.reader->property);
    if (!shape) finish(read, ClipboardReadEnd::failed);
    return shape;
}

// Appends the read's property, of that shape, to the answer so far; false when that ends the read
// (the answer grows over its limit, or the value is not whole).
bool takeAnswer(GtkSelectionRead& read, const PropertyShape& shape) {
    GtkSelectionReader& reader = *read.reader;
    if (read.bytes.size() + shape.bytes > limitOf(read)) {
        tooLarge(read);
        return false;
    }
    if (!takeProperty(reader.display, read.requestor, reader.property, shape.bytes, true, read.bytes)) {
        finish(read, ClipboardReadEnd::failed);
        return false;
    }
    return true;
}

// The owner put its answer in the read's property (SelectionNotify).
void converted(GtkSelectionRead& read) {
    GtkSelectionReader& reader = *read.reader;
    const std::optional<PropertyShape> shape = answerShape(read);
    if (!shape) return;
    if (shape->type == reader.incr) {
        // The owner sends its first piece once the property goes, whatever the read makes of it.
        read.stage = GtkReadStage::incremental;
        // The value is the size's lower bound (some owners leave it empty).
        std::string bound;
        if (shape->format != 32 || (shape->bytes != 0 && shape->bytes != 4) ||
            !takeProperty(reader.display, read.requestor, reader.property, shape->bytes, false, bound)) {
            finish(read, ClipboardReadEnd::failed);
            return;
        }
        std::uint32_t atLeast = 0;
        if (bound.size() == 4) std::memcpy(&atLeast, bound.data(), 4);
        if (atLeast > limitOf(read)) {
            tooLarge(read);
            return;
        }
        XDeleteProperty(reader.display, read.requestor, reader.property);
        XFlush(reader.display);
        waitFor(read, kClipboardAnswerWaitNs, ClipboardReadEnd::no_answer);
        return;
    }
    if (takeAnswer(read, *shape)) answered(read, shape->type, shape->format);
}

// The owner put the next piece of an incremental answer in the read's property; an empty one
// ends the answer.
void pieceCame(GtkSelectionRead& read) {
    GtkSelectionReader& reader = *read.reader;
    const std::optional<PropertyShape> shape = answerShape(read);
    if (!shape) return;
    if (shape->bytes == 0) {
        read.stage = GtkReadStage::quiet;
        XDeleteProperty(reader.display, read.requestor, reader.property);
        XFlush(reader.display);
        answered(read, read.pieceType == None ? shape->type : read.pieceType, shape->format);
        return;
    }
    if (read.pieceType == None) read.pieceType = shape->type;
    if (takeAnswer(read, *shape)) {
        XFlush(reader.display);
        waitFor(read, kClipboardAnswerWaitNs, ClipboardReadEnd::no_answer);
    }
}

// The owner answered a drain's target after all: an incremental answer is drained too, any other
// ends the drain.
void drainAnswered(GtkSelectionDrain& drain, Atom property) {
    GtkSelectionReader& reader = *drain.reader;
    std::optional<PropertyShape> shape;
    if (property != None) shape = shapeOf(reader.display, drain.window, reader.property);
    if (!shape || shape->type != reader.incr) {
        endDrain(reader, drain);
        return;
    }
    drain.incremental = true;
    XDeleteProperty(reader.display, drain.window, reader.property);
    XFlush(reader.display);
    waitInDrain(drain);
}

// The owner sent a drain its next piece: deleted unread; the empty end piece ends the drain.
void drainPiece(GtkSelectionDrain& drain) {
    GtkSelectionReader& reader = *drain.reader;
    const std::optional<PropertyShape> shape = shapeOf(reader.display, drain.window, reader.property);
    // Gone already: the notice of a piece deleted before it was handled.
    if (!shape) return;
    XDeleteProperty(reader.display, drain.window, reader.property);
    XFlush(reader.display);
    if (shape->bytes == 0) {
        endDrain(reader, drain);
    } else {
        waitInDrain(drain);
    }
}

// Events of windows whose read and drain ended find neither, and go.
void handle(GtkSelectionReader& reader, const XEvent& event) {
    if (event.type == SelectionNotify) {
        const XSelectionEvent& notify = event.xselection;
        if (notify.selection != reader.clipboard) return;
        if (GtkSelectionRead* read = readOf(reader, notify.requestor)) {
            if (read->stage != GtkReadStage::asked || notify.target != read->asked) return;
            read->stage = GtkReadStage::quiet;
            if (notify.property == None) {
                refused(*read);
            } else {
                converted(*read);
            }
        } else if (GtkSelectionDrain* drain = drainOf(reader, notify.requestor)) {
            if (!drain->incremental && notify.target == drain->asked) drainAnswered(*drain, notify.property);
        }
    } else if (event.type == PropertyNotify) {
        const XPropertyEvent& change = event.xproperty;
        if (change.atom != reader.property || change.state != PropertyNewValue) return;
        if (GtkSelectionRead* read = readOf(reader, change.window)) {
            if (read->stage == GtkReadStage::incremental) pieceCame(*read);
        } else if (GtkSelectionDrain* drain = drainOf(reader, change.window)) {
            if (drain->incremental) drainPiece(*drain);
        }
    }
}

// Every read fails and every drain ends, their windows going at once, which ends what is sent to
// them. The events the server sent before they went are all taken in, and handled in one go (those
// of the windows gone find neither): left to come in later, they would count as a flood again and
// cut off the reads that come next.
void cutOff(GtkSelectionReader& reader) {
    std::vector<std::uint64_t> numbers;
    for (const auto& [number, read] : reader.reads) numbers.push_back(number);
    for (const std::uint64_t number : numbers) {
        // A read's `done` may have ended others, or started one.
        auto found = reader.reads.find(number);
        if (found == reader.reads.end()) continue;
        found->second->stage = GtkReadStage::quiet;
        finish(*found->second, ClipboardReadEnd::failed);
    }
    while (!reader.drains.empty()) endDrain(reader, *reader.drains.front());
    XSync(reader.display, False);
    for (int queued = XQLength(reader.display); queued > 0 && XQLength(reader.display) > 0; --queued) {
        XEvent event;
        XNextEvent(reader.display, &event);
        handle(reader, event);
    }
}

Window makeRequestor(GtkSelectionReader& reader) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    return XCreateWindow(reader.display, DefaultRootWindow(reader.display), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                         CopyFromParent, CWEventMask, &attributes);
}

}  // namespace

void closeSelectionReader(GtkSelectionReader* reader) {
    if (reader == nullptr) return;
    while (!reader->reads.empty()) {
        // The process is done with the display: no owner is waited for any more.
        reader->reads.begin()->second->stage = GtkReadStage::quiet;
        dropRead(*reader, reader->reads.begin()->first);
    }
    while (!reader->drains.empty()) endDrain(*reader, *reader->drains.front());
    if (reader->events != nullptr) {
        g_source_destroy(reader->events);
        g_source_unref(reader->events);
    }
    if (reader->display != nullptr) XCloseDisplay(reader->display);
    delete reader;
}

std::uint64_t gtkStartSelectionRead(GtkState& state, ClipboardType type, std::uint64_t limit, ClipboardReadDone done) {
    if (!state.selectionReader) state.selectionReader.reset(new GtkSelectionReader());
    GtkSelectionReader& reader = *state.selectionReader;
    auto made = std::make_unique<GtkSelectionRead>();
    GtkSelectionRead& read = *made;
    read.reader = &reader;
    read.number = reader.nextRead++;
    read.type = type;
    read.limit = limit;
    read.done = std::move(done);
    reader.reads.emplace(read.number, std::move(made));
    if (connect(reader)) read.requestor = makeRequestor(reader);
    if (read.requestor != None) {
        read.boundTimer = startTimer(kClipboardReadBoundNs, boundOver, &read);
        ask(read, reader.targets);
    } else {
        // The display cannot be reached: the read ends on the loop's next turn.
        waitFor(read, 0, ClipboardReadEnd::failed);
    }
    return read.number;
}

void gtkCancelSelectionRead(GtkState& state, std::uint64_t read) {
    if (state.selectionReader) dropRead(*state.selectionReader, read);
}

void gtkFinishSelectionTransfers(GtkState& state, std::uint64_t boundNs) {
    if (!state.selectionReader) return;
    GtkSelectionReader& reader = *state.selectionReader;
    while (!reader.reads.empty()) dropRead(reader, reader.reads.begin()->first);
    bool over = false;
    guint bound = startTimer(
        boundNs,
        [](gpointer data) {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &over);
    // The owner may be this process, which answers from the loop.
    while (!reader.drains.empty() && !over) g_main_context_iteration(nullptr, TRUE);
    if (!over) stopTimer(bound);
    while (!reader.drains.empty()) endDrain(reader, *reader.drains.front());
    // The windows are gone from the server by the time this returns.
    if (reader.display != nullptr) XSync(reader.display, False);
}

}  // namespace kelvo::standin
