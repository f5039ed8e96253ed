// The icon set as the build converts it from the vendored SVG files.

#include "widgets/vector_icons.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "widgets/commands.hpp"

namespace kelvo {
namespace {

std::string elementsText(std::span<const PathElement> elements) {
    static const char* const kVerbs = "MLQCZ";
    std::string text;
    for (const PathElement& e : elements) {
        text += kVerbs[pathVerbBits(e.verb)];
        for (int i = 0; i < pathVerbPointCount(e.verb); ++i) {
            char point[48];
            std::snprintf(point, sizeof point, " %g,%g", e.points[i].x, e.points[i].y);
            text += point;
        }
        text += ";";
    }
    return text;
}

// Every icon is one outline in the caller's colour, 2 units wide with round caps, that stays in
// its 24 x 24 box (a round cap may reach 1 unit past its end point).
TEST(VectorIcons, AreSingleOutlinesInsideTheirBox) {
    ASSERT_EQ(vectorIconEntries().size(), 50u);
    std::vector<const VectorIcon*> icons{&missingVectorIcon()};
    for (const VectorIconEntry& entry : vectorIconEntries()) {
        ASSERT_NE(entry.icon, nullptr) << entry.name;
        icons.push_back(entry.icon);
    }
    for (const VectorIcon* icon : icons) {
        ASSERT_EQ(icon->paths.size(), 1u);
        const VectorIconPath& path = icon->paths[0];
        EXPECT_EQ(path.stroke_mode, IconPaintMode::caller);
        EXPECT_EQ(path.fill_mode, IconPaintMode::none);
        EXPECT_EQ(path.stroke_width, 2);
        EXPECT_TRUE(path.round_cap);
        EXPECT_EQ(path.first + path.count, icon->elements.size());
        EXPECT_EQ(pathVerbBits(icon->elements[0].verb), pathVerbBits(PathVerb::move_to));
        StrokePathCommand stroke{1, icon->elements, Stroke{Paint::solid({}), 0}, LineCap::round};
        const std::optional<Rect> bounds = canvasCommandBounds(CanvasCommand::strokePath(stroke));
        ASSERT_TRUE(bounds);
        EXPECT_GE(bounds->x, 0);
        EXPECT_GE(bounds->y, 0);
        EXPECT_LE(bounds->x + bounds->width, 24);
        EXPECT_LE(bounds->y + bounds->height, 24);
    }
}

TEST(VectorIcons, ConvertLinesRelativeCommandsAndCircles) {
    EXPECT_EQ(elementsText(lookupVectorIcon("x")->elements), "M 18,6;L 6,18;M 6,6;L 18,18;");
    // A circle of radius 10 as four quarter cubics, then "M12 6v6l4 2".
    const std::string clock = elementsText(lookupVectorIcon("clock")->elements);
    EXPECT_EQ(clock.substr(0, 8), "M 22,12;");
    for (const char* end : {" 12,22;", " 2,12;", " 12,2;", " 22,12;Z;M 12,6;L 12,12;L 16,14;"}) {
        EXPECT_NE(clock.find(end), std::string::npos) << end << " in " << clock;
    }
    EXPECT_EQ(lookupVectorIcon("app:x"), nullptr);
    EXPECT_EQ(lookupVectorIcon("Search"), nullptr);
    EXPECT_EQ(&vectorIconOrMissing("nope"), &missingVectorIcon());
}

}  // namespace
}  // namespace kelvo
