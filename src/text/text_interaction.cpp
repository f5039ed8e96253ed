#include "text/text_interaction.hpp"

#include <algorithm>
#include <cstring>

#include "text/text_metrics.hpp"

namespace kelvo {

Result<TextEditResult> replaceTextRange(std::string_view text, std::size_t anchor, std::size_t focus,
                                        std::string_view inserted, std::span<char> output) {
    std::size_t start = textCharStart(text, std::min(anchor, focus));
    std::size_t end = textCharStart(text, std::max(anchor, focus));
    std::size_t suffix = text.size() - end;
    std::size_t limit = std::min(kTextEditLimit, output.size());
    if (inserted.size() > limit || start + suffix > limit - inserted.size()) {
        return fail(Error::TextEditBufferTooSmall);
    }
    std::size_t length = start + inserted.size() + suffix;
    char* out = output.data();
    if (out == text.data()) {
        // In place: the prefix stays; the suffix moves first so that a growing text does not
        // overwrite bytes it has yet to move.
        if (suffix > 0) std::memmove(out + start + inserted.size(), text.data() + end, suffix);
        if (!inserted.empty()) std::memcpy(out + start, inserted.data(), inserted.size());
    } else {
        if (start > 0) std::memmove(out, text.data(), start);
        if (!inserted.empty()) std::memmove(out + start, inserted.data(), inserted.size());
        if (suffix > 0) std::memmove(out + start + inserted.size(), text.data() + end, suffix);
    }
    return TextEditResult{std::string_view(out, length), start, start + inserted.size()};
}

bool isTextWordByte(char byte) {
    auto c = static_cast<unsigned char>(byte);
    return c >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::size_t nextTextWordOffset(std::string_view text, std::size_t offset) {
    std::size_t at = textCharStart(text, offset);
    while (at < text.size() && !isTextWordByte(text[at])) ++at;
    while (at < text.size() && isTextWordByte(text[at])) ++at;
    return at;
}

std::size_t previousTextWordOffset(std::string_view text, std::size_t offset) {
    std::size_t at = textCharStart(text, offset);
    while (at > 0 && !isTextWordByte(text[at - 1])) --at;
    while (at > 0 && isTextWordByte(text[at - 1])) --at;
    return at;
}

}  // namespace kelvo
