// Putting text on the clipboard: "vostra.clipboard.mark", "vostra.clipboard.begin",
// "vostra.clipboard.append" and "vostra.clipboard.finish".
//
// The page's own clipboard writes do not keep every character (the web view turns no-break spaces
// into spaces), so the page sends the exact UTF-8 of its text here instead, in base64 chunks as a
// save sends a document, and finish puts it on the clipboard as plain text. The text is kept on the
// heap only while it arrives: it grows with the chunks, and finish, a new begin or the end of the
// application releases it.
//
// Each begin answers a new transfer number, which the text's appends and its finish name: a copy
// that a newer one replaced cannot add its chunks to the newer text. The number of the last text
// put on the clipboard is kept, so that a later read can tell the page the clipboard still holds it.
//
// A copy counts from the moment the user asked for it: "vostra.clipboard.mark" marks the clipboard
// as of then (the page tells how long ago that key or click was made, `"age"` in milliseconds: it
// may get the key late), and the page begins the copy once it has gathered the text and found it one it can copy
// (not empty, and within kClipboardTextLimit: one that is not leaves the clipboard as it is),
// naming the mark it was answered (`"mark"`), whatever the user did in between; a begin without
// one counts from now. Begin takes the clipboard for it as of that moment
// (ClipboardAccess::claimText): programs that read the clipboard meanwhile get the text once it
// has come. Where another program copied after the user asked (before the begin, or before the
// text arrived), the clipboard holds the user's newer copy, so finish leaves it there, and
// answers `"overtaken":true`, which is no failure.

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "app/command_support.hpp"
#include "app/payload_string.hpp"
#include "base/bounded_writer.hpp"
#include "base/number_text.hpp"
#include "base/utf8.hpp"
#include "bridge/json_field.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kOvertakenReply = R"({"ok":true,"overtaken":true})";

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

// The transfer a payload names: its "transfer" member, a whole number; none otherwise.
std::optional<std::uint64_t> transferOf(std::string_view payload) {
    std::optional<std::string_view> value = fieldValue(payload, "transfer");
    if (!value) return std::nullopt;
    return parseU64(*value);
}

// Whether the call goes on with the text on its way: it names that text's transfer and comes from
// the web view that began it.
bool continuesText(const App& app, const BridgeInvocation& call) {
    const PendingClipboardText& text = app.clipboardText;
    return text.transfer != 0 && transferOf(call.payload) == text.transfer && ownedBy(text.owner, call);
}

// The clipboard's mark of the key or click made `ageMs` milliseconds ago (ClipboardAccess::markTakes;
// 0: the latest); 0 where it keeps none.
std::uint64_t markAt(const App& app, std::uint64_t ageMs) {
    const ClipboardAccess& clipboard = app.clipboard;
    return clipboard.markTakes != nullptr ? clipboard.markTakes(clipboard.context, ageMs) : 0;
}

}  // namespace

Result<std::string_view> markClipboard(App& app, const BridgeInvocation& call, std::span<char> output) {
    // How long ago the key or click that asked for the copy was made, where the page tells it: a
    // busy page gets a key late, after later ones were typed.
    std::optional<std::string_view> age = fieldValue(call.payload, "age");
    std::optional<std::uint64_t> ageMs = age ? parseU64(*age) : std::nullopt;
    BoundedWriter out(output);
    out.write("{\"ok\":true,\"mark\":");
    out.writeUnsigned(markAt(app, ageMs.value_or(0)));
    out.put('}');
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    return out.text();
}

Result<std::string_view> beginClipboard(App& app, const BridgeInvocation& call, std::span<char> output) {
    FileOwner owner = TRY(ownerOf(call));
    BoundedWriter out(output);
    out.write("{\"ok\":true,\"transfer\":");
    out.writeUnsigned(app.lastClipboardTransfer + 1);
    out.put('}');
    if (out.overflowed()) return fail(Error::NoSpaceLeft);
    // Whatever was begun before, by any web view, is dropped: its later chunks fail. Its claim
    // goes once this one is taken (a refused take leaves the clipboard as it is).
    const std::uint64_t before = app.clipboardText.claim;
    app.clipboardText = {};
    app.clipboardText.transfer = ++app.lastClipboardTransfer;
    app.clipboardText.owner = owner;
    // The moment the copy was asked for: the mark the payload names, or else now.
    std::optional<std::string_view> named = fieldValue(call.payload, "mark");
    std::optional<std::uint64_t> mark = named ? parseU64(*named) : std::nullopt;
    const ClipboardAccess& clipboard = app.clipboard;
    if (clipboard.claimText != nullptr) {
        Result<std::uint64_t> claim = clipboard.claimText(clipboard.context, mark ? *mark : markAt(app, 0));
        if (claim) {
            app.clipboardText.claim = *claim;
        } else {
            app.clipboardText.claimFailure = claim.error();
        }
    }
    if (before != 0) dropClaim(app, before);
    return out.text();
}

void dropClaim(const App& app, std::uint64_t claim) {
    const ClipboardAccess& clipboard = app.clipboard;
    if (claim != 0 && clipboard.dropClaim != nullptr) clipboard.dropClaim(clipboard.context, claim);
}

bool copyOvertaken(const App& app, const PendingClipboardText& text) {
    const ClipboardAccess& clipboard = app.clipboard;
    return text.claim == 0 || clipboard.heldWrite == nullptr || clipboard.heldWrite(clipboard.context) != text.claim;
}

Result<std::string_view> appendClipboard(App& app, const BridgeInvocation& call, std::span<char>) {
    if (!continuesText(app, call)) return fail(Error::NoOpenFile);
    std::string_view data = fieldValue(call.payload, "data").value_or(std::string_view{});
    std::string_view base64 = TRY(decodePayloadString(data, app.text));
    std::size_t count = TRY(decodeBase64(base64, std::span(app.bytes).first(kAppendBytesLimit)));
    PendingClipboardText& text = app.clipboardText;
    if (count > kClipboardTextLimit - text.size) {
        dropClaim(app, std::exchange(app.clipboardText, {}).claim);
        return fail(Error::ClipboardFieldTooLarge);
    }
    Status reserved = reserveClipboardBytes(text, text.size + count);
    if (!reserved) {
        // The text could not arrive whole: none of it goes to the clipboard.
        dropClaim(app, std::exchange(app.clipboardText, {}).claim);
        return fail(reserved.error());
    }
    std::copy_n(app.bytes.data(), count, text.bytes.get() + text.size);
    text.size += count;
    return kOkReply;
}

Result<std::string_view> finishClipboard(App& app, const BridgeInvocation& call, std::span<char> output) {
    if (!continuesText(app, call)) return fail(Error::NoOpenFile);
    // The text is released on return, whether the clipboard took it or not.
    PendingClipboardText text = std::exchange(app.clipboardText, {});
    std::string_view bytes(reinterpret_cast<const char*>(text.bytes.get()), text.size);
    const ClipboardAccess& clipboard = app.clipboard;
    if (!isValidUtf8(bytes)) {
        dropClaim(app, text.claim);
        return fail(Error::InvalidTextEncoding);
    }
    if (text.claimFailure) return fail(*text.claimFailure);
    if (clipboard.claimText == nullptr || clipboard.fillClaim == nullptr) return fail(Error::UnsupportedService);
    if (text.claim == 0) return kOvertakenReply;
    const bool filled = TRY(clipboard.fillClaim(clipboard.context, text.claim, bytes));
    if (!filled) return kOvertakenReply;
    app.copiedTransfer = text.transfer;
    app.copiedSerial = text.claim;
    return writeBytesReply(output, text.size);
}

}  // namespace kelvo
