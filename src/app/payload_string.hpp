#pragma once

// The payload of every application command that takes one is a single JSON string. It is decoded
// by this narrow reader rather than the general JSON field readers: the application accepts only
// the escapes a path, a URL or base64 text can need, and refuses the rest by name.

#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Decodes `payload` into `out`, whose size is the command's limit of decoded bytes, and returns the
// decoded text (a view into `out`).
//  - InvalidJsonString: shorter than 2 bytes, not enclosed in double quotes, or a backslash with no
//    escape letter before the closing quote;
//  - UnsupportedJsonEscape: an escape other than \" \\ \/ \b \f \n \r \t (\u included);
//  - StringTooLong: more decoded bytes than `out` holds (exactly its size passes).
// Bytes between the quotes other than a backslash, an inner quote or a control byte included, are
// copied unchanged; whoever reads the text applies its own rules to them.
Result<std::string_view> decodePayloadString(std::string_view payload, std::span<char> out);

// As decodePayloadString, for a file's path: \udc80 to \udcff (hex digits in either case) stand
// for the bytes 0x80 to 0xFF, as the application writes a path's bytes that are not UTF-8 for the
// page (writeJsonStringOfBytes). Any other \u is still UnsupportedJsonEscape.
Result<std::string_view> decodePayloadPath(std::string_view payload, std::span<char> out);

}  // namespace kelvo
