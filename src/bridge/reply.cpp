#include "bridge/reply.hpp"

#include "base/bounded_writer.hpp"
#include "base/json_string.hpp"
#include "bridge/strict_json.hpp"

namespace kelvo {
namespace {

std::string_view finish(const BoundedWriter& out) { return out.overflowed() ? std::string_view() : out.text(); }

}  // namespace

std::string_view bridgeErrorCodeText(BridgeErrorCode code) {
    switch (code) {
        case BridgeErrorCode::invalid_request:
            return "invalid_request";
        case BridgeErrorCode::unknown_command:
            return "unknown_command";
        case BridgeErrorCode::permission_denied:
            return "permission_denied";
        case BridgeErrorCode::handler_failed:
            return "handler_failed";
        case BridgeErrorCode::payload_too_large:
            return "payload_too_large";
        case BridgeErrorCode::internal_error:
            break;
    }
    return "internal_error";
}

std::string_view writeSuccessResponse(std::span<char> buffer, std::string_view id, std::string_view result) {
    if (result.empty()) result = "null";
    if (!isStrictJson(result)) {
        return writeErrorResponse(buffer, id, BridgeErrorCode::handler_failed, kInvalidResultMessage);
    }
    BoundedWriter out(buffer);
    out.write("{\"id\":");
    writeJsonString(out, id);
    out.write(",\"ok\":true,\"result\":");
    out.write(result);
    out.put('}');
    if (out.overflowed()) {
        return writeErrorResponse(buffer, id, BridgeErrorCode::internal_error, kReplyTooLargeMessage);
    }
    return out.text();
}

std::string_view writeErrorResponse(std::span<char> buffer, std::string_view id, BridgeErrorCode code,
                                    std::string_view message) {
    BoundedWriter out(buffer);
    out.write("{\"id\":");
    writeJsonString(out, id);
    out.write(",\"ok\":false,\"error\":{\"code\":");
    writeJsonString(out, bridgeErrorCodeText(code));
    out.write(",\"message\":");
    writeJsonString(out, message);
    out.write("}}");
    return finish(out);
}

std::string_view writeRequestErrorResponse(std::span<char> buffer, Error parseError) {
    if (parseError == Error::PayloadTooLarge) {
        return writeErrorResponse(buffer, "", BridgeErrorCode::payload_too_large, kRequestTooLargeMessage);
    }
    return writeErrorResponse(buffer, "", BridgeErrorCode::invalid_request, kRequestMalformedMessage);
}

}  // namespace kelvo
