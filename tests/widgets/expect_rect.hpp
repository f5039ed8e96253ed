#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "raster/canvas_geometry.hpp"

namespace kelvo::testing {

inline void expectRect(std::optional<Rect> actual, Rect expected) {
    ASSERT_TRUE(actual.has_value());
    EXPECT_FLOAT_EQ(actual->x, expected.x);
    EXPECT_FLOAT_EQ(actual->y, expected.y);
    EXPECT_FLOAT_EQ(actual->width, expected.width);
    EXPECT_FLOAT_EQ(actual->height, expected.height);
}

}  // namespace kelvo::testing
