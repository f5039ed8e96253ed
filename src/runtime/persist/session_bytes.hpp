#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>

#include "base/byte_order.hpp"

namespace kelvo {

// Private to runtime/persist/. Little-endian field writer for journal payloads. A field that does not fit (or a string
// whose length does not fit a u32) marks the writer as failed and nothing more is written.
class SessionBytes {
public:
    explicit SessionBytes(std::span<std::uint8_t> buffer) : buffer_(buffer) {}

    void u8(std::uint8_t value) { put(&value, 1); }
    void boolean(bool value) { u8(value ? 1 : 0); }
    void u16(std::uint16_t value) { little(value, 2); }
    void u32(std::uint32_t value) { little(value, 4); }
    void u64(std::uint64_t value) { little(value, 8); }
    void f32(float value) { u32(std::bit_cast<std::uint32_t>(value)); }

    // A length-prefixed byte string: u32 length, then the bytes.
    void string(std::string_view text) {
        if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
            ok_ = false;
            return;
        }
        u32(static_cast<std::uint32_t>(text.size()));
        put(text.data(), text.size());
    }

    void bytes(std::span<const std::uint8_t> data) { put(data.data(), data.size()); }

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::size_t length() const { return length_; }
    [[nodiscard]] std::span<const std::uint8_t> written() const { return {buffer_.data(), length_}; }

private:
    void little(std::uint64_t value, std::size_t width) {
        std::uint8_t bytes[8];
        storeLittleEndian(bytes, value, width);
        put(bytes, width);
    }

    void put(const void* data, std::size_t size) {
        if (!ok_) return;
        if (size > buffer_.size() - length_) {
            ok_ = false;
            return;
        }
        if (size > 0) std::memcpy(buffer_.data() + length_, data, size);
        length_ += size;
    }

    std::span<std::uint8_t> buffer_;
    std::size_t length_ = 0;
    bool ok_ = true;
};

}  // namespace kelvo
