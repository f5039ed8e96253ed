#include "base/json_string.hpp"

#include "base/ascii.hpp"
#include "base/utf8.hpp"

namespace kelvo {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

void writeEscapedBody(BoundedWriter& out, std::string_view text, std::string_view controlPrefix) {
    // Plain runs are written whole; escapes are rare in the texts this writes.
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\') continue;
        out.write(text.substr(runStart, i - runStart));
        runStart = i + 1;
        switch (byte) {
            case '\n':
                out.write("\\n");
                break;
            case '\r':
                out.write("\\r");
                break;
            case '"':
                out.write("\\\"");
                break;
            case '\\':
                out.write("\\\\");
                break;
            case '\t':
                out.write("\\t");
                break;
            default: {
                const char digits[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
                out.write(controlPrefix);
                out.write({digits, sizeof digits});
            }
        }
    }
    out.write(text.substr(runStart));
}

void writeJsonStringBody(BoundedWriter& out, std::string_view text) { writeEscapedBody(out, text, "\\u00"); }

namespace {

// Writes `text` as a JSON string: its valid units as writeJsonStringBody writes them, each invalid
// one as `invalid` writes it.
template <class WriteInvalid>
void writeJsonStringOfUnits(BoundedWriter& out, std::string_view text, WriteInvalid invalid) {
    out.put('"');
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        Utf8Unit unit = utf8UnitAt(text, i);
        if (unit.valid) {
            i += unit.length;
            continue;
        }
        writeJsonStringBody(out, text.substr(runStart, i - runStart));
        invalid(text.substr(i, unit.length));
        i += unit.length;
        runStart = i;
    }
    writeJsonStringBody(out, text.substr(runStart));
    out.put('"');
}

}  // namespace

void writeJsonStringValidUtf8(BoundedWriter& out, std::string_view text) {
    writeJsonStringOfUnits(out, text, [&](std::string_view) { out.write(kUtf8Replacement); });
}

void writeJsonStringOfBytes(BoundedWriter& out, std::string_view text) {
    writeJsonStringOfUnits(out, text, [&](std::string_view bytes) {
        for (char c : bytes) {
            auto byte = static_cast<unsigned char>(c);
            const char escape[6] = {'\\', 'u', 'd', 'c', kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
            out.write({escape, sizeof escape});
        }
    });
}

std::optional<unsigned char> byteOfSurrogateEscape(std::string_view digits) {
    if (digits.size() != 4) return std::nullopt;
    int value = 0;
    for (char digit : digits) {
        const int nibble = hexDigitValue(digit);
        if (nibble < 0) return std::nullopt;
        value = value * 16 + nibble;
    }
    if (value < 0xDC80 || value > 0xDCFF) return std::nullopt;
    return static_cast<unsigned char>(value - 0xDC00);
}

void writeJsonString(BoundedWriter& out, std::string_view text) {
    out.put('"');
    writeJsonStringBody(out, text);
    out.put('"');
}

}  // namespace kelvo
