#include "base/error.hpp"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

TEST(Error, NamesArePrintedExactlyAndRoundTrip) {
    EXPECT_EQ(errorName(Error::UnsupportedService), "UnsupportedService");
    EXPECT_EQ(errorName(Error::NoSpaceLeft), "NoSpaceLeft");
    EXPECT_EQ(errorName(Error::WebViewLayerNotBuilt), "WebViewLayerNotBuilt");
    for (std::size_t i = 0; i < kErrorCount; ++i) {
        auto error = static_cast<Error>(i);
        auto back = errorFromName(errorName(error));
        ASSERT_TRUE(back.has_value()) << errorName(error);
        EXPECT_EQ(*back, error);
    }
    EXPECT_FALSE(errorFromName("NotAnError").has_value());
}

Result<int> half(int value) {
    if (value % 2 != 0) return fail(Error::InvalidDimension);
    return value / 2;
}

Result<int> quarter(int value) {
    int h = TRY(half(value));
    return TRY(half(h));
}

Status checkEven(int value) {
    TRY(half(value));
    return {};
}

Status checkBoth(int a, int b) {
    TRY(checkEven(a));
    TRY(checkEven(b));
    return {};
}

TEST(Error, TryPropagatesTheFirstFailureAndYieldsValues) {
    EXPECT_EQ(quarter(8).value(), 2);
    EXPECT_EQ(quarter(6).error(), Error::InvalidDimension);
    EXPECT_TRUE(checkBoth(2, 4).has_value());
    EXPECT_EQ(checkBoth(2, 3).error(), Error::InvalidDimension);
}

}  // namespace
}  // namespace kelvo
