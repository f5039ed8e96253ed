#include "raster/checksum.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define KELVO_CHECKSUM_X86 1
#endif

namespace kelvo {
namespace {

// Eight 256-entry tables: the byte-at-a-time CRC table and its extensions, so that the portable
// CRC takes eight bytes per step.
struct CrcTables {
    std::uint32_t t[8][256];
};

constexpr CrcTables makeCrcTables() {
    CrcTables tables{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        tables.t[0][n] = c;
    }
    for (std::uint32_t n = 0; n < 256; ++n) {
        for (int k = 1; k < 8; ++k) {
            std::uint32_t previous = tables.t[k - 1][n];
            tables.t[k][n] = tables.t[0][previous & 0xffu] ^ (previous >> 8);
        }
    }
    return tables;
}

constexpr CrcTables kCrcTables = makeCrcTables();

constexpr std::uint32_t kAdlerModulus = 65521;
// The longest run for which Adler-32's sums cannot overflow 32 bits before the modulo.
constexpr std::size_t kAdlerRun = 5552;

#if KELVO_CHECKSUM_X86

// Multiplies the two halves of x by the two halves of key (carry-less) and adds in the next block.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i x, __m128i key, __m128i next) {
    __m128i lo = _mm_clmulepi64_si128(x, key, 0x00);
    __m128i hi = _mm_clmulepi64_si128(x, key, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// CRC-32 by folding 128-bit lanes with carry-less multiplication and a final Barrett reduction;
// the constants are powers of x modulo the (bit-reflected) CRC polynomial. Needs at least 64 bytes
// and a multiple of 16.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t crc32Folded(std::uint32_t crc, const std::uint8_t* p,
                                                                   std::size_t n) {
    alignas(16) static const std::uint64_t k1k2[] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const std::uint64_t k3k4[] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const std::uint64_t k5k0[] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const std::uint64_t poly[] = {0x01db710641, 0x01f7011641};
    auto load = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };

    __m128i x1 = load(p);
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    p += 64;
    n -= 64;
    while (n >= 64) {
        x1 = fold(x1, k, load(p));
        x2 = fold(x2, k, load(p + 16));
        x3 = fold(x3, k, load(p + 32));
        x4 = fold(x4, k, load(p + 48));
        p += 64;
        n -= 64;
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = fold(x1, k, x2);
    x1 = fold(x1, k, x3);
    x1 = fold(x1, k, x4);
    while (n >= 16) {
        x1 = fold(x1, k, load(p));
        p += 16;
        n -= 16;
    }
    // 128 bits to 64.
    __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask32);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(x1, k, 0x00), x2);
    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_and_si128(x1, mask32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x10);
    x2 = _mm_and_si128(x2, mask32);
    x2 = _mm_clmulepi64_si128(x2, k, 0x00);
    x1 = _mm_xor_si128(x1, x2);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

// Adler-32 over 32-byte chunks: byte sums with sum-of-absolute-differences, position-weighted sums
// with multiply-add, and the running s1 of earlier chunks scaled by 32 at the end of each run.
__attribute__((target("ssse3"))) std::uint32_t adler32Vector(std::uint32_t adler, const std::uint8_t* p,
                                                             std::size_t n) {
    std::uint32_t s1 = adler & 0xffffu;
    std::uint32_t s2 = adler >> 16;
    const __m128i weights_lo = _mm_setr_epi8(32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17);
    const __m128i weights_hi = _mm_setr_epi8(16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1);
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i zero = _mm_setzero_si128();
    constexpr std::size_t kRun = kAdlerRun / 32 * 32;
    auto sum32 = [](__m128i v) {
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
        v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
        return static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_cvtsi128_si32(v)));
    };
    while (n >= 32) {
        std::size_t run = std::min(n, kRun) / 32 * 32;
        n -= run;
        __m128i v_s1 = zero;
        __m128i v_s2 = zero;
        __m128i v_previous = zero;
        std::uint64_t start_s1 = s1;
        for (std::size_t i = 0; i < run; i += 32, p += 32) {
            __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
            v_previous = _mm_add_epi32(v_previous, v_s1);
            v_s1 = _mm_add_epi32(v_s1, _mm_add_epi32(_mm_sad_epu8(lo, zero), _mm_sad_epu8(hi, zero)));
            __m128i weighted = _mm_add_epi32(_mm_madd_epi16(_mm_maddubs_epi16(lo, weights_lo), ones),
                                             _mm_madd_epi16(_mm_maddubs_epi16(hi, weights_hi), ones));
            v_s2 = _mm_add_epi32(v_s2, weighted);
        }
        v_s2 = _mm_add_epi32(v_s2, _mm_slli_epi32(v_previous, 5));
        std::uint64_t b = s2 + run * start_s1 + sum32(v_s2);
        std::uint64_t a = start_s1 + sum32(v_s1);
        s1 = static_cast<std::uint32_t>(a % kAdlerModulus);
        s2 = static_cast<std::uint32_t>(b % kAdlerModulus);
    }
    return adler32UpdatePortable((s2 << 16) | s1, {p, n});
}

