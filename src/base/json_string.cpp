#include "base/json_string.hpp"

#include "base/utf8.hpp"

namespace kelvo {

void writeEscapedBody(BoundedWriter& out, std::string_view text, std::string_view controlPrefix) {
    static constexpr char kHex[] = "0123456789abcdef";
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
                const char digits[2] = {kHex[byte >> 4], kHex[byte & 0xF]};
                out.write(controlPrefix);
                out.write({digits, sizeof digits});
            }
        }
    }
    out.write(text.substr(runStart));
}

void writeJsonStringBody(BoundedWriter& out, std::string_view text) { writeEscapedBody(out, text, "\\u00"); }

void writeJsonStringValidUtf8(BoundedWriter& out, std::string_view text) {
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
        out.write(kUtf8Replacement);
        i += unit.length;
        runStart = i;
    }
    writeJsonStringBody(out, text.substr(runStart));
    out.put('"');
}

void writeJsonString(BoundedWriter& out, std::string_view text) {
    out.put('"');
    writeJsonStringBody(out, text);
    out.put('"');
}

}  // namespace kelvo
