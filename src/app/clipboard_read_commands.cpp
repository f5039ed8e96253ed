// Reading the clipboard's text: "vostra.clipboard.read.begin", "vostra.clipboard.read.chunk" and
// "vostra.clipboard.read.finish".
//
// A paste may be of any size, and the runtime's own text read answers at most what fits a JSON
// string in its reply buffer. So begin reads the clipboard's text whole onto the heap, and the
// page takes it in base64 chunks, as it reads a document. A page that holds the text of a copy it
// made names that copy's transfer (`{"copy":N}`): when the clipboard still holds that very text,
// or the text is still on its way and nothing else took the clipboard since the user asked for the
// copy, begin answers the number back and reads nothing, so a paste never waits for a copy to
// land. Any other begin reads (a page that was loaded again has no text of its own).
//
// Another program hands its text over while the main loop runs, and may take its time or never
// answer: begin answers once the read ends, and the program goes on meanwhile. A begin while a
// read waits ends that read, whose page hears NoOpenFile.
//
// The page decodes the bytes as UTF-8, so bytes that are not (another program may offer any bytes)
// become U+FFFD here, each byte one, and begin counts them.

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "app/command_support.hpp"
#include "base/bounded_writer.hpp"
#include "base/number_text.hpp"
#include "base/utf8.hpp"
#include "bridge/json_field.hpp"
#include "bridge/reply.hpp"

namespace kelvo {

namespace {

// What begin made of the clipboard's text.
struct TakenText {
    ClipboardTextRead* read = nullptr;
    std::size_t replaced = 0;  // bytes that were not UTF-8
};

// The text as the page gets it into `taken`'s read: every invalid byte becomes U+FFFD.
Status takeText(TakenText& taken, std::string_view text) {
    if (text.size() > kClipboardTextLimit) return fail(Error::ClipboardFieldTooLarge);
    std::size_t size = 0;
    std::size_t replaced = 0;
    for (std::size_t at = 0; at < text.size();) {
        Utf8Unit unit = utf8UnitAt(text, at);
        if (unit.valid) {
            size += unit.length;
        } else {
            size += unit.length * kUtf8Replacement.size();
            replaced += unit.length;
        }
        at += unit.length;
    }
    if (size > kClipboardTextLimit) return fail(Error::ClipboardFieldTooLarge);
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[std::max<std::size_t>(size, 1)]);
    if (!bytes) return fail(Error::OutOfMemory);
    std::uint8_t* out = bytes.get();
    for (std::size_t at = 0; at < text.size();) {
        Utf8Unit unit = utf8UnitAt(text, at);
        if (unit.valid) {
            out = std::copy_n(reinterpret_cast<const std::uint8_t*>(text.data() + at), unit.length, out);
        } else {
            for (std::size_t byte = 0; byte < unit.length; ++byte) {
                out = std::copy(kUtf8Replacement.begin(), kUtf8Replacement.end(), out);
            }
        }
        at += unit.length;
    }
    taken.read->bytes = std::move(bytes);
    taken.read->size = size;
    taken.replaced = replaced;
    return {};
}

Result<std::string_view> writeReadReply(std::span<char> output, std::string_view name, std::uint64_t count,
                                        std::size_t replaced) {
    BoundedWriter out(output);
    out.write("{\"ok\":true,\"");
    out.write(name);
    out.write("\":");
    out.writeUnsigned(count);
    if (replaced > 0) {
        out.write(",\"replaced\":");
        out.writeUnsigned(replaced);
    }
    out.put('}');
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    return out.text();
}

// Answers the waiting read's page: with `result`, or with the error.
void answerWaitingRead(WaitingClipboardRead& waiting, Result<std::string_view> result) {
    waiting.waiting = false;
    const std::string_view id = waiting.id.view();
    const std::string_view reply =
        result ? writeSuccessResponse(waiting.reply, id, *result)
               : writeErrorResponse(waiting.reply, id, BridgeErrorCode::handler_failed, errorName(result.error()));
    // A page that went meanwhile hears nothing, and nobody else waits for the reply.
    (void)waiting.responder.complete(reply);
}

// The clipboard's holder handed its text over, or the read failed.
void readEnded(void* context, Result<std::string_view> text) {
    App& app = *static_cast<App*>(context);
    WaitingClipboardRead& waiting = app.waitingRead;
    if (!waiting.waiting) return;
    if (!text) return answerWaitingRead(waiting, fail(text.error()));
    ClipboardTextRead read;
    TakenText taken{&read, 0};
    if (Status took = takeText(taken, *text); !took) return answerWaitingRead(waiting, fail(took.error()));
    Result<std::string_view> result = writeReadReply(waiting.result, "bytes", read.size, taken.replaced);
    if (result) {
        read.open = true;
        read.owner = waiting.owner;
        app.clipboardRead = std::move(read);
    }
    answerWaitingRead(waiting, result);
}

}  // namespace