bool hasFoldingCrc() {
    static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}

bool hasByteShuffles() {
    static const bool supported = __builtin_cpu_supports("ssse3");
    return supported;
}

#endif

}  // namespace

std::uint32_t crc32UpdatePortable(std::uint32_t state, std::span<const std::uint8_t> bytes) {
    const auto& t = kCrcTables.t;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    std::uint32_t c = state;
    while (n >= 8) {
        std::uint32_t lo;
        std::uint32_t hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        if constexpr (std::endian::native == std::endian::big) {
            lo = __builtin_bswap32(lo);
            hi = __builtin_bswap32(hi);
        }
        lo ^= c;
        c = t[7][lo & 0xffu] ^ t[6][(lo >> 8) & 0xffu] ^ t[5][(lo >> 16) & 0xffu] ^ t[4][lo >> 24] ^ t[3][hi & 0xffu] ^
            t[2][(hi >> 8) & 0xffu] ^ t[1][(hi >> 16) & 0xffu] ^ t[0][hi >> 24];
        p += 8;
        n -= 8;
    }
    while (n-- > 0) c = t[0][(c ^ *p++) & 0xffu] ^ (c >> 8);
    return c;
}

std::uint32_t crc32Update(std::uint32_t state, std::span<const std::uint8_t> bytes) {
#if KELVO_CHECKSUM_X86
    if (bytes.size() >= 64 && hasFoldingCrc()) {
        std::size_t folded = bytes.size() & ~std::size_t{15};
        state = crc32Folded(state, bytes.data(), folded);
        return crc32UpdatePortable(state, bytes.subspan(folded));
    }
#endif
    return crc32UpdatePortable(state, bytes);
}

std::uint32_t adler32UpdatePortable(std::uint32_t adler, std::span<const std::uint8_t> bytes) {
    std::uint32_t a = adler & 0xffffu;
    std::uint32_t b = adler >> 16;
    const std::uint8_t* p = bytes.data();
    std::size_t n = bytes.size();
    while (n > 0) {
        std::size_t run = std::min(n, kAdlerRun);
        n -= run;
        for (; run > 0; --run) {
            a += *p++;
            b += a;
        }
        a %= kAdlerModulus;
        b %= kAdlerModulus;
    }
    return (b << 16) | a;
}

std::uint32_t adler32Update(std::uint32_t adler, std::span<const std::uint8_t> bytes) {
#if KELVO_CHECKSUM_X86
    if (bytes.size() >= 32 && hasByteShuffles()) return adler32Vector(adler, bytes.data(), bytes.size());
#endif
    return adler32UpdatePortable(adler, bytes);
}

}  // namespace kelvo
