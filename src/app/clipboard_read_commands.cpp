// Reading the clipboard's text: "vostra.clipboard.read.begin", "vostra.clipboard.read.chunk" and
// "vostra.clipboard.read.finish".
//
// A paste may be of any size, and the runtime's own text read answers at most what fits a JSON
// string in its reply buffer. So begin reads the clipboard's text whole onto the heap, and the
// page takes it in base64 chunks, as it reads a document. A page that holds the text of a copy it
// made names that copy's transfer (`{"copy":N}`): when the clipboard still holds that very text,
// begin answers the number back and reads nothing. Any other begin reads (a page that was loaded
// again has no text of its own).
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

namespace kelvo {

namespace {

// What begin made of the clipboard's text.
struct TakenText {
    ClipboardTextRead* read = nullptr;
    std::size_t replaced = 0;  // bytes that were not UTF-8
};

// The text as the page gets it into `taken`'s read: every invalid byte becomes U+FFFD.
Status takeText(void* context, std::string_view text) {
    auto& taken = *static_cast<TakenText*>(context);
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

}  // namespace

Result<std::string_view> beginClipboardRead(App& app, const BridgeInvocation& call, std::span<char> output) {
    FileOwner owner = TRY(ownerOf(call));
    app.clipboardRead = {};
    const ClipboardAccess& clipboard = app.clipboard;
    std::optional<std::string_view> named = fieldValue(call.payload, "copy");
    if (named && parseU64(*named) == app.copiedTransfer && app.copiedSerial != 0 && clipboard.heldWrite != nullptr &&
        clipboard.heldWrite(clipboard.context) == app.copiedSerial) {
        return writeReadReply(output, "copy", app.copiedTransfer, 0);
    }
    if (clipboard.readText == nullptr) return fail(Error::UnsupportedService);
    ClipboardTextRead read;
    TakenText taken{&read, 0};
    TRY(clipboard.readText(clipboard.context, ClipboardTextSink{&taken, takeText}));
    Result<std::string_view> reply = writeReadReply(output, "bytes", read.size, taken.replaced);
    if (!reply) return reply;
    read.open = true;
    read.owner = owner;
    app.clipboardRead = std::move(read);
    return reply;
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