void endWaitingClipboardRead(App& app) {
    if (!app.waitingRead.waiting) return;
    app.waitingRead.waiting = false;
    if (app.clipboard.cancelRead != nullptr) app.clipboard.cancelRead(app.clipboard.context);
}

Status beginClipboardRead(App& app, const BridgeInvocation& call, AsyncBridgeResponder responder) {
    FileOwner owner = TRY(ownerOf(call));
    WaitingClipboardRead& waiting = app.waitingRead;
    if (waiting.waiting) {
        if (app.clipboard.cancelRead != nullptr) app.clipboard.cancelRead(app.clipboard.context);
        answerWaitingRead(waiting, fail(Error::NoOpenFile));
    }
    app.clipboardRead = {};
    (void)waiting.id.assign(call.id);
    waiting.responder = responder;
    waiting.owner = owner;
    const ClipboardAccess& clipboard = app.clipboard;
    std::optional<std::string_view> named = fieldValue(call.payload, "copy");
    const std::optional<std::uint64_t> copy = named ? parseU64(*named) : std::nullopt;
    const PendingClipboardText& coming = app.clipboardText;
    const bool held = copy == app.copiedTransfer && app.copiedSerial != 0 && clipboard.heldWrite != nullptr &&
                      clipboard.heldWrite(clipboard.context) == app.copiedSerial;
    const bool onItsWay =
        copy == coming.transfer && coming.transfer != 0 && ownedBy(coming.owner, call) && !copyOvertaken(app, coming);
    if (copy && (held || onItsWay)) {
        answerWaitingRead(waiting, writeReadReply(waiting.result, "copy", *copy, 0));
        return {};
    }
    if (clipboard.readText == nullptr) return fail(Error::UnsupportedService);
    waiting.waiting = true;
    clipboard.readText(clipboard.context, kClipboardTextLimit, ClipboardTextSink{&app, readEnded});
    return {};
}

Result<std::string_view> clipboardReadChunk(App& app, const BridgeInvocation& call, std::span<char> output) {
    ClipboardTextRead& read = app.clipboardRead;
    if (!read.open || !ownedBy(read.owner, call)) return fail(Error::NoOpenFile);
    std::size_t count = std::min(kReadChunkBytes, read.size - read.offset);
    if (base64EncodedSize(count) + 2 > output.size()) return fail(Error::Base64OutputTooSmall);
    output[0] = '"';
    encodeBase64({read.bytes.get() + read.offset, count}, output.data() + 1);
    std::size_t length = base64EncodedSize(count) + 2;
    output[length - 1] = '"';
    read.offset += count;
    return std::string_view(output.data(), length);
}

Result<std::string_view> finishClipboardRead(App& app, const BridgeInvocation& call, std::span<char>) {
    if (app.clipboardRead.open && !ownedBy(app.clipboardRead.owner, call)) return fail(Error::NoOpenFile);
    app.clipboardRead = {};
    return kOkReply;
}

}  // namespace kelvo
