#include "base/wyhash.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kelvo {
namespace {

TEST(Wyhash, MatchesTheVectorsOfFinalVersionFour) {
    struct Vector {
        std::uint64_t seed;
        std::string_view text;
        std::uint64_t hash;
    };
    const Vector vectors[] = {
        {0, "", 0x0409638ee2bde459ULL},
        {1, "a", 0xa8412d091b5fe0a9ULL},
        {2, "abc", 0x32dd92e4b2915153ULL},
        {3, "message digest", 0x8619124089a3a16bULL},
        {4, "abcdefghijklmnopqrstuvwxyz", 0x7a43afb61d7f5f40ULL},
        {5, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", 0xff42329b90e50d58ULL},
        {6, "12345678901234567890123456789012345678901234567890123456789012345678901234567890", 0xc39cab13b115aad3ULL},
    };
    for (const auto& vector : vectors) {
        EXPECT_EQ(wyhash(vector.text, vector.seed), vector.hash) << vector.text;
        Wyhash stream(vector.seed);
        stream.update(vector.text);
        EXPECT_EQ(stream.digest(), vector.hash) << vector.text;
    }
}

// Texts of every length up to a few blocks, so the short, 16-byte and 48-byte paths and their
// boundaries are all crossed.
std::string testText(std::size_t length) {
    std::string text(length, '\0');
    std::uint32_t state = 12345;
    for (auto& byte : text) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 16);
    }
    return text;
}

TEST(Wyhash, StreamingEqualsOneShotAtEverySplitPoint) {
    for (std::size_t length = 0; length <= 150; ++length) {
        std::string text = testText(length);
        std::uint64_t expected = wyhash(text, 7);
        for (std::size_t split = 0; split <= length; ++split) {
            Wyhash stream(7);
            stream.update(std::string_view(text).substr(0, split));
            stream.update(std::string_view(text).substr(split));
            ASSERT_EQ(stream.digest(), expected) << "length " << length << " split " << split;
        }
        Wyhash bytewise(7);
        for (char byte : text) bytewise.update(std::string_view(&byte, 1));
        ASSERT_EQ(bytewise.digest(), expected) << "length " << length << " fed byte by byte";
    }
}

TEST(Wyhash, DigestCanBeTakenMidStreamAndWordsAreLittleEndian) {
    Wyhash stream;
    stream.update("first part ");
    EXPECT_EQ(stream.digest(), wyhash("first part "));
    stream.update("and the rest of a longer text, well past one block of forty-eight bytes");
    EXPECT_EQ(stream.digest(),
              wyhash("first part and the rest of a longer text, well past one block of forty-eight bytes"));

    Wyhash words;
    words.updateU64(0x0807060504030201ULL);
    EXPECT_EQ(words.digest(), wyhash(std::string_view("\x01\x02\x03\x04\x05\x06\x07\x08", 8)));
}

}  // namespace
}  // namespace kelvo
