#include "text/text_layout_cache.hpp"

#include <bit>

namespace kelvo {

namespace {

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z;
}

std::uint64_t fold(std::uint64_t h, std::uint64_t value) { return mix(value ^ h ^ (h >> 31)); }

}  // namespace

std::uint64_t textLayoutKeyHash(const TextLayoutKey& key) {
    std::uint64_t h = mix(key.words[3] ^ key.words[0]);
    for (float parameter : key.parameters) {
        std::uint32_t bits = parameter == 0.0f ? 0u : std::bit_cast<std::uint32_t>(parameter);
        h = fold(h, bits);
    }
    h = fold(h, key.flags & 0x0303u);
    h = fold(h, key.words[1] ^ (key.words[2] << 20));
    return h ^ (h >> 31);
}

}  // namespace kelvo
