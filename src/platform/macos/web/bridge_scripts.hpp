#pragma once

// The scripts the host evaluates in a page: a bridge reply and a named event. A page holds the
// bridge, so only a strictly valid JSON text is ever put into one; anything else is dropped.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// The room a script needs for an event name and a reply or detail text, whatever their bytes.
std::size_t bridgeScriptCapacity(std::string_view name, std::string_view text);

// The page's function that takes a bridge reply.
inline constexpr std::string_view kCompleteCallee = "window.vexa&&window.vexa._complete";

// Answers the keys a page holds that were typed ahead of the dialog it asked for (an empty array
// where it names none): what a dialog's `keysAhead` runs.
inline constexpr std::string_view kKeysAheadScript = "window.vexa&&window.vexa._keysAhead?window.vexa._keysAhead():[]";

// The reply a page's function takes: the reply text, "{}" for an empty one. Invalid UTF-8 in it
// becomes U+FFFD; a reply that is then not one strict JSON value fails with InvalidBridgeReply, one
// that does not fit `out` with NoSpaceLeft.
Result<std::string_view> writeReplyValue(std::span<char> out, std::string_view reply);

// "window.vexa&&window.vexa._complete(<reply>);", the reply written as writeReplyValue writes it
// and failing as it fails.
Result<std::string_view> writeCompleteScript(std::span<char> out, std::string_view reply);

// "window.vexa&&window.vexa._emit(<name>,<detail>);" with the name as a JSON string and "null" for
// an empty detail. Invalid UTF-8 in either becomes U+FFFD; a detail that is then not one strict JSON
// value fails with InvalidJsonEventDetail, a script that does not fit `out` with NoSpaceLeft.
Result<std::string_view> writeEmitScript(std::span<char> out, std::string_view name, std::string_view detail);

// The standard-error lines of the bridge channel: a reply or event dropped instead of evaluated,
// and a posted message without the web view's page token (which gets no reply).
void reportDroppedReply(std::uint64_t windowId, std::string_view label, Error error);
void reportDroppedEvent(std::uint64_t windowId, std::string_view name, Error error);
void reportRefusedBridgeMessage(std::uint64_t windowId, std::string_view label);

}  // namespace kelvo
