#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvo {

// wyhash, final version 4: the 64-bit multiply-mix hash with its default secret. Every part of the
// program that hashes with wyhash uses this one implementation.
std::uint64_t wyhash(std::span<const std::uint8_t> bytes, std::uint64_t seed = 0);
inline std::uint64_t wyhash(std::string_view text, std::uint64_t seed = 0) {
    return wyhash({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, seed);
}

// The same hash over bytes that arrive in pieces: feeding any split of a text gives the one-shot
// hash of the whole text.
class Wyhash {
public:
    explicit Wyhash(std::uint64_t seed = 0);

    void update(std::span<const std::uint8_t> bytes);
    void update(std::string_view text) { update({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}); }
    // Feeds the eight little-endian bytes of `value`.
    void updateU64(std::uint64_t value);

    // The hash of everything fed so far; more bytes may follow.
    [[nodiscard]] std::uint64_t digest() const;

private:
    static constexpr std::size_t kBlock = 48;

    void consumeBlock(const std::uint8_t* block);

    std::uint64_t seed_;
    std::uint64_t see1_;
    std::uint64_t see2_;
    std::uint64_t total_ = 0;
    std::uint8_t buffer_[kBlock] = {};
    std::size_t bufferLength_ = 0;
    // The last 16 bytes of the last consumed block: the final step may read back into them.
    std::uint8_t tail_[16] = {};
};

}  // namespace kelvo
