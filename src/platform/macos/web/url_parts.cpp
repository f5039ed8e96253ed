#include "platform/macos/web/url_parts.hpp"

#include "base/ascii.hpp"

namespace kelvo {
namespace {

bool isUrlByte(char byte) {
    if (byte <= 0x20 || byte >= 0x7F) return false;
    switch (byte) {
        case '"':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            return false;
        default:
            return true;
    }
}

bool hasValidBytes(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!isUrlByte(text[i])) return false;
        if (text[i] == '%' && (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
            return false;
        }
    }
    return true;
}

bool isSchemeByte(char byte) { return isAsciiAlnum(byte) || byte == '+' || byte == '-' || byte == '.'; }

// Reads "[userinfo@]host[:port]" into `parts`.
bool readAuthority(std::string_view authority, UrlParts& parts) {
    std::size_t at = authority.rfind('@');
    std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
    std::string_view portText;
    if (hostPort.starts_with('[')) {
        std::size_t close = hostPort.find(']');
        if (close == std::string_view::npos) return false;
        parts.host = hostPort.substr(1, close - 1);
        std::string_view rest = hostPort.substr(close + 1);
        if (!rest.empty() && rest[0] != ':') return false;
        if (!rest.empty()) portText = rest.substr(1);
    } else {
        std::size_t colon = hostPort.find(':');
        parts.host = hostPort.substr(0, colon);
        if (colon != std::string_view::npos) portText = hostPort.substr(colon + 1);
    }
    if (parts.host.find_first_of("[]") != std::string_view::npos) return false;
    if (portText.empty()) return true;
    std::uint32_t port = 0;
    for (char digit : portText) {
        if (!isDecimalDigit(digit)) return false;
        port = port * 10 + static_cast<std::uint32_t>(digit - '0');
        if (port > 65535) return false;
    }
    parts.port = port;
    return true;
}

}  // namespace

std::optional<UrlParts> parseUrl(std::string_view text) {
    if (!hasValidBytes(text)) return std::nullopt;
    UrlParts parts;
    std::string_view rest = text;
    std::size_t colon = rest.find(':');
    std::size_t firstBreak = rest.find_first_of("/?#");
    if (colon != std::string_view::npos && (firstBreak == std::string_view::npos || colon < firstBreak)) {
        parts.scheme = rest.substr(0, colon);
        if (parts.scheme.empty() || !isAsciiLetter(parts.scheme[0])) return std::nullopt;
        for (char byte : parts.scheme) {
            if (!isSchemeByte(byte)) return std::nullopt;
        }
        rest = rest.substr(colon + 1);
    }
    if (rest.starts_with("//")) {
        rest = rest.substr(2);
        std::size_t end = rest.find_first_of("/?#");
        if (!readAuthority(rest.substr(0, end), parts)) return std::nullopt;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    }
    std::size_t pathEnd = rest.find_first_of("?#");
    parts.path = rest.substr(0, pathEnd);
    std::string_view tail = pathEnd == std::string_view::npos ? std::string_view() : rest.substr(pathEnd);
    if (parts.path.find_first_of("[]") != std::string_view::npos) return std::nullopt;
    if (tail.find_first_of("[]") != std::string_view::npos) return std::nullopt;
    std::size_t hash = tail.find('#');
    if (hash != std::string_view::npos && tail.find('#', hash + 1) != std::string_view::npos) return std::nullopt;
    return parts;
}

bool schemeIs(std::string_view scheme, std::string_view lowerCaseWord) {
    return matchesLowerCaseWord(scheme, lowerCaseWord);
}

}  // namespace kelvo
