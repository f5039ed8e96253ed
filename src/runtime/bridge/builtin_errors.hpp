#pragma once

// Reply code and English message of each error a built-in ("kelvo.") bridge command can fail
// with. Errors that describe bad input become invalid_request, everything else internal_error;
// an error without a message of its own reads "Native command failed".

#include <span>
#include <string_view>

#include "base/error.hpp"
#include "bridge/reply.hpp"

namespace kelvo {

inline constexpr std::string_view kNativeCommandFailedMessage = "Native command failed";

BridgeErrorCode builtinBridgeErrorCode(Error error);
std::string_view builtinBridgeErrorMessage(Error error);

// The error reply of a built-in command that failed with `error`, for the request `id`.
std::string_view writeBuiltinErrorResponse(std::span<char> buffer, std::string_view id, Error error);

}  // namespace kelvo
