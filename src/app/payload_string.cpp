#include "app/payload_string.hpp"

#include "base/json_string.hpp"

namespace kelvo {

namespace {

// The byte an escape letter stands for, or -1 for a letter the application does not accept.
int escapedByte(char letter) {
    switch (letter) {
        case '"':
        case '\\':
        case '/':
            return letter;
        case 'b':
            return 0x08;
        case 'f':
            return 0x0C;
        case 'n':
            return 0x0A;
        case 'r':
            return 0x0D;
        case 't':
            return 0x09;
        default:
            return -1;
    }
}

Result<std::string_view> decode(std::string_view payload, std::span<char> out, bool byteEscapes) {
    if (payload.size() < 2 || payload.front() != '"' || payload.back() != '"') return fail(Error::InvalidJsonString);
    std::string_view body = payload.substr(1, payload.size() - 2);
    std::size_t length = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (length == out.size()) return fail(Error::StringTooLong);
        char byte = body[i];
        if (byte == '\\') {
            if (++i == body.size()) return fail(Error::InvalidJsonString);
            if (body[i] == 'u') {
                std::optional<unsigned char> escaped;
                if (byteEscapes) escaped = byteOfSurrogateEscape(body.substr(i + 1, 4));
                if (!escaped) return fail(Error::UnsupportedJsonEscape);
                byte = static_cast<char>(*escaped);
                i += 4;
            } else {
                int escaped = escapedByte(body[i]);
                if (escaped < 0) return fail(Error::UnsupportedJsonEscape);
                byte = static_cast<char>(escaped);
            }
        }
        out[length++] = byte;
    }
    return std::string_view(out.data(), length);
}

}  // namespace

Result<std::string_view> decodePayloadString(std::string_view payload, std::span<char> out) {
    return decode(payload, out, false);
}

Result<std::string_view> decodePayloadPath(std::string_view payload, std::span<char> out) {
    return decode(payload, out, true);
}

}  // namespace kelvo
