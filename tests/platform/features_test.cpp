#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/types/platform.hpp"
#include "support/golden.hpp"
#include "support/test_platform.hpp"

namespace kelvo {
namespace {

using F = PlatformFeature;

// Each feature's name and derivation rule, from tests/data/platform/features.txt.
TEST(PlatformFeatures, NamesAndDerivationFromFilledSlots) {
    const auto rows = testing::readTable("platform/features.txt");
    ASSERT_EQ(rows.size(), kPlatformFeatureCount);
    TestPlatform test;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto feature = static_cast<PlatformFeature>(i);
        const std::string& rule = rows[i][1];
        std::vector<PlatformSlot> slots;
        for (std::size_t k = 2; k < rows[i].size(); ++k) slots.push_back(*platformSlotFromName(rows[i][k]));
        SCOPED_TRACE(rows[i][0]);
        EXPECT_EQ(platformFeatureName(feature), rows[i][0]);
        EXPECT_EQ(platformFeatureFromName(rows[i][0]), feature);

        test.emptyAllSlots();
        EXPECT_FALSE(supports(test.platform(), feature));
        for (PlatformSlot slot : slots) test.fillSlot(slot);
        EXPECT_EQ(supports(test.platform(), feature), rule != "never");
        test.fillAllSlots();
        EXPECT_EQ(supports(test.platform(), feature), rule != "never");
        for (PlatformSlot slot : slots) {
            test.emptyAllSlots();
            test.fillSlot(slot);
            EXPECT_EQ(supports(test.platform(), feature), rule == "any") << platformSlotName(slot);
            test.fillAllSlots();
            test.emptySlot(slot);
            EXPECT_EQ(supports(test.platform(), feature), rule == "any" && slots.size() > 1) << platformSlotName(slot);
        }
    }
    EXPECT_FALSE(platformFeatureFromName("mainWebview").has_value());
}

struct FeatureAnswers {
    bool answer = false;
    std::vector<PlatformFeature> asked;
};

bool answerFeature(void* context, PlatformFeature feature) {
    auto* answers = static_cast<FeatureAnswers*>(context);
    answers->asked.push_back(feature);
    return answers->answer;
}

TEST(PlatformFeatures, BackendAnswerAloneDecides) {
    for (bool answer : {true, false}) {
        FeatureAnswers answers{answer, {}};
        TestPlatform test;
        Platform platform = test.platform();
        platform.context = &answers;
        platform.supportsFeature = &answerFeature;
        if (answer) platform.slots = PlatformSlots{};
        for (std::size_t i = 0; i < kPlatformFeatureCount; ++i) {
            EXPECT_EQ(supports(platform, static_cast<PlatformFeature>(i)), answer) << i;
        }
        EXPECT_EQ(answers.asked.size(), kPlatformFeatureCount);
    }
}

TEST(PlatformFeatures, OutOfRangeValuesAreRefused) {
    FeatureAnswers answers{true, {}};
    Platform platform;
    platform.context = &answers;
    platform.supportsFeature = &answerFeature;
    EXPECT_FALSE(supports(platform, static_cast<PlatformFeature>(24)));
    EXPECT_FALSE(supports(platform, static_cast<PlatformFeature>(255)));
    EXPECT_TRUE(answers.asked.empty());
    EXPECT_EQ(platformFeatureName(static_cast<PlatformFeature>(24)), "");
    EXPECT_EQ(platformFeatureFromNumber(23).value(), F::audio_spectrum);
    EXPECT_EQ(platformFeatureFromNumber(24).error(), Error::InvalidPlatformFeature);
    EXPECT_EQ(platformFeatureFromNumber(~0ull).error(), Error::InvalidPlatformFeature);
}

}  // namespace
}  // namespace kelvo
