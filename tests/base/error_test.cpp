#include "base/error.hpp"

#include <gtest/gtest.h>

namespace kelvo {
namespace {

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
