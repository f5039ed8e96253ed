#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Size of the buffer every bridge reply is written into.
inline constexpr std::size_t kBridgeReplyBytes = 1024 * 1024;

// The "code" of an error reply.
enum class BridgeErrorCode : std::uint8_t {
    invalid_request = 0,
    unknown_command = 1,
    permission_denied = 2,
    handler_failed = 3,
    payload_too_large = 4,
    internal_error = 5,
};

// The code's text ("invalid_request", ...); any value outside the enumeration is "internal_error".
std::string_view bridgeErrorCodeText(BridgeErrorCode code);

// Messages of the request and reply layer.
inline constexpr std::string_view kRequestTooLargeMessage = "Bridge request is too large";
inline constexpr std::string_view kRequestMalformedMessage = "Bridge request is malformed";
inline constexpr std::string_view kInvalidResultMessage = "Bridge command returned invalid JSON";
inline constexpr std::string_view kReplyTooLargeMessage = "Native response buffer is too small";

// Writes {"id":ID,"ok":true,"result":RESULT} into `buffer` and returns it. An empty result stands
// for null. The result is copied byte for byte, white space around it included, when it is
// exactly one strict JSON value (isStrictJson); otherwise the reply is the handler_failed error
// reply "Bridge command returned invalid JSON" for the same id. When the success reply does not
// fit, the reply is the internal_error reply "Native response buffer is too small" for the same
// id, so the page's call still settles. Empty only when not even that error reply fits. The
// result must not lie inside `buffer`.
std::string_view writeSuccessResponse(std::span<char> buffer, std::string_view id, std::string_view result);

// Writes {"id":ID,"ok":false,"error":{"code":CODE,"message":MESSAGE}} into `buffer` and returns
// it; empty when it does not fit.
std::string_view writeErrorResponse(std::span<char> buffer, std::string_view id, BridgeErrorCode code,
                                    std::string_view message);

// The reply to a request that could not be parsed (`parseError` from parseRequest): id "" and
// payload_too_large "Bridge request is too large" for PayloadTooLarge, otherwise invalid_request
// "Bridge request is malformed".
std::string_view writeRequestErrorResponse(std::span<char> buffer, Error parseError);

}  // namespace kelvo
