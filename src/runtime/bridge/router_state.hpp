#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/fixed.hpp"
#include "bridge/command_handler.hpp"
#include "bridge/reply.hpp"
#include "bridge/request.hpp"
#include "runtime/views/view_table.hpp"

namespace kelvo {

struct Runtime;

inline constexpr std::size_t kMaxAsyncBridgeResponders = 64;
inline constexpr std::size_t kMaxResponderOriginBytes = 512;

// Where the reply of a request goes: into the web view that asked, or, for a request of the
// automation "bridge" command, only into the automation directory's reply file (the page has
// requests of its own whose ids the automation client's could match).
enum class BridgeReplyTarget : std::uint8_t { page, automation_file };

// Where one deferred reply must go. Active from the claim until the first completion (or the
// handler's failure); free otherwise.
struct BridgeResponderSlot {
    Runtime* runtime = nullptr;  // none while free
    std::uint64_t windowId = 0;
    std::uint64_t claim = 0;  // the claim number of the responder that may complete it
    InlineBytes<kMaxResponderOriginBytes> origin{};
    InlineBytes<kMaxViewLabel> label{};
    BridgeReplyTarget target = BridgeReplyTarget::page;
    bool active = false;
};

// The bridge router's state in the runtime record.
//
// The three 1 MiB buffers have no initializer on purpose: the record's pages arrive zero-filled
// and only the pages a request writes become resident, so a record holding them costs nothing
// until the bridge is used. (Declare the member without braces, or they would be zeroed.)
struct BridgeRouterState {
    std::array<char, kBridgeReplyBytes> reply;           // the reply being delivered
    std::array<char, kBridgeHandlerOutputBytes> output;  // a handler's or family's result
    std::array<char, kMaxBridgeRequestBytes> scratch;    // decoded payload strings
    std::array<BridgeResponderSlot, kMaxAsyncBridgeResponders> responders{};
    std::uint64_t claims = 0;                            // responder claims so far; numbers every claim
    bool busy = false;                                   // a message is being handled; another one now is refused
    BridgeReplyTarget target = BridgeReplyTarget::page;  // of the message being handled
};

}  // namespace kelvo
