#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace kelvo {

// Writes into a caller's fixed buffer. Bytes that do not fit are dropped and the overflow is
// remembered, so a caller can write a whole record and check once at the end.
class BoundedWriter {
public:
    explicit BoundedWriter(std::span<char> buffer) : buffer_(buffer) {}

    void write(std::string_view text) {
        std::size_t room = buffer_.size() - length_;
        std::size_t take = text.size() <= room ? text.size() : room;
        if (take > 0) std::memcpy(buffer_.data() + length_, text.data(), take);
        length_ += take;
        if (take < text.size()) overflowed_ = true;
    }

    void put(char byte) {
        if (length_ < buffer_.size()) {
            buffer_[length_++] = byte;
        } else {
            overflowed_ = true;
        }
    }

    void writeUnsigned(std::uint64_t value);
    void writeSigned(std::int64_t value);

    [[nodiscard]] bool overflowed() const { return overflowed_; }
    [[nodiscard]] std::size_t length() const { return length_; }
    [[nodiscard]] std::size_t capacity() const { return buffer_.size(); }
    [[nodiscard]] std::size_t remaining() const { return buffer_.size() - length_; }
    [[nodiscard]] std::string_view text() const { return {buffer_.data(), length_}; }
    [[nodiscard]] std::span<char> buffer() const { return buffer_; }

    // Cuts the written text back to `length` bytes (no effect when already shorter).
    void truncate(std::size_t length) {
        if (length < length_) length_ = length;
    }
    void clearOverflow() { overflowed_ = false; }
    void reset() {
        length_ = 0;
        overflowed_ = false;
    }

private:
    std::span<char> buffer_;
    std::size_t length_ = 0;
    bool overflowed_ = false;
};

}  // namespace kelvo
