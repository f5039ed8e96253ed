#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "bridge/request.hpp"
#include "runtime/flow/app_binding.hpp"

namespace kelvo {

struct Runtime;

// The router's three 1 MiB buffers, lent to a built-in command family for one request: the
// family writes its result and decoded payload strings into `output` and `scratch`, and its
// finished reply (success or error) into `reply`.
struct BridgeFamilyBuffers {
    std::span<char> output;
    std::span<char> scratch;
    std::span<char> reply;
};

// What a family learns about the request besides its parsed text.
struct BridgeFamilyCall {
    const BridgeRequest& request;
    const AppBinding& binding;
    std::uint64_t callerWindowId = 0;
    std::string_view callerLabel;
};

// A built-in command family: answers every command under its prefix with exactly one reply text,
// written into `buffers.reply` and returned. A reply that does not fit is the error reply the
// reply writers give for that case; a family never fails without a reply.
using BridgeFamilyFn = std::string_view (*)(Runtime& runtime, const BridgeFamilyCall& call,
                                            BridgeFamilyBuffers& buffers);

}  // namespace kelvo
