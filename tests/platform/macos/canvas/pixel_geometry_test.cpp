#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/macos/canvas/compositor_private.hpp"
#include "platform/macos/canvas/packet_geometry.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

std::vector<double> numbers(const std::string& text) {
    std::vector<double> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        if (word == ";") continue;
        if (!word.empty() && word.back() == ';') word.pop_back();
        out.push_back(std::stod(word));
    }
    return out;
}

std::vector<PacketRect> rectsOf(const std::vector<double>& v, std::size_t from) {
    std::vector<PacketRect> rects;
    for (std::size_t i = from; i + 3 < v.size(); i += 4)
        rects.push_back(PacketRect{v[i], v[i + 1], v[i + 2], v[i + 3]});
    return rects;
}

TEST(CanvasPixelGeometry, TableCases) {
    std::ifstream in(testing::dataPath("platform/canvas/pixel_geometry.txt"));
    ASSERT_TRUE(in);
    int cases = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        std::size_t arrow = line.find("->");
        std::string op = line.substr(0, line.find(' '));
        std::string input = line.substr(op.size(), arrow - op.size());
        std::string expected = line.substr(arrow + 2);
        std::vector<double> v = numbers(input);
        if (op == "size") {
            std::optional<CanvasPixelSize> size = canvasPixelSize(v[0], v[1], v[2]);
            if (expected.find("reject") != std::string::npos) {
                EXPECT_FALSE(size.has_value());
            } else {
                std::vector<double> e = numbers(expected);
                ASSERT_TRUE(size.has_value());
                EXPECT_EQ(size->width, e[0]);
                EXPECT_EQ(size->height, e[1]);
            }
        } else if (op == "align") {
            PacketRect r = alignRectToPixels(static_cast<std::uint32_t>(v[0]), static_cast<std::uint32_t>(v[1]),
                                             PacketRect{v[2], v[3], v[4], v[5]}, v[6]);
            std::vector<double> e = numbers(expected);
            EXPECT_EQ(r, (PacketRect{e[0], e[1], e[2], e[3]}));
        } else if (op == "regions") {
            std::vector<PacketRect> dirty = rectsOf(v, 3);
            CompositeFrame frame;
            frame.scale = v[0];
            frame.pixelWidth = static_cast<std::uint32_t>(v[1]);
            frame.pixelHeight = static_cast<std::uint32_t>(v[2]);
            frame.hasScissor = true;
            frame.fullSurfacePass = false;
            frame.scissor = PacketRect{0, 0, v[1], v[2]};
            frame.dirtyRects = dirty;
            std::vector<PixelGridRect> regions = composite::repaintRegions(frame, true);
            std::vector<double> e = numbers(expected);
            ASSERT_EQ(regions.size() * 4, e.size());
            for (std::size_t i = 0; i < regions.size(); ++i) {
                EXPECT_EQ(regions[i],
                          (PixelGridRect{static_cast<std::uint32_t>(e[4 * i]), static_cast<std::uint32_t>(e[4 * i + 1]),
                                         static_cast<std::uint32_t>(e[4 * i + 2]),
                                         static_cast<std::uint32_t>(e[4 * i + 3])}));
            }
        } else {
            ADD_FAILURE() << "unknown case";
        }
        ++cases;
    }
    EXPECT_GT(cases, 15);
}

TEST(CanvasPixelGeometry, PassFlagsOfEachLoadAction) {
    // clear redraws everything; load draws over the kept canvas; patch is full only without a scissor.
    EXPECT_TRUE(passFlagsFor(PacketLoadAction::clear, true).fullSurfacePass);
    EXPECT_FALSE(passFlagsFor(PacketLoadAction::clear, true).directRetainedDirtyUpdate);
    EXPECT_FALSE(passFlagsFor(PacketLoadAction::load, false).fullSurfacePass);
    EXPECT_FALSE(passFlagsFor(PacketLoadAction::load, false).directRetainedDirtyUpdate);
    EXPECT_TRUE(passFlagsFor(PacketLoadAction::load, true).directRetainedDirtyUpdate);
    EXPECT_TRUE(passFlagsFor(PacketLoadAction::patch, false).fullSurfacePass);
    EXPECT_FALSE(passFlagsFor(PacketLoadAction::patch, true).fullSurfacePass);
    EXPECT_TRUE(passFlagsFor(PacketLoadAction::patch, true).directRetainedDirtyUpdate);
}

}  // namespace
}  // namespace kelvo
