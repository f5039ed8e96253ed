#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// What an application command handler is given for one request. Every text borrows from the
// message (or from a deferred responder's copies): a handler must not keep it after returning.
struct BridgeInvocation {
    std::string_view id;
    std::string_view command;
    std::string_view payload;  // raw JSON, "null" when the request had none
    std::string_view origin;   // the caller's origin, as the host reported it
    std::uint64_t windowId = 0;
    std::string_view label;  // the calling web view's label
};

// Size of the output buffer the router hands every handler.
inline constexpr std::size_t kBridgeHandlerOutputBytes = 1024 * 1024;

// A handler writes its JSON result into `output` and returns the text it wrote (an empty text
// stands for null), or an error, which the router answers as handler_failed with the error's name.
using BridgeCommandFn = Result<std::string_view> (*)(void* context, const BridgeInvocation& invocation,
                                                     std::span<char> output);

// One row of an application's command table.
struct BridgeCommandHandler {
    std::string_view name;
    void* context = nullptr;
    BridgeCommandFn handle = nullptr;
};

}  // namespace kelvo
