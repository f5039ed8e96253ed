#include "bridge/request.hpp"

#include "bridge/json_scan.hpp"
#include "bridge/json_scan_engine.hpp"

namespace kelvo {
namespace {

void skipRequestSpace(std::string_view text, std::size_t& pos) {
    json_detail::skipClass(json_detail::kByteClasses.requestSpace, text, pos);
}

// The bytes of a string written without escapes, from its opening quote at `pos`: no backslash
// and no byte below 0x20 before the closing quote.
std::optional<std::string_view> readPlainString(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::size_t start = pos + 1;
    std::size_t at = start;
    json_detail::skipPlainStringBytes<false>(text, at);
    if (at >= text.size() || text[at] != '"') return std::nullopt;
    pos = at + 1;
    return text.substr(start, at - start);
}

bool isValidId(std::string_view id) {
    if (id.empty() || id.size() > kMaxBridgeIdBytes) return false;
    for (char c : id) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == '"' || byte == '\\') return false;
    }
    return true;
}

bool isValidCommand(std::string_view command) {
    if (command.empty() || command.size() > kMaxBridgeCommandBytes) return false;
    for (char c : command) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == '"' || byte == '/' || byte == '\\') return false;
    }
    return true;
}

BridgeRequest failed(Error error) {
    BridgeRequest request;
    request.error = error;
    return request;
}

}  // namespace

BridgeRequest parseRequest(std::string_view message) {
    if (message.size() > kMaxBridgeRequestBytes) return failed(Error::PayloadTooLarge);
    const BridgeRequest invalid = failed(Error::InvalidRequest);

    std::size_t pos = 0;
    skipRequestSpace(message, pos);
    if (pos >= message.size() || message[pos] != '{') return invalid;
    ++pos;

    std::optional<std::string_view> id;
    std::optional<std::string_view> command;
    std::string_view payload = "null";

    skipRequestSpace(message, pos);
    if (pos < message.size() && message[pos] == '}') return invalid;  // no members, so no id
    for (;;) {
        skipRequestSpace(message, pos);
        auto key = readPlainString(message, pos);
        if (!key) return invalid;
        skipRequestSpace(message, pos);
        if (pos >= message.size() || message[pos] != ':') return invalid;
        ++pos;
        skipRequestSpace(message, pos);

        if (*key == "id" || *key == "command") {
            auto value = readPlainString(message, pos);
            if (!value) return invalid;
            (*key == "id" ? id : command) = value;
        } else {
            std::size_t valueStart = pos;
            if (!skipJsonValue(message, pos)) return invalid;
            if (*key == "payload") payload = message.substr(valueStart, pos - valueStart);
        }

        skipRequestSpace(message, pos);
        if (pos >= message.size()) return invalid;
        if (message[pos] == '}') break;
        if (message[pos] != ',') return invalid;
        ++pos;
    }
    ++pos;
    skipRequestSpace(message, pos);
    if (pos != message.size()) return invalid;
    if (!id || !command || !isValidId(*id) || !isValidCommand(*command)) return invalid;

    BridgeRequest request;
    request.id = *id;
    request.command = *command;
    request.payload = payload;
    return request;
}

}  // namespace kelvo
