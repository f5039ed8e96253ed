// Parses arbitrary message texts as bridge requests and answers them, checking that every span
// stays inside the message, that the byte rules hold for what was accepted, and that every reply
// is a well-formed JSON object.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "bridge/json_scan.hpp"
#include "bridge/reply.hpp"
#include "bridge/request.hpp"
#include "bridge/strict_json.hpp"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool inside(std::string_view span, std::string_view text) {
    return span.data() >= text.data() && span.data() + span.size() <= text.data() + text.size();
}

bool scansWhole(std::string_view text) {
    std::size_t cursor = 0;
    return kelvo::skipValueSpan(text, cursor) && cursor == text.size();
}

char gReply[kelvo::kBridgeReplyBytes];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view message(reinterpret_cast<const char*>(data), size);
    kelvo::BridgeRequest request = kelvo::parseRequest(message);
    if (!request.ok()) {
        check(*request.error == kelvo::Error::InvalidRequest || *request.error == kelvo::Error::PayloadTooLarge);
        check(request.id.empty() && request.command.empty() && request.payload.empty());
        std::string_view reply = kelvo::writeRequestErrorResponse(gReply, *request.error);
        check(kelvo::isStrictJson(reply));
        return 0;
    }

    check(inside(request.id, message) && inside(request.command, message));
    check(request.payload == "null" || inside(request.payload, message));
    check(!request.id.empty() && request.id.size() <= kelvo::kMaxBridgeIdBytes);
    check(!request.command.empty() && request.command.size() <= kelvo::kMaxBridgeCommandBytes);
    for (char c : request.id) check(static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\');
    for (char c : request.command) {
        check(static_cast<unsigned char>(c) > 0x20 && c != '"' && c != '\\' && c != '/');
    }
    check(scansWhole(request.payload));

    std::string_view error =
        kelvo::writeErrorResponse(gReply, request.id, kelvo::BridgeErrorCode::handler_failed, request.command);
    check(!error.empty() && scansWhole(error));

    std::string_view success = kelvo::writeSuccessResponse(gReply, request.id, request.payload);
    check(!success.empty() && scansWhole(success));
    if (kelvo::isStrictJson(request.payload)) {
        check(success.find(",\"ok\":true,\"result\":") != std::string_view::npos ||
              success.ends_with("\"Native response buffer is too small\"}}"));
    } else {
        check(success.ends_with("\"Bridge command returned invalid JSON\"}}"));
    }
    return 0;
}
