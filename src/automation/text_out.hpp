#pragma once

// A buffered text writer over a snapshot text sink, with the value forms of the automation files:
// decimal integers, shortest round-trip floats in plain notation, "true"/"false", rectangles
// "(x,y WxH)" and quoted texts written raw. The first sink error sticks; later writes do nothing.
// Private to src/automation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/geometry.hpp"
#include "runtime/persist/session_fingerprint.hpp"

namespace kelvo {

class TextOut {
public:
    explicit TextOut(const SnapshotTextSink& sink) : sink_(sink) {}
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    TextOut& raw(std::string_view text);
    TextOut& put(char byte);
    TextOut& uint(std::uint64_t value);
    TextOut& sint(std::int64_t value);
    TextOut& real(float value);
    TextOut& boolean(bool value) { return raw(value ? "true" : "false"); }
    TextOut& rect(const RectF& rect);
    TextOut& quoted(std::string_view text) { return put('"').raw(text).put('"'); }
    // "0x" and at least eight lower-case hexadecimal digits.
    TextOut& hex32(std::uint32_t value);
    // Two lower-case hexadecimal digits per byte, high nibble first.
    TextOut& hexBytes(std::span<const std::uint8_t> bytes);

    // Hands what is buffered to the sink; the first error of any write so far.
    Status finish();

private:
    void flush();
    // Makes room for `bytes` more in the buffer (flushing first when needed).
    char* reserve(std::size_t bytes);

    static constexpr std::size_t kBufferBytes = 8192;

    const SnapshotTextSink& sink_;
    std::array<char, kBufferBytes> buffer_;
    std::size_t length_ = 0;
    Status status_;
};

}  // namespace kelvo
