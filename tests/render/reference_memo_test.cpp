#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "test_surface.hpp"

namespace kelvo::testing {
namespace {

TEST(ReferenceMemo, ARedrawHitsAndAChangeWithinTheBlurReachMisses) {
    TestSurface target(40, 40);
    for (std::size_t i = 0; i < target.pixels.size(); ++i)
        target.pixels[i] = static_cast<std::uint8_t>(i * 37 + i / 160);
    const std::vector<std::uint8_t> original = target.pixels;
    auto memo = std::make_unique<ReferenceRenderMemo>();
    target.surface.memo = memo.get();
    // A blur of radius 3 over rows 16 .. 23 reads rows 13 .. 26.
    RenderCommand blur = plainRenderCommand(CanvasCommand::blurOf({1, {10, 16, 12, 8}, 3}));
    const Rect area{10, 16, 12, 8};
    ASSERT_TRUE(renderCommand(target.surface, blur, area));
    const std::vector<std::uint8_t> blurred = target.pixels;
    EXPECT_EQ(memo->misses, 1u);

    target.pixels = original;
    ASSERT_TRUE(renderCommand(target.surface, blur, area));
    EXPECT_EQ(memo->hits, 1u);
    EXPECT_EQ(target.pixels, blurred);

    // A pixel three rows above the area is read by the blur: the stored result no longer applies.
    target.pixels = original;
    target.pixels[(13 * 40 + 15) * 4] ^= 0xff;
    std::vector<std::uint8_t> changed = target.pixels;
    ASSERT_TRUE(renderCommand(target.surface, blur, area));
    EXPECT_EQ(memo->misses, 2u);
    EXPECT_NE(target.pixels, blurred);
    target.surface.memo = nullptr;  // the same result as drawing without a memo
    std::vector<std::uint8_t> memoised = target.pixels;
    target.pixels = changed;
    ASSERT_TRUE(renderCommand(target.surface, blur, area));
    EXPECT_EQ(target.pixels, memoised);

    // Four rows above is out of reach: still a hit.
    target.surface.memo = memo.get();
    target.pixels = original;
    target.pixels[(12 * 40 + 15) * 4] ^= 0xff;
    ASSERT_TRUE(renderCommand(target.surface, blur, area));
    EXPECT_EQ(memo->hits, 2u);
}

TEST(ReferenceMemo, TheEntryUsedLongestAgoMakesRoom) {
    // Each square on rows of its own, so that each one's background is its own rows.
    TestSurface target(8, 17 * 4);
    auto memo = std::make_unique<ReferenceRenderMemo>();
    target.surface.memo = memo.get();
    auto square = [](int i) {
        return plainRenderCommand(CanvasCommand::fillRect(
            {static_cast<std::uint64_t>(i + 1), Paint::solid({0, 0, 0, 1}), {0, static_cast<float>(i * 4), 3, 3}}));
    };
    auto drawOnWhite = [&](int i) {
        clearReferenceSurface(target.surface, {1, 1, 1, 1});
        ASSERT_TRUE(renderCommand(target.surface, square(i), std::nullopt));
    };
    for (int i = 0; i < 16; ++i) drawOnWhite(i);
    EXPECT_EQ(memo->misses, 16u);
    // Drawing the first again uses it; a seventeenth then replaces the second.
    drawOnWhite(0);
    EXPECT_EQ(memo->hits, 1u);
    drawOnWhite(16);
    drawOnWhite(0);
    EXPECT_EQ(memo->hits, 2u);
    drawOnWhite(1);
    EXPECT_EQ(memo->hits, 2u);
    // Areas below the minimum are drawn without asking the memo.
    memo->minimum_area = 10;
    std::uint64_t misses = memo->misses;
    drawOnWhite(5);
    EXPECT_EQ(memo->misses, misses);
    EXPECT_EQ(target.at(1, 21), (std::array<std::uint8_t, 4>{0, 0, 0, 255}));
}

TEST(ReferenceMemo, ImageCopiesStayWithinTheirLimits) {
    auto memo = std::make_unique<ReferenceRenderMemo>();
    std::vector<std::uint8_t> too_big((kImageScaleMaxPixels + 1) * 4);
    EXPECT_EQ(storeImageScale(*memo, {1}, too_big), nullptr);
    std::vector<std::uint8_t> largest(kImageScaleMaxPixels * 4, 7);  // 8 MiB
    for (std::uint64_t key = 1; key <= 7; ++key) ASSERT_NE(storeImageScale(*memo, {key}, largest), nullptr);
    // Six fit in 48 MiB: the seventh pushed out the first.
    EXPECT_EQ(memo->image_scale_bytes, 6 * largest.size());
    EXPECT_EQ(findImageScale(*memo, {1}), nullptr);
    ASSERT_NE(findImageScale(*memo, {2}), nullptr);
    EXPECT_EQ(findImageScale(*memo, {2})[0], 7);
    // Twelve small copies fill every entry; a thirteenth replaces the one used longest ago.
    auto small = std::make_unique<ReferenceRenderMemo>();
    std::vector<std::uint8_t> pixel(4, 1);
    for (std::uint64_t key = 1; key <= 12; ++key) ASSERT_NE(storeImageScale(*small, {key}, pixel), nullptr);
    ASSERT_NE(findImageScale(*small, {1}), nullptr);
    ASSERT_NE(storeImageScale(*small, {13}, pixel), nullptr);
    EXPECT_NE(findImageScale(*small, {1}), nullptr);
    EXPECT_EQ(findImageScale(*small, {2}), nullptr);
    EXPECT_EQ(oldestImageScaleEntry(*small).has_value(), true);
}

}  // namespace
}  // namespace kelvo::testing
