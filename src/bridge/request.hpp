#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Longest request text the bridge reads (a text of exactly this length is parsed).
inline constexpr std::size_t kMaxBridgeRequestBytes = 1024 * 1024;
inline constexpr std::size_t kMaxBridgeIdBytes = 64;
inline constexpr std::size_t kMaxBridgeCommandBytes = 128;

// One parsed bridge request. Every field borrows from the message text: nothing is copied.
struct BridgeRequest {
    std::string_view id;         // the bytes between the quotes of "id", 1 to 64 bytes
    std::string_view command;    // the bytes between the quotes of "command", 1 to 128 bytes
    std::string_view payload;    // the raw JSON of "payload" without white space around it; "null" when absent
    std::optional<Error> error;  // set when the text is not a valid request; the spans are then empty

    [[nodiscard]] bool ok() const { return !error.has_value(); }
};

// Parses a request object {"id": string, "command": string, "payload": any JSON}. Members may come
// in any order, the last of each name wins and other members are skipped when well-formed. Keys,
// "id" and "command" are taken as written: an escape in any of them makes the request invalid.
// Fails with PayloadTooLarge for a text over kMaxBridgeRequestBytes (before reading any byte) and
// with InvalidRequest for every other fault. Never reads past the text.
BridgeRequest parseRequest(std::string_view message);

}  // namespace kelvo
