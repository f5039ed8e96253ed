#pragma once

// Private to src/widgets: the named fields of layout nodes and design tokens as the tree text
// format reads and writes them, and the codec of each field type.

#include <cstdint>
#include <span>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/error.hpp"
#include "widgets/widget_description.hpp"
#include "widgets/widget_tokens.hpp"

namespace kelvo::tree_text {

enum class FieldType : std::uint8_t {
    f32,
    u8,
    u32,
    u64,
    i32,
    boolean,
    opt_f32,
    opt_u32,
    opt_u64,
    opt_i32,
    opt_bool,
    text,
    opt_range,
    insets,
    size2,
    rect,
    opt_rect,
    affine,
    color,
    opt_color,
    actions,
};

struct FieldDescription {
    std::string_view name;
    FieldType type;
    void* (*address)(void* record);
};

// The field in a record the writer only reads.
inline const void* fieldIn(const FieldDescription& field, const void* record) {
    return field.address(const_cast<void*>(record));
}

// The fields of a layout node that a node line carries (kind, depth, parent and the arrays filled
// by record lines are not among them), in the order they are written.
std::span<const FieldDescription> nodeFields();
// The scalar token fields; the palette and the component blocks are named separately.
std::span<const FieldDescription> tokenFields();
// The fields of one component block.
std::span<const FieldDescription> blockFields();
// The palette entry names: the named entries by name, the others by number.
std::string_view paletteEntryName(unsigned index);
std::string_view controlBlockName(ControlBlock block);

// Where the text of a parsed text value goes; null when none may be stored.
struct TextSink {
    char* data = nullptr;
    std::uint32_t* length = nullptr;
    std::size_t capacity = 0;
};

// Parses one value (the text after "=") into the field; InvalidWidgetTreeText when malformed,
// WidgetTextTooLarge when a text does not fit the sink.
Status parseFieldValue(FieldType type, std::string_view value, void* field, TextSink& texts);
void writeFieldValue(BoundedWriter& out, FieldType type, const void* field);
// False for an optional field that holds nothing (it has no text).
bool fieldHasValue(FieldType type, const void* field);
// Bit-for-bit equal values (so NaN equals NaN and 0 differs from -0): the writer leaves out fields
// that still hold their default.
bool fieldValuesSame(FieldType type, const void* a, const void* b);

// Numbers and strings in the tree text format.
bool parseFloatToken(std::string_view token, float& value);
void writeFloatToken(BoundedWriter& out, float value);
void writeQuotedText(BoundedWriter& out, std::string_view text);
// Decodes a quoted string (quotes included in `token`) into the sink.
Status parseQuotedText(std::string_view token, TextSink& texts, std::string_view& text);

}  // namespace kelvo::tree_text
