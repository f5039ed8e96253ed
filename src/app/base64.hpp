#pragma once

// Standard base64 (RFC 4648 alphabet with "+" and "/", "=" padding) for the document commands,
// which carry file bytes inside JSON strings.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Characters that encode `bytes` bytes, padding included.
constexpr std::size_t base64EncodedSize(std::size_t bytes) { return 4 * ((bytes + 2) / 3); }

// Decodes `text` into `out` and returns the count of bytes written. The text is whole groups of
// four characters; "=" may appear only as "X=" or "==" at the end of the last group, where it
// stands for the missing bytes. InvalidBase64 for anything else (a length that is not a multiple
// of 4, a character outside the alphabet, padding elsewhere); DecodedDataTooLong when the bytes do
// not fit in `out`. Nothing is promised about `out` after a failure.
Result<std::size_t> decodeBase64(std::string_view text, std::span<std::uint8_t> out);

// Writes the padded encoding of `bytes`: exactly base64EncodedSize(bytes.size()) characters, which
// `out` must hold.
void encodeBase64(std::span<const std::uint8_t> bytes, char* out);

}  // namespace kelvo
