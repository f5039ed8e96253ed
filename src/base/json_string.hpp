#pragma once

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

}  // namespace kelvo
