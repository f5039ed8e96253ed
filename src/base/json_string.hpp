#pragma once

#include <optional>
#include <string_view>

#include "base/bounded_writer.hpp"

namespace kelvo {

// Writes `text` as a JSON string literal with its quotes. Escapes \n, \r, \", \\ and \t by
// name and every other byte below 0x20 as \u00xx (lower-case hex); all other bytes pass as they are.
void writeJsonString(BoundedWriter& out, std::string_view text);

// The same escaping without the surrounding quotes.
void writeJsonStringBody(BoundedWriter& out, std::string_view text);

// The escaping of the JSON writer for other text formats that escape the same bytes: \n, \r, \",
// \\ and \t by name, every other byte below 0x20 as `controlPrefix` followed by two lower-case hex
// digits (\u00 for JSON, \x for the window-state file). No quotes are written.
void writeEscapedBody(BoundedWriter& out, std::string_view text, std::string_view controlPrefix);

// As writeJsonString, but the output is always valid UTF-8: each invalid sequence becomes U+FFFD.
// Valid text is written exactly as writeJsonString writes it.
void writeJsonStringValidUtf8(BoundedWriter& out, std::string_view text);

// As writeJsonString, but the output is always valid UTF-8 and keeps every byte: each byte of an
// invalid sequence (0x80 to 0xFF) is written as the escape of a lone low surrogate, \udcXX for the
// byte XX. A page keeps such a character in its strings and sends it back escaped the same way,
// so a file name that is not UTF-8 goes to the page and comes back unchanged. Valid text is
// written exactly as writeJsonString writes it.
void writeJsonStringOfBytes(BoundedWriter& out, std::string_view text);

// The byte a \uXXXX escape stands for in writeJsonStringOfBytes's output (`digits` its four hex
// digits, either case): 0x80 to 0xFF for U+DC80 to U+DCFF, none for any other.
std::optional<unsigned char> byteOfSurrogateEscape(std::string_view digits);

}  // namespace kelvo
