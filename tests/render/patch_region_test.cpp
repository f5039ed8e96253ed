#include "render/patch_region.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "render/render_command.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

std::optional<Rect> parseRect(const std::string& text) {
    if (text == "none") return std::nullopt;
    Rect rect;
    char comma = 0;
    std::istringstream in(text);
    in >> rect.x >> comma >> rect.y >> comma >> rect.width >> comma >> rect.height;
    if (text.rfind("nan", 0) == 0) rect.x = NAN;
    return rect;
}

std::string show(const std::optional<Rect>& rect) {
    if (!rect) return "none";
    std::ostringstream out;
    out << rect->x << "," << rect->y << "," << rect->width << "," << rect->height;
    return out.str();
}

TEST(PatchRegions, ClippingAndAddingFollowTheTable) {
    for (const auto& row : testing::readTable("render/patch_rects.txt")) {
        std::string line;
        for (const auto& cell : row) line += cell + " ";
        SCOPED_TRACE(line);
        if (row[0] == "clip") {
            ASSERT_EQ(row.size(), 5u);
            EXPECT_EQ(show(clippedCanvasDirtyBounds(parseRect(row[1]), std::stof(row[2]), std::stof(row[3]))), row[4]);
            continue;
        }
        CanvasPacketPatchDirty region;
        std::size_t at = 1;
        for (; row[at] != "->"; ++at) region.add(*parseRect(row[at]));
        std::vector<std::string> rects;
        for (++at; row[at] != "|"; ++at) rects.push_back(row[at]);
        ASSERT_EQ(region.count, rects.size());
        for (std::size_t i = 0; i < rects.size(); ++i) EXPECT_EQ(show(region.rects[i]), rects[i]);
        EXPECT_EQ(show(region.bound), row[at + 1]);
    }
}

KeyedGpuCommand keyed(std::uint64_t key, std::uint64_t fingerprint, float x) {
    return {key, fingerprint, 0, {x, 0, 10, 10}};
}

struct Previous {
    std::vector<std::uint64_t> keys;
    std::vector<std::uint64_t> fingerprints;
    std::vector<Rect> bounds;

    explicit Previous(const std::vector<KeyedGpuCommand>& list) {
        for (const KeyedGpuCommand& entry : list) {
            keys.push_back(entry.key);
            fingerprints.push_back(entry.fingerprint);
            bounds.push_back(entry.bounds);
        }
    }
    [[nodiscard]] KeyedGpuCommandArrays arrays() const { return {keys, fingerprints, bounds}; }
};

std::vector<std::string> rectsOf(const CanvasPacketPatch& patch) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < patch.dirty.count; ++i) out.push_back(show(patch.dirty.rects[i]));
    return out;
}

TEST(PatchRegions, ComparisonAddsWhatChangedAppearedOrVanished) {
    const Previous before({keyed(30, 1, 0), keyed(10, 1, 20), keyed(20, 1, 40), keyed(40, 1, 60)});
    // 30 unchanged, 10 changed and moved, 20 vanished, 50 appeared, 40 unchanged.
    const std::vector<KeyedGpuCommand> now = {keyed(30, 1, 0), keyed(10, 2, 80), keyed(50, 1, 100), keyed(40, 1, 60)};
    CanvasPacketPatch patch = canvasPacketPatchDirtyBounds(before.arrays(), now);
    ASSERT_TRUE(patch.valid);
    EXPECT_EQ(rectsOf(patch), (std::vector<std::string>{"20,0,10,10", "80,0,10,10", "100,0,10,10", "40,0,10,10"}));
    EXPECT_EQ(show(patch.dirty.bound), "20,0,90,10");

    // Two unchanged commands drawn in the other order cannot keep their pixels.
    const std::vector<KeyedGpuCommand> swapped = {keyed(40, 1, 60), keyed(30, 1, 0)};
    const Previous pair({keyed(30, 1, 0), keyed(40, 1, 60)});
    patch = canvasPacketPatchDirtyBounds(pair.arrays(), swapped);
    EXPECT_FALSE(patch.valid);
    EXPECT_EQ(patch.dirty.count, 0u);

    // Nothing before: everything now is new; nothing now: everything before vanished.
    EXPECT_EQ(rectsOf(canvasPacketPatchDirtyBounds(Previous({}).arrays(), swapped)).size(), 2u);
    EXPECT_EQ(rectsOf(canvasPacketPatchDirtyBounds(pair.arrays(), {})).size(), 2u);
    // Unchanged throughout: a valid patch with no bound.
    patch = canvasPacketPatchDirtyBounds(pair.arrays(), std::vector{keyed(30, 1, 0), keyed(40, 1, 60)});
    EXPECT_TRUE(patch.valid);
    EXPECT_FALSE(patch.dirty.bound);
}

TEST(PatchRegions, GatheringKeysVisibleCommandsAndRefusesLayerCommands) {
    std::vector<RenderCommand> commands(3);
    commands[0].command = CanvasCommand::fillRect({16, Paint::solid({1, 0, 0, 1}), {0, 0, 10, 10}});
    commands[0].id = 16;
    commands[0].bounds = {0, 0, 10, 10};
    commands[1] = commands[0];
    commands[1].id.reset();  // anonymous: keyed by kind and fingerprint
    commands[2] = commands[0];
    commands[2].bounds = {150, 0, 10, 10};  // outside the surface
    std::vector<KeyedGpuCommand> out(4);
    std::optional<std::size_t> count = gatherCanvasPacketCurrentCommandsFromPlan(commands, 100, 100, std::nullopt, out);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(out[0].key, 16u);
    EXPECT_NE(out[1].key, 16u);
    EXPECT_EQ(out[1].index, 1u);

    // Without a surface the fallback area decides what is visible.
    EXPECT_EQ(gatherCanvasPacketCurrentCommandsFromPlan(commands, 0, 0, Rect{140, 0, 50, 50}, out), 1u);
    EXPECT_FALSE(gatherCanvasPacketCurrentCommandsFromPlan(commands, 0, 0, std::nullopt, out));
    // More visible commands than room, or a layer command among them: no patch.
    EXPECT_FALSE(gatherCanvasPacketCurrentCommandsFromPlan(commands, 100, 100, std::nullopt, std::span(out).first(1)));
    commands[1].command = CanvasCommand::pushClip({1, {0, 0, 5, 5}, {}});
    EXPECT_FALSE(gatherCanvasPacketCurrentCommandsFromPlan(commands, 100, 100, std::nullopt, out));
}

}  // namespace
}  // namespace kelvo
