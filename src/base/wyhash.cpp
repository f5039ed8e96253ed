#include "base/wyhash.hpp"

#include <cstring>

#include "base/byte_order.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kSecret[4] = {0xa0761d6478bd642fULL, 0xe7037ed1a0b428dbULL, 0x8ebc6af09c88c6e3ULL,
                                      0x589965cc75374cc3ULL};

// The 128-bit product of a and b: low half into a, high half into b.
inline void multiply(std::uint64_t& a, std::uint64_t& b) {
    unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    a = static_cast<std::uint64_t>(product);
    b = static_cast<std::uint64_t>(product >> 64);
}

inline std::uint64_t mix(std::uint64_t a, std::uint64_t b) {
    multiply(a, b);
    return a ^ b;
}

// Little-endian loads.
inline std::uint64_t read8(const std::uint8_t* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

inline std::uint64_t read4(const std::uint8_t* p) {
    return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24;
}

inline std::uint64_t read3(const std::uint8_t* p, std::size_t k) {
    return std::uint64_t{p[0]} << 16 | std::uint64_t{p[k >> 1]} << 8 | p[k - 1];
}

inline std::uint64_t initialSeed(std::uint64_t seed) { return seed ^ mix(seed ^ kSecret[0], kSecret[1]); }

// The two words that texts of at most 16 bytes contribute.
inline void shortWords(const std::uint8_t* p, std::size_t length, std::uint64_t& a, std::uint64_t& b) {
    if (length >= 4) {
        std::size_t step = (length >> 3) << 2;
        a = (read4(p) << 32) | read4(p + step);
        b = (read4(p + length - 4) << 32) | read4(p + length - 4 - step);
    } else if (length > 0) {
        a = read3(p, length);
        b = 0;
    } else {
        a = b = 0;
    }
}

inline std::uint64_t finish(std::uint64_t a, std::uint64_t b, std::uint64_t seed, std::uint64_t length) {
    a ^= kSecret[1];
    b ^= seed;
    multiply(a, b);
    return mix(a ^ kSecret[0] ^ length, b ^ kSecret[1]);
}

// Texts over 16 bytes end in 16-byte steps and the last 16 bytes, which may reach back before `p`.
inline void longTail(const std::uint8_t* p, std::size_t i, std::uint64_t& seed, std::uint64_t& a, std::uint64_t& b) {
    while (i > 16) {
        seed = mix(read8(p) ^ kSecret[1], read8(p + 8) ^ seed);
        i -= 16;
        p += 16;
    }
    a = read8(p + i - 16);
    b = read8(p + i - 8);
}

}  // namespace

std::uint64_t wyhash(std::span<const std::uint8_t> bytes, std::uint64_t seed) {
    const std::uint8_t* p = bytes.data();
    std::size_t length = bytes.size();
    seed = initialSeed(seed);
    std::uint64_t a;
    std::uint64_t b;
    if (length <= 16) {
        shortWords(p, length, a, b);
    } else {
        std::size_t i = length;
        if (i > 48) {
            std::uint64_t see1 = seed;
            std::uint64_t see2 = seed;
            do {
                seed = mix(read8(p) ^ kSecret[1], read8(p + 8) ^ seed);
                see1 = mix(read8(p + 16) ^ kSecret[2], read8(p + 24) ^ see1);
                see2 = mix(read8(p + 32) ^ kSecret[3], read8(p + 40) ^ see2);
                p += 48;
                i -= 48;
            } while (i > 48);
            seed ^= see1 ^ see2;
        }
        longTail(p, i, seed, a, b);
    }
    return finish(a, b, seed, length);
}

Wyhash::Wyhash(std::uint64_t seed) : seed_(initialSeed(seed)), see1_(seed_), see2_(seed_) {}

void Wyhash::consumeBlock(const std::uint8_t* block) {
    seed_ = mix(read8(block) ^ kSecret[1], read8(block + 8) ^ seed_);
    see1_ = mix(read8(block + 16) ^ kSecret[2], read8(block + 24) ^ see1_);
    see2_ = mix(read8(block + 32) ^ kSecret[3], read8(block + 40) ^ see2_);
    std::memcpy(tail_, block + kBlock - 16, 16);
}

void Wyhash::update(std::span<const std::uint8_t> bytes) {
    total_ += bytes.size();
    // A block is consumed only once a byte after it has arrived: the last 1 to 48 bytes of the
    // text take the final path.
    while (!bytes.empty()) {
        if (bufferLength_ == kBlock) {
            consumeBlock(buffer_);
            bufferLength_ = 0;
        }
        if (bufferLength_ == 0) {
            while (bytes.size() > kBlock) {
                consumeBlock(bytes.data());
                bytes = bytes.subspan(kBlock);
            }
        }
        std::size_t take = kBlock - bufferLength_ < bytes.size() ? kBlock - bufferLength_ : bytes.size();
        std::memcpy(buffer_ + bufferLength_, bytes.data(), take);
        bufferLength_ += take;
        bytes = bytes.subspan(take);
    }
}

void Wyhash::updateU64(std::uint64_t value) {
    std::uint8_t bytes[8];
    storeLittleEndian(bytes, value, 8);
    update(std::span<const std::uint8_t>(bytes, 8));
}

std::uint64_t Wyhash::digest() const {
    std::uint64_t seed = seed_;
    std::uint64_t a;
    std::uint64_t b;
    if (total_ <= 16) {
        shortWords(buffer_, bufferLength_, a, b);
    } else {
        if (total_ > kBlock) seed ^= see1_ ^ see2_;
        std::uint8_t area[16 + kBlock];
        std::memcpy(area, tail_, 16);
        std::memcpy(area + 16, buffer_, bufferLength_);
        longTail(area + 16, bufferLength_, seed, a, b);
    }
    return finish(a, b, seed, total_);
}

}  // namespace kelvo
