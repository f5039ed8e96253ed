#pragma once

// The page bridge script each web view with the bridge runs at document start in its top frame,
// and the page token that tells the web view's own bridge messages from anything else posted to
// its message handler (a sub-frame, or script that bypasses window.vexa).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "base/io.hpp"

namespace kelvo {

inline constexpr std::size_t kPageTokenLength = 32;

// 128 random bits as 32 lower-case hexadecimal digits; one per web view.
struct PageToken {
    std::array<char, kPageTokenLength> hex{};
    [[nodiscard]] std::string_view view() const { return {hex.data(), hex.size()}; }
};

// A fresh token from the I/O interface's random source.
Result<PageToken> makePageToken(const Io& io);

// The script as built into the program: an unapplied function of the token.
std::string_view pageBridgeScriptSource();

// The script one web view injects: the source applied to its token. The script keeps the token and
// the message handler's poster in its closure and prefixes every request text with the token.
std::string pageScriptText(const PageToken& token);

// The request text of a message posted to the web view's handler: the message without its leading
// token, or nothing when the message does not begin with exactly this token. The token is compared
// in constant time.
std::optional<std::string_view> stripPageToken(const PageToken& token, std::string_view message);

}  // namespace kelvo
