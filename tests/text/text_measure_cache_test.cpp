#include "text/text_measure_cache.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "text/fixed_measurer.hpp"

namespace kelvo {
namespace {

class AdvanceCache : public ::testing::Test {
protected:
    void SetUp() override { testing::forgetCachedMeasurements(); }

    testing::MeasureCalls calls;
    TextMeasurer measurer = testing::advancesMeasurer(&calls);

    const float* advances(const std::string& text, float size = 10, std::uint64_t font = 1) {
        return textRunAdvances(&measurer, font, text, size);
    }
};

TEST_F(AdvanceCache, RunLengthsPickTheSlot) {
    std::string small_a(2048, 'a'), small_b(2048, 'b'), large_a(2049, 'a'), large_b(2049, 'b');
    ASSERT_NE(advances(small_a), nullptr);
    ASSERT_NE(advances(small_b), nullptr);
    ASSERT_NE(advances(large_a), nullptr);
    EXPECT_EQ(calls.advances, 3);
    // Small runs share 256 slots; large runs the single large slot.
    advances(small_a);
    advances(small_b);
    advances(large_b);
    advances(large_a);
    EXPECT_EQ(calls.advances, 5);
    std::string too_long(32769, 'a');
    EXPECT_EQ(advances(too_long), nullptr);
    EXPECT_NE(advances(std::string(32768, 'a')), nullptr);
    EXPECT_EQ(calls.advances, 6);
}

TEST_F(AdvanceCache, TheLeastRecentlyUsedSmallRunMakesRoom) {
    auto run = [](int i) { return "run " + std::to_string(i); };
    for (int i = 0; i < 256; ++i) ASSERT_NE(advances(run(i)), nullptr);
    advances(run(0));  // just hit: survives
    AdvanceCacheCounters before = advanceCacheCounters();
    advances(run(256));
    advances(run(0));
    advances(run(1));  // evicted
    AdvanceCacheCounters after = advanceCacheCounters();
    EXPECT_EQ(after.misses - before.misses, 2u);
    EXPECT_EQ(after.hits - before.hits, 1u);
}

TEST_F(AdvanceCache, EveryPartOfTheKeyCounts) {
    advances("key");
    int measured = calls.advances;
    advances("key", 11);
    advances("key", 10, 4);
    TextMeasurer other = measurer;
    other.context = nullptr;
    textRunAdvances(&other, 1, "key", 10);
    EXPECT_EQ(calls.advances, measured + 2);
    AdvanceCacheCounters before = advanceCacheCounters();
    advances("key");
    EXPECT_EQ(advanceCacheCounters().hits, before.hits + 1);
    // A bumped generation makes every cached run miss once.
    testing::forgetCachedMeasurements();
    advances("key");
    advances("key");
    EXPECT_EQ(advanceCacheCounters().misses, before.misses + 1);
    EXPECT_EQ(advanceCacheCounters().hits, before.hits + 2);
}

float gBadAdvance = 0;

bool oneBadAdvance(void*, std::uint64_t, const char*, std::size_t length, float* out, std::size_t, float) {
    for (std::size_t i = 0; i < length; ++i) out[i] = 5.0f;
    out[length / 2] = gBadAdvance;
    return true;
}

bool failingAdvances(void*, std::uint64_t, const char*, std::size_t, float*, std::size_t, float) { return false; }

TEST_F(AdvanceCache, UnusableAdvancesLeaveTheSlotEmpty) {
    for (float bad : {-1.0f, std::nanf(""), INFINITY}) {
        gBadAdvance = bad;
        TextMeasurer broken{nullptr, &testing::fixedMeasureText, &oneBadAdvance};
        AdvanceCacheCounters before = advanceCacheCounters();
        EXPECT_EQ(textRunAdvances(&broken, 1, "abc", 10), nullptr);
        EXPECT_EQ(textRunAdvances(&broken, 1, "abc", 10), nullptr);
        EXPECT_EQ(advanceCacheCounters().misses, before.misses + 2);
    }
    TextMeasurer failing{nullptr, &testing::fixedMeasureText, &failingAdvances};
    EXPECT_EQ(textRunAdvances(&failing, 1, "abc", 10), nullptr);
    TextMeasurer widths_only = testing::widthOnlyMeasurer();
    EXPECT_EQ(textRunAdvances(&widths_only, 1, "abc", 10), nullptr);
}

TEST_F(AdvanceCache, LookingWithoutFillingMeasuresNothing) {
    EXPECT_EQ(textRunAdvancesHashed(&measurer, 1, "peek", textRunHash("peek"), 10, false), nullptr);
    EXPECT_EQ(calls.advances, 0);
    const float* filled = advances("peek");
    ASSERT_NE(filled, nullptr);
    EXPECT_EQ(textRunAdvancesHashed(&measurer, 1, "peek", textRunHash("peek"), 10, false), filled);
    EXPECT_EQ(filled[0], 10.0f);
}

}  // namespace
}  // namespace kelvo
