#include <gtest/gtest.h>

#include "runtime_fixture.hpp"
#include "text/measure_generation.hpp"

namespace kelvo {
namespace {

int gServices = 0;

float measureBySize(void* services, std::uint64_t font, float size, std::string_view text) {
    if (services != &gServices || text == "fail") return -1.0f;
    return static_cast<float>(text.size()) * size + static_cast<float>(font);
}

bool advancesOfOne(void* services, std::uint64_t, float, std::string_view text, std::span<float> advances) {
    if (services != &gServices || advances.size() < text.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) advances[i] = 1.0f;
    return true;
}

TEST(PlatformTextMeasurer, LayoutMeasuresThroughThePlatformOnceItsSlotIsBound) {
    testing::RuntimePtr runtime = testing::makeRuntime();
    bindPlatformTextMeasurer(*runtime);
    EXPECT_FALSE(runtime->textMeasurer.bound);

    runtime->platform.services = &gServices;
    runtime->platform.slots.measureText = measureBySize;
    const std::uint64_t generation = textMeasureGeneration().load();
    bindPlatformTextMeasurer(*runtime);
    ASSERT_TRUE(runtime->textMeasurer.bound);
    // Widths measured before the platform's measurer was bound are measured again.
    EXPECT_NE(textMeasureGeneration().load(), generation);

    const TextMeasurer* measurer = &runtime->textMeasurer.measurer;
    EXPECT_EQ(measureTextWidthForFont(measurer, kFontBold, "abc", 10), 34.0f);
    // A failed measurement is not a width: layout falls back to its estimate.
    EXPECT_EQ(measureTextWidthForFont(measurer, kFontRegular, "fail", 10), estimateTextWidth(kFontRegular, "fail", 10));
    EXPECT_EQ(measurer->measureTextAdvances, nullptr);

    runtime->platform.slots.measureTextAdvances = advancesOfOne;
    bindPlatformTextMeasurer(*runtime);
    float advances[3] = {};
    ASSERT_NE(measurer->measureTextAdvances, nullptr);
    EXPECT_TRUE(measurer->measureTextAdvances(measurer->context, kFontRegular, "abc", 3, advances, 3, 10));
    EXPECT_EQ(advances[2], 1.0f);
}

}  // namespace
}  // namespace kelvo
