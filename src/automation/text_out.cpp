#include "automation/text_out.hpp"

#include <charconv>
#include <cstring>

#include "base/bounded_writer.hpp"
#include "base/number_text.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kHexDigits = "0123456789abcdef";

}  // namespace

void TextOut::flush() {
    if (length_ == 0) return;
    if (status_) status_ = sink_.write(sink_.context, std::string_view(buffer_.data(), length_));
    length_ = 0;
}

char* TextOut::reserve(std::size_t bytes) {
    if (buffer_.size() - length_ < bytes) flush();
    return buffer_.data() + length_;
}

TextOut& TextOut::raw(std::string_view text) {
    if (!status_ || text.empty()) return *this;
    if (text.size() > buffer_.size() - length_) {
        flush();
        // A text longer than the whole buffer goes to the sink directly.
        if (text.size() >= buffer_.size()) {
            if (status_) status_ = sink_.write(sink_.context, text);
            return *this;
        }
    }
    std::memcpy(buffer_.data() + length_, text.data(), text.size());
    length_ += text.size();
    return *this;
}

TextOut& TextOut::put(char byte) {
    *reserve(1) = byte;
    ++length_;
    return *this;
}

TextOut& TextOut::uint(std::uint64_t value) {
    char* at = reserve(20);
    length_ = static_cast<std::size_t>(std::to_chars(at, at + 20, value).ptr - buffer_.data());
    return *this;
}

TextOut& TextOut::sint(std::int64_t value) {
    char* at = reserve(20);
    length_ = static_cast<std::size_t>(std::to_chars(at, at + 20, value).ptr - buffer_.data());
    return *this;
}

TextOut& TextOut::real(float value) {
    char* at = reserve(kMaxPlainFloatText);
    BoundedWriter out(std::span<char>(at, kMaxPlainFloatText));
    writeFloatPlain(out, value);
    length_ += out.length();
    return *this;
}

TextOut& TextOut::rect(const RectF& rect) {
    return put('(').real(rect.x).put(',').real(rect.y).put(' ').real(rect.width).put('x').real(rect.height).put(')');
}

TextOut& TextOut::hex32(std::uint32_t value) {
    raw("0x");
    char* at = reserve(8);
    for (int shift = 28; shift >= 0; shift -= 4) *at++ = kHexDigits[(value >> shift) & 0xFu];
    length_ += 8;
    return *this;
}

TextOut& TextOut::hexBytes(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) put(kHexDigits[byte >> 4]).put(kHexDigits[byte & 0xFu]);
    return *this;
}

Status TextOut::finish() {
    flush();
    return status_;
}

}  // namespace kelvo
