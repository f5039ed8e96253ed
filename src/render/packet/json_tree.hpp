#pragma once

// Private to render/packet: a strict JSON parser into a small value tree, for JSON canvas
// packets. Refused: malformed JSON, invalid UTF-8 (in strings and anywhere else), lone
// surrogate escapes, numbers beyond the double range, nesting deeper than the limit, bytes after
// the value. Integers without fraction or exponent keep their exact u64 value; a repeated object
// key is kept in order and looked up from the last one, so the last duplicate wins.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo {

struct JsonTreeValue {
    enum class Type : std::uint8_t { null, boolean, number, string, array, object };
    Type type = Type::null;
    bool boolean = false;
    double number = 0;
    std::optional<std::uint64_t> exact;  // a non-negative integer token that fits in u64
    std::string text;
    std::vector<JsonTreeValue> items;  // an array's items, or an object's values
    std::vector<std::string> keys;     // an object's keys, in text order, one per value

    // The object member under `key` (the last one when repeated); null when absent or not an object.
    [[nodiscard]] const JsonTreeValue* member(std::string_view key) const;
};

std::optional<JsonTreeValue> parseJsonTree(std::string_view text, std::size_t maxDepth);

}  // namespace kelvo
