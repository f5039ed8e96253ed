#pragma once

// Packet bytes for tests: hex text as bytes, and small edits of a packet.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::testing {

inline std::vector<std::uint8_t> bytesFromHex(std::string_view hex) {
    std::vector<std::uint8_t> out;
    int high = -1;
    for (char c : hex) {
        int v = -1;
        if (c >= '0' && c <= '9') v = c - '0';
        if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

inline void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace kelvo::testing
