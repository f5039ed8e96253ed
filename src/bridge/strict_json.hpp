#pragma once

#include <string_view>

namespace kelvo {

// Whether `text` is exactly one JSON value by the standard grammar, with only space, TAB, LF and
// CR around it: literals in lower case, numbers without "+", leading zeros, hexadecimal or
// non-finite words, strings with only the standard escapes (\uXXXX with four hex digits) and no
// raw byte below 0x20, and every byte valid UTF-8 (no overlong forms, surrogates or code points
// above U+10FFFF). Containers may nest kMaxJsonDepth deep. Whatever passes can be handed to a
// page's script as it is.
bool isStrictJson(std::string_view text);

}  // namespace kelvo
