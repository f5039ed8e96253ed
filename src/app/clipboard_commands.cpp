// Putting text on the clipboard: "vostra.clipboard.begin", "vostra.clipboard.append" and
// "vostra.clipboard.finish".
//
// The page's own clipboard writes do not keep every character (the web view turns no-break spaces
// into spaces), so the page sends the exact UTF-8 of its text here instead, in base64 chunks as a
// save sends a document, and finish puts it on the clipboard as plain text. The text is kept on the
// heap only while it arrives: it grows with the chunks, and finish, a new begin or the end of the
// application releases it.

#include <algorithm>
#include <new>
#include <utility>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "app/command_support.hpp"
#include "app/payload_string.hpp"
#include "base/utf8.hpp"

namespace kelvo {

namespace {

// Room for `needed` bytes: the buffer doubles (up to the limit) so that many appends copy the
// text only a few times.
Status reserveClipboardBytes(PendingClipboardText& text, std::size_t needed) {
    if (needed <= text.capacity) return {};
    std::size_t capacity = std::max(needed, std::min(text.capacity * 2, kClipboardTextLimit));
    std::unique_ptr<std::uint8_t[]> grown(new (std::nothrow) std::uint8_t[capacity]);
    if (!grown) return fail(Error::OutOfMemory);
    if (text.size > 0) std::copy_n(text.bytes.get(), text.size, grown.get());
    text.bytes = std::move(grown);
    text.capacity = capacity;
    return {};
}

}  // namespace

Result<std::string_view> beginClipboard(App& app, const BridgeInvocation& call, std::span<char>) {
    FileOwner owner = TRY(ownerOf(call));
    // Whatever was begun before, by any web view, is dropped: its later chunks fail.
    app.clipboardText = {};
    app.clipboardText.begun = true;
    app.clipboardText.owner = owner;
    return kOkReply;
}

Result<std::string_view> appendClipboard(App& app, const BridgeInvocation& call, std::span<char>) {
    std::string_view base64 = TRY(decodePayloadString(call.payload, app.text));
    std::size_t count = TRY(decodeBase64(base64, std::span(app.bytes).first(kAppendBytesLimit)));
    PendingClipboardText& text = app.clipboardText;
    if (!text.begun || !ownedBy(text.owner, call)) return fail(Error::NoOpenFile);
    if (count > kClipboardTextLimit - text.size) {
        app.clipboardText = {};
        return fail(Error::ClipboardFieldTooLarge);
    }
    Status reserved = reserveClipboardBytes(text, text.size + count);
    if (!reserved) {
        // The text could not arrive whole: none of it goes to the clipboard.
        app.clipboardText = {};
        return fail(reserved.error());
    }
    std::copy_n(app.bytes.data(), count, text.bytes.get() + text.size);
    text.size += count;
    return kOkReply;
}

Result<std::string_view> finishClipboard(App& app, const BridgeInvocation& call, std::span<char> output) {
    if (!app.clipboardText.begun || !ownedBy(app.clipboardText.owner, call)) return fail(Error::NoOpenFile);
    // The text is released on return, whether the clipboard took it or not.
    PendingClipboardText text = std::exchange(app.clipboardText, {});
    std::string_view bytes(reinterpret_cast<const char*>(text.bytes.get()), text.size);
    if (!isValidUtf8(bytes)) return fail(Error::InvalidTextEncoding);
    if (app.clipboard.writeText == nullptr) return fail(Error::UnsupportedService);
    TRY(app.clipboard.writeText(app.clipboard.context, bytes));
    return writeBytesReply(output, text.size);
}

}  // namespace kelvo
