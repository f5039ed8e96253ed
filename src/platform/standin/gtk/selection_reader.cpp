// Reading the CLIPBOARD selection over the clipboard's X connection (selection_connection.cpp),
// watched by the main loop. A read asks the owner once which targets it offers (TARGETS), then for
// the text targets it takes of those, the preferred first, and takes the answer from a property of
// a window made for that read: whole, or in pieces when the owner sends it incrementally (INCR). An
// owner that refuses a target, or answers it with a type that is no text, is asked for the next.
// The owner must begin each answer, and each next piece, within kClipboardAnswerWaitNs, and the
// whole read must end within kClipboardReadBoundNs.
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
// The owner may be this very process (GTK's offers, the web views' copies, its own plain text),
// which answers only while the main loop runs: so no call here waits for the owner, only for the X
// server. An owner asked while the clipboard has none is answered by the server itself, as a
// refusal.

#include "platform/standin/gtk/selection_reader.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/standin/gtk/gtk_state.hpp"

// After the stand-in's names, which Xlib's macros (None, Status, ...) would otherwise replace.
#include "platform/standin/gtk/selection_x11.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace kelvo::standin {

namespace {

// A TARGETS answer longer than this is no list of targets.
constexpr unsigned long kTargetsLimit = 64 * 1024;
// Drains going on at once; one more ends the oldest.
constexpr std::size_t kMostDrains = 8;
// The most a drain takes: many times what an owner takes to send far more than a read takes (60 MB
// come in under a second); an owner that trickles on for longer has the window taken away.
constexpr std::uint64_t kDrainBoundNs = 30'000'000'000;

// The targets a read of `type` takes, the one it prefers first.
std::vector<Atom> wantedTargets(const GtkSelectionConnection& connection, ClipboardType type) {
    switch (type) {
        case ClipboardType::plain_text:
            return {connection.utf8, connection.plainUtf8, XA_STRING, connection.compoundText, connection.text};
        case ClipboardType::html:
            return {connection.html};
        case ClipboardType::rtf:
            return {connection.rtf, connection.applicationRtf};
    }
    return {};
}

bool contains(const std::vector<Atom>& atoms, Atom atom) {
    return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
}

// Whether a read of `type` takes an answer of that type and format: text, in bytes.
bool takes(const GtkSelectionConnection& connection, ClipboardType type, Atom answerType, int format) {
    return format == 8 && (contains(wantedTargets(connection, type), answerType) ||
                           contains(wantedTargets(connection, ClipboardType::plain_text), answerType));
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

GtkSelectionDrain* drainOf(GtkSelectionConnection& connection, Window window) {
    for (const auto& drain : connection.drains) {
        if (drain->window == window) return drain.get();
    }
    return nullptr;
}

// The drain is over: its window goes.
void endDrain(GtkSelectionConnection& connection, GtkSelectionDrain& drain) {
    stopSelectionTimer(drain.timer);
    stopSelectionTimer(drain.boundTimer);
    XDestroyWindow(connection.display, drain.window);
    XFlush(connection.display);
    std::erase_if(connection.drains, [&](const auto& kept) { return kept.get() == &drain; });
}

gboolean drainWaitOver(gpointer data) {
    auto& drain = *static_cast<GtkSelectionDrain*>(data);
    drain.timer = 0;
    endDrain(*drain.connection, drain);
    return G_SOURCE_REMOVE;
}

gboolean drainBoundOver(gpointer data) {
    auto& drain = *static_cast<GtkSelectionDrain*>(data);
    drain.boundTimer = 0;
    endDrain(*drain.connection, drain);
    return G_SOURCE_REMOVE;
}

void waitInDrain(GtkSelectionDrain& drain) {
    stopSelectionTimer(drain.timer);
    drain.timer = startSelectionTimer(kClipboardAnswerWaitNs, drainWaitOver, &drain);
}

// The read's window goes: at once when the owner is done with it, otherwise once a drain let the
// owner finish.
void letGo(GtkSelectionRead& read) {
    GtkSelectionConnection& connection = *read.connection;
    const Window window = std::exchange(read.requestor, None);
    const GtkReadStage stage = std::exchange(read.stage, GtkReadStage::quiet);
    if (window == None) return;
    if (stage == GtkReadStage::quiet) {
        XDestroyWindow(connection.display, window);
        XFlush(connection.display);
        return;
    }
    if (connection.drains.size() >= kMostDrains) endDrain(connection, *connection.drains.front());
    auto drain = std::make_unique<GtkSelectionDrain>();
    drain->connection = &connection;
    drain->window = window;
    drain->asked = read.asked;
    drain->incremental = stage == GtkReadStage::incremental;
    // A piece the read did not take, or the INCR property it did not delete, holds the owner up.
    if (drain->incremental) XDeleteProperty(connection.display, window, connection.property);
    XFlush(connection.display);
    drain->boundTimer = startSelectionTimer(kDrainBoundNs, drainBoundOver, drain.get());
    waitInDrain(*drain);
    connection.drains.push_back(std::move(drain));
}

// Ends the read: its timers go, its window too (drained when the owner is not done with it), then
// its record; nothing when the read is not going on.
void dropRead(GtkSelectionConnection& connection, std::uint64_t number) {
    auto found = connection.reads.find(number);
    if (found == connection.reads.end()) return;
    GtkSelectionRead& read = *found->second;
    stopSelectionTimer(read.timer);
    stopSelectionTimer(read.boundTimer);
    letGo(read);
    connection.reads.erase(found);
}

void finish(GtkSelectionRead& read, ClipboardReadEnd end, std::string bytes = {}) {
    ClipboardReadDone done = std::move(read.done);
    dropRead(*read.connection, read.number);
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
    stopSelectionTimer(read.timer);
    read.timerEnd = end;
    read.timer = startSelectionTimer(waitNs, timedOut, &read);
}

void ask(GtkSelectionRead& read, Atom target) {
    Display* display = read.connection->display;
    read.asked = target;
    read.stage = GtkReadStage::asked;
    read.pieceType = None;
    read.bytes.clear();
    XConvertSelection(display, read.connection->clipboard, target, read.connection->property, read.requestor,
                      CurrentTime);
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

GtkSelectionRead* readOf(GtkSelectionConnection& connection, Window requestor) {
    for (auto& [number, read] : connection.reads) {
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
    return read.asked == read.connection->targets ? kTargetsLimit : read.limit;
}

// A TARGETS answer too long to be one fails the read; a text longer than the limit is refused.
void tooLarge(GtkSelectionRead& read) {
    finish(read, read.asked == read.connection->targets ? ClipboardReadEnd::failed : ClipboardReadEnd::too_large);
}

// The owner refused the conversion, or there is no owner (the server refuses for it).
void refused(GtkSelectionRead& read) {
    GtkSelectionConnection& connection = *read.connection;
    if (XGetSelectionOwner(connection.display, connection.clipboard) == None) {
        finish(read, ClipboardReadEnd::text);
        return;
    }
    if (read.asked == connection.targets) read.untried = wantedTargets(connection, read.type);
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
    for (Atom wanted : wantedTargets(*read.connection, read.type)) {
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
    GtkSelectionConnection& connection = *read.connection;
    if (read.asked == connection.targets) {
        chooseTarget(read, format);
        return;
    }
    if (!takes(connection, read.type, type, format)) {
        askNext(read);
        return;
    }
    std::optional<std::string> text = std::move(read.bytes);
    if (read.type == ClipboardType::plain_text && type == XA_STRING) {
        text = utf8FromLatin1(*text);
    } else if (read.type == ClipboardType::plain_text && type == connection.compoundText) {
        text = utf8FromCompoundText(connection.display, *text, type);
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
    std::optional<PropertyShape> shape = shapeOf(read.connection->display, read.requestor, read.connection->property);
    if (!shape) finish(read, ClipboardReadEnd::failed);
    return shape;
}

// Appends the read's property, of that shape, to the answer so far; false when that ends the read
// (the answer grows over its limit, or the value is not whole).
bool takeAnswer(GtkSelectionRead& read, const PropertyShape& shape) {
    GtkSelectionConnection& connection = *read.connection;
    if (read.bytes.size() + shape.bytes > limitOf(read)) {
        tooLarge(read);
        return false;
    }
    if (!takeProperty(connection.display, read.requestor, connection.property, shape.bytes, true, read.bytes)) {
        finish(read, ClipboardReadEnd::failed);
        return false;
    }
    return true;
}

// The owner put its answer in the read's property (SelectionNotify).
void converted(GtkSelectionRead& read) {
    GtkSelectionConnection& connection = *read.connection;
    const std::optional<PropertyShape> shape = answerShape(read);
    if (!shape) return;
    if (shape->type == connection.incr) {
        // The owner sends its first piece once the property goes, whatever the read makes of it.
        read.stage = GtkReadStage::incremental;
        // The value is the size's lower bound (some owners leave it empty).
        std::string bound;
        if (shape->format != 32 || (shape->bytes != 0 && shape->bytes != 4) ||
            !takeProperty(connection.display, read.requestor, connection.property, shape->bytes, false, bound)) {
            finish(read, ClipboardReadEnd::failed);
            return;
        }
        std::uint32_t atLeast = 0;
        if (bound.size() == 4) std::memcpy(&atLeast, bound.data(), 4);
        if (atLeast > limitOf(read)) {
            tooLarge(read);
            return;
        }
        XDeleteProperty(connection.display, read.requestor, connection.property);
        XFlush(connection.display);
        waitFor(read, kClipboardAnswerWaitNs, ClipboardReadEnd::no_answer);
        return;
    }
    if (takeAnswer(read, *shape)) answered(read, shape->type, shape->format);
}

// The owner put the next piece of an incremental answer in the read's property; an empty one
// ends the answer.
void pieceCame(GtkSelectionRead& read) {
    GtkSelectionConnection& connection = *read.connection;
    const std::optional<PropertyShape> shape = answerShape(read);
    if (!shape) return;
    if (shape->bytes == 0) {
        read.stage = GtkReadStage::quiet;
        XDeleteProperty(connection.display, read.requestor, connection.property);
        XFlush(connection.display);
        answered(read, read.pieceType == None ? shape->type : read.pieceType, shape->format);
        return;
    }
    if (read.pieceType == None) read.pieceType = shape->type;
    if (takeAnswer(read, *shape)) {
        XFlush(connection.display);
        waitFor(read, kClipboardAnswerWaitNs, ClipboardReadEnd::no_answer);
    }
}

// The owner answered a drain's target after all: an incremental answer is drained too, any other
// ends the drain.
void drainAnswered(GtkSelectionDrain& drain, Atom property) {
    GtkSelectionConnection& connection = *drain.connection;
    std::optional<PropertyShape> shape;
    if (property != None) shape = shapeOf(connection.display, drain.window, connection.property);
    if (!shape || shape->type != connection.incr) {
        endDrain(connection, drain);
        return;
    }
    drain.incremental = true;
    XDeleteProperty(connection.display, drain.window, connection.property);
    XFlush(connection.display);
    waitInDrain(drain);
}

// The owner sent a drain its next piece: deleted unread; the empty end piece ends the drain.
void drainPiece(GtkSelectionDrain& drain) {
    GtkSelectionConnection& connection = *drain.connection;
    const std::optional<PropertyShape> shape = shapeOf(connection.display, drain.window, connection.property);
    // Gone already: the notice of a piece deleted before it was handled.
    if (!shape) return;
    XDeleteProperty(connection.display, drain.window, connection.property);
    XFlush(connection.display);
    if (shape->bytes == 0) {
        endDrain(connection, drain);
    } else {
        waitInDrain(drain);
    }
}

Window makeRequestor(GtkSelectionConnection& connection) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    return XCreateWindow(connection.display, DefaultRootWindow(connection.display), -1, -1, 1, 1, 0, CopyFromParent,
                         InputOnly, CopyFromParent, CWEventMask, &attributes);
}

// Every read ends, in the way `end` gives (nothing: cancelled, `done` not run), its window going at
// once or drained.
template <typename End>
void endEveryRead(GtkSelectionConnection& connection, End end) {
    std::vector<std::uint64_t> numbers;
    for (const auto& [number, read] : connection.reads) numbers.push_back(number);
    for (const std::uint64_t number : numbers) {
        // A read's `done` may have ended others, or started one.
        auto found = connection.reads.find(number);
        if (found != connection.reads.end()) end(*found->second);
    }
}

}  // namespace

bool readWants(const GtkSelectionConnection& connection, const XEvent& event) {
    if (event.type == SelectionNotify) {
        return event.xselection.selection == connection.clipboard &&
               readsWindow(connection, event.xselection.requestor);
    }
    return event.type == PropertyNotify && event.xproperty.atom == connection.property &&
           event.xproperty.state == PropertyNewValue && readsWindow(connection, event.xproperty.window);
}

// Events of windows whose read and drain ended find neither, and go.
void handleReadEvent(GtkSelectionConnection& connection, const XEvent& event) {
    if (event.type == SelectionNotify) {
        const XSelectionEvent& notify = event.xselection;
        if (notify.selection != connection.clipboard) return;
        if (GtkSelectionRead* read = readOf(connection, notify.requestor)) {
            if (read->stage != GtkReadStage::asked || notify.target != read->asked) return;
            read->stage = GtkReadStage::quiet;
            if (notify.property == None) {
                refused(*read);
            } else {
                converted(*read);
            }
        } else if (GtkSelectionDrain* drain = drainOf(connection, notify.requestor)) {
            if (!drain->incremental && notify.target == drain->asked) drainAnswered(*drain, notify.property);
        }
    } else if (event.type == PropertyNotify) {
        const XPropertyEvent& change = event.xproperty;
        if (change.atom != connection.property || change.state != PropertyNewValue) return;
        if (GtkSelectionRead* read = readOf(connection, change.window)) {
            if (read->stage == GtkReadStage::incremental) pieceCame(*read);
        } else if (GtkSelectionDrain* drain = drainOf(connection, change.window)) {
            if (drain->incremental) drainPiece(*drain);
        }
    }
}

// Every read fails and every drain ends, their windows going at once, which ends what is sent to
// them.
void cutOffReads(GtkSelectionConnection& connection) {
    endEveryRead(connection, [](GtkSelectionRead& read) {
        read.stage = GtkReadStage::quiet;
        finish(read, ClipboardReadEnd::failed);
    });
    endDrains(connection);
}

bool readsWindow(const GtkSelectionConnection& connection, Window window) {
    return std::any_of(connection.reads.begin(), connection.reads.end(),
                       [&](const auto& read) { return read.second->requestor == window; }) ||
           std::any_of(connection.drains.begin(), connection.drains.end(),
                       [&](const auto& drain) { return drain->window == window; });
}

void endReads(GtkSelectionConnection& connection) {
    endEveryRead(connection, [&](GtkSelectionRead& read) { dropRead(connection, read.number); });
}

void endDrains(GtkSelectionConnection& connection) {
    while (!connection.drains.empty()) endDrain(connection, *connection.drains.front());
}

std::uint64_t gtkStartSelectionRead(GtkState& state, ClipboardType type, std::uint64_t limit, ClipboardReadDone done) {
    GtkSelectionConnection& connection = selectionConnection(state);
    auto made = std::make_unique<GtkSelectionRead>();
    GtkSelectionRead& read = *made;
    read.connection = &connection;
    read.number = connection.nextRead++;
    read.type = type;
    read.limit = limit;
    read.done = std::move(done);
    connection.reads.emplace(read.number, std::move(made));
    if (connectSelection(state)) read.requestor = makeRequestor(connection);
    if (read.requestor != None) {
        read.boundTimer = startSelectionTimer(kClipboardReadBoundNs, boundOver, &read);
        ask(read, connection.targets);
    } else {
        // The display cannot be reached: the read ends on the loop's next turn.
        waitFor(read, 0, ClipboardReadEnd::failed);
    }
    return read.number;
}

void gtkCancelSelectionRead(GtkState& state, std::uint64_t read) {
    if (state.selection) dropRead(*state.selection, read);
}

}  // namespace kelvo::standin
