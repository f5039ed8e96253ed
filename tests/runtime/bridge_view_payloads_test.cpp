#include "runtime/bridge/view_payloads.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "support/golden.hpp"

namespace kelvo {
namespace {

std::string describe(const Result<std::optional<RectF>>& frame) {
    if (!frame) return std::string(errorName(frame.error()));
    if (!*frame) return "none";
    std::ostringstream text;
    text << (*frame)->x << "," << (*frame)->y << "," << (*frame)->width << "," << (*frame)->height;
    return text.str();
}

TEST(ViewPayloads, FramesReadAsTheirTableSays) {
    for (const std::string& line : testing::readLines("bridge/view_frames.txt")) {
        std::size_t first = line.find(' ');
        std::size_t second = line.find(' ', first + 1);
        const std::string reader = line.substr(0, first);
        const std::string payload = line.substr(second + 1);
        Result<std::optional<RectF>> frame = viewFrameFromJson(payload, false);
        if (reader == "webview") {
            Result<RectF> read = webViewFrameFromJson(payload);
            frame = read ? Result<std::optional<RectF>>(*read) : fail(read.error());
        }
        EXPECT_EQ(describe(frame), line.substr(first + 1, second - first - 1)) << line;
    }
    EXPECT_EQ(describe(viewFrameFromJson("{}", true)), "InvalidViewOptions");
}

class CreateOptions : public ::testing::Test {
protected:
    Result<ViewOptions> read(std::string_view payload) { return viewCreateOptionsFromJson(payload, 4, scratch); }

    std::vector<char> area = std::vector<char>(4096);
    PayloadScratch scratch{area};
};

// A pair of member names: the second is read only when the first reads as absent.
TEST_F(CreateOptions, TakeTheSecondNameOfAPairOnlyWhenTheFirstIsAbsent) {
    Result<ViewOptions> options = read(
        R"({"label":"c","kind":"gpuSurface","gpuBackend":3,"gpu_backend":"software","gpuPixelFormat":"none","gpu_vsync":false,"gpuAlphaMode":null,"gpu_alpha_mode":"premultiplied","gpu_color_space":"display_p3","accessibilityLabel":7,"accessibility_label":"Chart","visible":"false","transparent":true})");
    ASSERT_TRUE(options);
    ViewOptions expected;
    expected.windowId = 4;
    expected.label = "c";
    expected.kind = ViewKind::gpu_surface;
    expected.accessibilityLabel = "Chart";
    expected.transparent = true;
    expected.gpu = GpuSurfaceOptions{GpuBackend::software,        GpuPixelFormat::none,      GpuPresentMode::timer,
                                     GpuAlphaMode::premultiplied, GpuColorSpace::display_p3, false};
    EXPECT_EQ(*options, expected);

    options = read(R"({"label":"b","kind":"button","accessibilityLabel":"A","accessibility_label":"B","layer":2.0})");
    ASSERT_TRUE(options);
    EXPECT_EQ(options->accessibilityLabel, "A");
    EXPECT_EQ(options->layer, 2);
    EXPECT_EQ(options->gpu, (GpuSurfaceOptions{GpuBackend::metal, GpuPixelFormat::bgra8_unorm, GpuPresentMode::timer,
                                               GpuAlphaMode::opaque, GpuColorSpace::srgb, true}));
}

// A decoded text that does not fit in what is left of the scratch area is its field's "too large"
// error: taking it as missing would create the view without it.
TEST_F(CreateOptions, ATextThatDoesNotFitTheScratchIsItsFieldsTooLargeError) {
    const std::string text = "\\n" + std::string(4096, 't');
    Result<ViewOptions> options = read(R"({"label":"b","kind":"button","text":")" + text + R"("})");
    ASSERT_FALSE(options);
    EXPECT_EQ(options.error(), Error::ViewTextTooLarge);
    Result<ViewUpdateRequest> update = viewUpdateFromJson(R"({"label":"b","url":")" + text + R"("})", 4, scratch);
    ASSERT_FALSE(update);
    EXPECT_EQ(update.error(), Error::WebViewUrlTooLarge);
}

TEST_F(CreateOptions, KnowEveryKindByNameAndTheCamelCaseAliases) {
    const std::pair<std::string_view, ViewKind> names[] = {
        {"titlebarAccessory", ViewKind::titlebar_accessory},
        {"listItem", ViewKind::list_item},
        {"segmentedControl", ViewKind::segmented_control},
        {"textField", ViewKind::text_field},
        {"searchField", ViewKind::search_field},
        {"progressIndicator", ViewKind::progress_indicator},
        {"spacer", ViewKind::spacer},
        {"icon_button", ViewKind::icon_button},
    };
    for (const auto& [name, kind] : names) EXPECT_EQ(viewKindFromPayloadName(name), kind) << name;
    for (std::string_view unknown : {"Toolbar", "iconbutton", "icon-button", "", "webView"}) {
        EXPECT_EQ(viewKindFromPayloadName(unknown), std::nullopt) << unknown;
    }
}

}  // namespace
}  // namespace kelvo
