#pragma once

// Values read from a fuzzer's input, front to back; past its end every value reads as zero bytes.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvo::fuzz {

struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;

    template <class T>
    T take() {
        T value{};
        std::size_t n = size < sizeof(T) ? size : sizeof(T);
        std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }

    // Mostly ordinary coordinates (a 16-bit integer over `denominator`), sometimes a raw bit pattern
    // (NaN, infinities and huge values included).
    float coordinate(float denominator, std::uint8_t ordinary_below) {
        if (take<std::uint8_t>() < ordinary_below) return static_cast<float>(take<std::int16_t>()) / denominator;
        return take<float>();
    }
};

}  // namespace kelvo::fuzz
