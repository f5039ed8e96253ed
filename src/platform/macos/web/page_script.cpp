#include "platform/macos/web/page_script.hpp"

#include <span>

namespace kelvo::embedded {
extern const std::uint8_t kPageBridgeScript[];
extern const std::size_t kPageBridgeScriptSize;
}  // namespace kelvo::embedded

namespace kelvo {

Result<PageToken> makePageToken(const Io& io) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::array<std::uint8_t, kPageTokenLength / 2> random{};
    TRY(ioRandomBytes(io, random));
    PageToken token;
    for (std::size_t i = 0; i < random.size(); ++i) {
        token.hex[2 * i] = kHex[random[i] >> 4];
        token.hex[2 * i + 1] = kHex[random[i] & 0xF];
    }
    return token;
}

std::string_view pageBridgeScriptSource() {
    return {reinterpret_cast<const char*>(embedded::kPageBridgeScript), embedded::kPageBridgeScriptSize};
}

std::string pageScriptText(const PageToken& token) {
    std::string_view source = pageBridgeScriptSource();
    std::string text;
    text.reserve(source.size() + token.hex.size() + 8);
    text.append(source);
    text.append("(\"");
    text.append(token.view());
    text.append("\");\n");
    return text;
}

std::optional<std::string_view> stripPageToken(const PageToken& token, std::string_view message) {
    if (message.size() < kPageTokenLength) return std::nullopt;
    // Every byte is looked at whatever the first difference, so the time taken tells nothing.
    unsigned difference = 0;
    for (std::size_t i = 0; i < kPageTokenLength; ++i) {
        difference |= static_cast<unsigned char>(message[i]) ^ static_cast<unsigned char>(token.hex[i]);
    }
    if (difference != 0) return std::nullopt;
    return message.substr(kPageTokenLength);
}

}  // namespace kelvo
