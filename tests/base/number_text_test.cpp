#include "base/number_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace kelvo {
namespace {

template <class Float>
std::string plain(Float value) {
    std::array<char, kMaxPlainFloatText> buffer;
    BoundedWriter out(buffer);
    writeFloatPlain(out, value);
    EXPECT_FALSE(out.overflowed());
    return std::string(out.text());
}

TEST(NumberText, FloatsAreShortestDigitsInPlainNotation) {
    EXPECT_EQ(plain(0.1), "0.1");
    EXPECT_EQ(plain(0.1f), "0.1");
    EXPECT_EQ(plain(1e21), "1000000000000000000000");
    EXPECT_EQ(plain(1e38f), "100000000000000000000000000000000000000");
    EXPECT_EQ(plain(-0.0), "-0");
    EXPECT_EQ(plain(0.0), "0");
    EXPECT_EQ(plain(1280.0), "1280");
    EXPECT_EQ(plain(-12.5), "-12.5");
    EXPECT_EQ(plain(1.5e-7), "0.00000015");
    EXPECT_EQ(plain(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(plain(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(plain(std::nan("")), "nan");
    EXPECT_EQ(plain(-std::nan("")), "nan");
    EXPECT_EQ(plain(-std::numeric_limits<float>::quiet_NaN()), "nan");
    std::string tiny = plain(5e-324);
    EXPECT_EQ(tiny.size(), 326u);
    EXPECT_EQ(tiny.substr(tiny.size() - 2), "05");
}

TEST(NumberText, ParsingConsumesTheWholeTokenAndRefusesOutOfRange) {
    EXPECT_EQ(parseF64("12.5"), 12.5);
    EXPECT_EQ(parseF64("-0.25"), -0.25);
    EXPECT_FALSE(parseF64("1.2.3"));
    EXPECT_FALSE(parseF64("--1"));
    EXPECT_FALSE(parseF64(""));
    EXPECT_FALSE(parseF64("1e999"));
    EXPECT_FALSE(parseF64("inf"));
    EXPECT_FALSE(parseF64("nan"));
    EXPECT_FALSE(parseF32("1e39"));
    EXPECT_EQ(parseI64("-42"), -42);
    EXPECT_FALSE(parseI64("42x"));
    EXPECT_FALSE(parseU64("-1"));
    EXPECT_FALSE(parseU64("18446744073709551616"));
    EXPECT_EQ(parseU64("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
}

}  // namespace
}  // namespace kelvo
