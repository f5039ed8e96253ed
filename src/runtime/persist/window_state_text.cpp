#include "runtime/persist/window_state_text.hpp"

#include "base/ascii.hpp"
#include "base/json_string.hpp"
#include "base/number_text.hpp"

namespace kelvo {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

bool isBlank(char byte) { return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r'; }

void writeBool(BoundedWriter& out, bool value) { out.write(value ? "true" : "false"); }

// Finds `name` where a field can stand: after "{" or "," (blanks between allowed), never inside
// a quoted string, and followed by optional blanks and "=". Returns the offset of the value (after
// the "=" and the spaces that follow it), or kNone.
std::size_t findFieldValue(std::string_view record, std::string_view name) {
    bool inString = false;
    bool escaped = false;
    bool atFieldStart = false;
    for (std::size_t i = 0; i < record.size(); ++i) {
        char byte = record[i];
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (byte == '\\') {
                escaped = true;
            } else if (byte == '"') {
                inString = false;
            }
            continue;
        }
        if (byte == '{' || byte == ',') {
            atFieldStart = true;
            continue;
        }
        if (isBlank(byte)) continue;
        if (atFieldStart && record.substr(i, name.size()) == name) {
            std::size_t at = i + name.size();
            while (at < record.size() && isBlank(record[at])) ++at;
            if (at < record.size() && record[at] == '=') {
                ++at;
                while (at < record.size() && record[at] == ' ') ++at;
                return at;
            }
        }
        atFieldStart = false;
        if (byte == '"') inString = true;
    }
    return kNone;
}

// Reads the escape starting at `text[at]` (the byte after the backslash). Returns the byte it
// stands for and how many bytes it spans, or nothing for an escape the format does not know.
struct Escape {
    char byte;
    std::size_t length;
};
std::optional<Escape> readEscape(std::string_view text, std::size_t at) {
    if (at >= text.size()) return std::nullopt;
    switch (text[at]) {
        case 'n':
            return Escape{'\n', 1};
        case 'r':
            return Escape{'\r', 1};
        case 't':
            return Escape{'\t', 1};
        case '"':
            return Escape{'"', 1};
        case '\\':
            return Escape{'\\', 1};
        case 'x': {
            if (at + 2 >= text.size()) return std::nullopt;
            int high = hexDigitValue(text[at + 1]);
            int low = hexDigitValue(text[at + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            return Escape{static_cast<char>(high * 16 + low), 3};
        }
        default:
            return std::nullopt;
    }
}

}  // namespace

void writeZonString(BoundedWriter& out, std::string_view bytes) {
    out.put('"');
    writeEscapedBody(out, bytes, "\\x");
    out.put('"');
}

void writeWindowStateRecord(BoundedWriter& out, const WindowStateRecord& record) {
    out.write("    .{ .id = ");
    out.writeUnsigned(record.id);
    out.write(", .label = ");
    writeZonString(out, record.label);
    out.write(", .title = ");
    writeZonString(out, record.title);
    out.write(", .open = ");
    writeBool(out, record.open);
    out.write(", .focused = ");
    writeBool(out, record.focused);
    out.write(", .x = ");
    writeFloatPlain(out, record.x);
    out.write(", .y = ");
    writeFloatPlain(out, record.y);
    out.write(", .width = ");
    writeFloatPlain(out, record.width);
    out.write(", .height = ");
    writeFloatPlain(out, record.height);
    out.write(", .scale = ");
    writeFloatPlain(out, record.scale);
    out.write(", .maximized = ");
    writeBool(out, record.maximized);
    out.write(", .fullscreen = ");
    writeBool(out, record.fullscreen);
    out.write(" },\n");
}

std::optional<std::string_view> nextWindowStateRecord(WindowStateScanner& scanner) {
    std::string_view text = scanner.text;
    while (scanner.position < text.size()) {
        std::size_t label = text.find(".label", scanner.position);
        if (label == kNone) break;
        // The opening brace is looked for only in the text not yet consumed, so a stray ".label"
        // after a record can never lead back into that record and repeat it for ever.
        std::size_t open = kNone;
        for (std::size_t i = label; i > scanner.position;) {
            --i;
            if (text[i] == '{') {
                open = i;
                break;
            }
        }
        if (open == kNone) {
            scanner.position = label + 1;
            continue;
        }
        bool inString = false;
        bool escaped = false;
        for (std::size_t i = open; i < text.size(); ++i) {
            char byte = text[i];
            if (escaped) {
                escaped = false;
            } else if (inString && byte == '\\') {
                escaped = true;
            } else if (byte == '"') {
                inString = !inString;
            } else if (!inString && byte == '}') {
                scanner.position = i + 1;
                return text.substr(open, i + 1 - open);
            }
        }
        break;
    }
    scanner.position = text.size();
    return std::nullopt;
}

std::optional<std::string_view> parseStringField(std::string_view record, std::string_view name,
                                                 UnescapeBuffer& buffer) {
    std::size_t value = findFieldValue(record, name);
    if (value == kNone) return std::nullopt;
    std::size_t quote = record.find('"', value);
    if (quote == kNone) return std::nullopt;
    std::size_t start = quote + 1;

    // First pass: find the closing quote and check every byte and escape.
    bool hasEscapes = false;
    std::size_t end = kNone;
    for (std::size_t i = start; i < record.size();) {
        char byte = record[i];
        if (byte == '"') {
            end = i;
            break;
        }
        if (static_cast<unsigned char>(byte) < 0x20) return std::nullopt;
        if (byte == '\\') {
            auto escape = readEscape(record, i + 1);
            if (!escape) return std::nullopt;
            hasEscapes = true;
            i += 1 + escape->length;
            continue;
        }
        ++i;
    }
    if (end == kNone) return std::nullopt;
    if (!hasEscapes) return record.substr(start, end - start);

    // Second pass: unescape into the caller's buffer.
    std::size_t first = buffer.used;
    std::size_t used = buffer.used;
    for (std::size_t i = start; i < end;) {
        char byte = record[i];
        std::size_t step = 1;
        if (byte == '\\') {
            auto escape = readEscape(record, i + 1);
            byte = escape->byte;
            step = 1 + escape->length;
        }
        if (used >= buffer.storage.size()) return std::nullopt;
        buffer.storage[used++] = byte;
        i += step;
    }
    buffer.used = used;
    return std::string_view(buffer.storage.data() + first, used - first);
}

std::optional<float> parseFloatField(std::string_view record, std::string_view name) {
    std::size_t value = findFieldValue(record, name);
    if (value == kNone) return std::nullopt;
    std::size_t end = value;
    while (end < record.size() && (isDecimalDigit(record[end]) || record[end] == '-' || record[end] == '.')) {
        ++end;
    }
    if (end == value) return std::nullopt;
    return parseF32(record.substr(value, end - value));
}

std::optional<bool> parseBoolField(std::string_view record, std::string_view name) {
    std::size_t value = findFieldValue(record, name);
    if (value == kNone) return std::nullopt;
    std::string_view rest = record.substr(value);
    if (rest.starts_with("true")) return true;
    if (rest.starts_with("false")) return false;
    return std::nullopt;
}

std::uint64_t parseIdField(std::string_view record) {
    std::size_t value = findFieldValue(record, ".id");
    if (value == kNone) return 0;
    std::size_t end = value;
    while (end < record.size() && isDecimalDigit(record[end])) ++end;
    if (end == value) return 0;
    return parseU64(record.substr(value, end - value)).value_or(0);
}

WindowStateRecord parseRecord(std::string_view record, std::string_view label, UnescapeBuffer& buffer) {
    WindowStateRecord result;
    result.id = parseIdField(record);
    result.label = label;
    result.title = parseStringField(record, ".title", buffer).value_or(std::string_view{});
    result.open = parseBoolField(record, ".open").value_or(true);
    result.focused = parseBoolField(record, ".focused").value_or(false);
    result.x = parseFloatField(record, ".x").value_or(0.0f);
    result.y = parseFloatField(record, ".y").value_or(0.0f);
    result.width = parseFloatField(record, ".width").value_or(720.0f);
    result.height = parseFloatField(record, ".height").value_or(480.0f);
    result.scale = parseFloatField(record, ".scale").value_or(1.0f);
    result.maximized = parseBoolField(record, ".maximized").value_or(false);
    result.fullscreen = parseBoolField(record, ".fullscreen").value_or(false);
    return result;
}

}  // namespace kelvo
