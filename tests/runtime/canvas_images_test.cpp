// Images registered with the runtime: held in its table (at most 16, their pixels within one
// store), uploaded to the platform's image store, drawn by the frames of every canvas view, and
// taken out of both again.

#include "runtime/canvas/canvas_images.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "render/render_fingerprints.hpp"
#include "runtime/canvas/canvas_frames.hpp"
#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_widget_tree.hpp"
#include "runtime/views/view_lookup.hpp"
#include "support/golden.hpp"
#include "view_scenario.hpp"

namespace kelvo {
namespace {

// w x h pixels, every byte `fill`.
std::vector<std::uint8_t> pixels(std::uint32_t w, std::uint32_t h, std::uint8_t fill) {
    return std::vector<std::uint8_t>(std::size_t{w} * h * 4, fill);
}

class CanvasImages : public testing::ViewScenario {
protected:
    void SetUp() override {
        ViewScenario::SetUp();
        create(gpuSurface("canvas"));
        index = *findViewIndex(*runtime, 1, "canvas");
        DrawImageCommand image;
        image.id = 5;
        image.image = 7;
        image.dst = {0, 0, 16, 16};
        const std::vector<CanvasCommand> list = {CanvasCommand::drawImage(image)};
        ASSERT_TRUE(copyCanvasDisplayList(*runtime, runtime->views[index], list));
        present();
        test.clearCalls();
    }

    // Plans and presents a frame; the frame stays valid until the next plan.
    CanvasFrame present() {
        CanvasFrameRequest request;
        request.frame_tag = ++tag;
        Result<CanvasFrame> frame = planCanvasFrameForView(*runtime, index, request, canvasFrameStorageForThread());
        EXPECT_TRUE(frame) << (frame ? "" : errorName(frame.error()));
        if (!frame) return {};
        EXPECT_TRUE(commitPresentedCanvasFrameForView(*runtime, index, *frame));
        return *frame;
    }

    // "id:width x height:first byte" of each registered image, in order.
    std::string registered() const {
        std::string out;
        for (const ReferenceImage& image : canvasImageResources(*runtime)) {
            out += (out.empty() ? "" : " ") + std::to_string(image.id) + ":" + std::to_string(image.width) + "x" +
                   std::to_string(image.height) + ":" + std::to_string(image.pixels.front());
        }
        return out;
    }

    std::size_t index = 0;
    std::uint64_t tag = 0;
};

TEST_F(CanvasImages, ARegisteredImageIsUploadedAndDrawnByTheNextWholeFrame) {
    CanvasFrame before = present();
    ASSERT_EQ(before.images.size(), 0u);  // nothing changed: the view's frame had nothing new

    ASSERT_TRUE(registerCanvasImage(*runtime, 7, 2, 3, pixels(2, 3, 200)));
    EXPECT_EQ(registered(), "7:2x3:200");
    ASSERT_EQ(test.callCount(PlatformSlot::uploadGpuSurfaceImage), 1u);
    EXPECT_NE(test.lastCall(PlatformSlot::uploadGpuSurfaceImage)->args.find("size=2x3"), std::string::npos);
    // Every canvas view draws its next frame whole, and asked for it.
    EXPECT_TRUE(runtime->views[index].canvas.fullFrameDue);
    EXPECT_EQ(test.callCount(PlatformSlot::requestGpuSurfaceFrame), 1u);

    const CanvasFrame frame = present();
    EXPECT_TRUE(frame.full_repaint);
    ASSERT_EQ(frame.images.size(), 1u);
    EXPECT_TRUE(frame.images[0].found);
    EXPECT_EQ(frame.images[0].width, 2u);
    ASSERT_EQ(frame.image_resources.size(), 1u);
    EXPECT_EQ(frame.image_resources[0].pixels.size(), 24u);

    ASSERT_TRUE(removeCanvasImage(*runtime, 7));
    EXPECT_EQ(registered(), "");
    EXPECT_EQ(test.callCount(PlatformSlot::removeGpuSurfaceImage), 1u);
    EXPECT_FALSE(present().images[0].found);
    EXPECT_EQ(removeCanvasImage(*runtime, 7).error(), Error::CanvasImageNotFound);
}

TEST_F(CanvasImages, TheSeventeenthImageFailsAndChangesNothing) {
    for (std::uint64_t id = 1; id <= kMaxCanvasImages; ++id) {
        ASSERT_TRUE(registerCanvasImage(*runtime, id, 1, 1, pixels(1, 1, static_cast<std::uint8_t>(id))));
    }
    const std::string sixteen = registered();
    test.clearCalls();
    runtime->views[index].canvas.fullFrameDue = false;

    EXPECT_EQ(registerCanvasImage(*runtime, 17, 1, 1, pixels(1, 1, 17)).error(), Error::CanvasImageLimitReached);
    EXPECT_EQ(registered(), sixteen);
    EXPECT_EQ(test.callCount(PlatformSlot::uploadGpuSurfaceImage), 0u);
    EXPECT_FALSE(runtime->views[index].canvas.fullFrameDue);
    // Replacing one of the sixteen is not a seventeenth.
    EXPECT_TRUE(registerCanvasImage(*runtime, 16, 1, 1, pixels(1, 1, 99)));
    EXPECT_EQ(canvasImageResources(*runtime).size(), kMaxCanvasImages);
}

TEST_F(CanvasImages, MalformedImagesAreRefusedAsTheTableSays) {
    ASSERT_TRUE(registerCanvasImage(*runtime, 9, 1, 1, pixels(1, 1, 5)));
    test.clearCalls();
    for (const std::string& line : testing::readLines("runtime/canvas_image_refusals.txt")) {
        std::istringstream in(line);
        std::uint64_t id = 0;
        std::uint32_t width = 0, height = 0;
        std::size_t bytes = 0;
        std::string arrow, error;
        in >> id >> width >> height >> bytes >> arrow >> error;
        const Status status = registerCanvasImage(*runtime, id, width, height, std::vector<std::uint8_t>(bytes, 1));
        ASSERT_FALSE(status) << line;
        EXPECT_EQ(errorName(status.error()), error) << line;
    }
    EXPECT_EQ(registered(), "9:1x1:5");
    EXPECT_EQ(test.callCount(PlatformSlot::uploadGpuSurfaceImage), 0u);
}

TEST_F(CanvasImages, TheStoreKeepsEveryImagesPixelsThroughReplacementsAndRemovals) {
    // Two images of 16 MiB fill the store: a third finds no room, whatever its size.
    ASSERT_TRUE(registerCanvasImage(*runtime, 1, 2048, 2048, pixels(2048, 2048, 1)));
    ASSERT_TRUE(registerCanvasImage(*runtime, 2, 2048, 2048, pixels(2048, 2048, 2)));
    EXPECT_EQ(registerCanvasImage(*runtime, 3, 1, 1, pixels(1, 1, 3)).error(), Error::CanvasImageLimitReached);
    // Replacing one frees its room first; the other's pixels move down and stay whole.
    ASSERT_TRUE(registerCanvasImage(*runtime, 1, 2, 2, pixels(2, 2, 11)));
    ASSERT_TRUE(registerCanvasImage(*runtime, 3, 4, 4, pixels(4, 4, 3)));
    EXPECT_EQ(registered(), "2:2048x2048:2 1:2x2:11 3:4x4:3");
    ASSERT_TRUE(removeCanvasImage(*runtime, 2));
    EXPECT_EQ(registered(), "1:2x2:11 3:4x4:3");
    for (const ReferenceImage& image : canvasImageResources(*runtime)) {
        const std::uint8_t first = image.pixels.front();
        EXPECT_EQ(std::count(image.pixels.begin(), image.pixels.end(), first),
                  static_cast<std::ptrdiff_t>(image.pixels.size()))
            << image.id;
    }
}

// The largest image the store holds, 4,096 x 2,048 (32 MiB): registered, its frames carry the
// fingerprint of its pixels byte for byte, taken when it was registered: the image cannot change in
// place, so no frame hashes its 32 MiB again. One row more is too large and changes nothing.
TEST_F(CanvasImages, AnImageOfTheStoresWholeSizeIsFingerprintedOnceWhenRegistered) {
    std::vector<std::uint8_t> rgba = pixels(4096, 2048, 0);
    for (std::size_t i = 0; i < rgba.size(); i += 4099) rgba[i] = static_cast<std::uint8_t>(i >> 7);
    ASSERT_EQ(rgba.size(), kCanvasImageStoreBytes);
    const std::uint64_t expected = renderImageFingerprintForResource(7, ImagePixels{4096, 2048, rgba});
    ASSERT_TRUE(registerCanvasImage(*runtime, 7, 4096, 2048, rgba));
    EXPECT_EQ(present().images[0].fingerprint, expected);
    EXPECT_EQ(registerCanvasImage(*runtime, 8, 4096, 2049, pixels(4096, 2049, 1)).error(), Error::ImageTooLarge);
    EXPECT_EQ(registered(), "7:4096x2048:0");

    // What a frame reads is the registered fingerprint, not the pixels as they lie now.
    runtime->canvasImages.store[0] ^= 0xff;
    runtime->views[index].canvas.fullFrameDue = true;
    EXPECT_EQ(present().images[0].fingerprint, expected);
    // Registering the id again takes the new pixels' fingerprint.
    const std::vector<std::uint8_t> small = pixels(2, 2, 9);
    ASSERT_TRUE(registerCanvasImage(*runtime, 7, 2, 2, small));
    EXPECT_EQ(present().images[0].fingerprint, renderImageFingerprintForResource(7, ImagePixels{2, 2, small}));
}

TEST_F(CanvasImages, ThePlatformsImageStoreDecidesWhatItHolds) {
    // A store that refuses: the runtime keeps nothing either.
    test.failSlot(PlatformSlot::uploadGpuSurfaceImage, Error::InvalidGpuSurfaceImage, 1);
    EXPECT_EQ(registerCanvasImage(*runtime, 7, 1, 1, pixels(1, 1, 1)).error(), Error::InvalidGpuSurfaceImage);
    EXPECT_EQ(registered(), "");
    // A platform without an image store: the runtime's own drawing still has the image.
    test.failSlot(PlatformSlot::uploadGpuSurfaceImage, Error::UnsupportedService, 1);
    EXPECT_TRUE(registerCanvasImage(*runtime, 7, 1, 1, pixels(1, 1, 1)));
    emptySlot(PlatformSlot::uploadGpuSurfaceImage);
    EXPECT_TRUE(registerCanvasImage(*runtime, 8, 1, 1, pixels(1, 1, 2)));
    EXPECT_EQ(registered(), "7:1x1:1 8:1x1:2");
    // A removal the store refuses leaves the image registered.
    test.failSlot(PlatformSlot::removeGpuSurfaceImage, Error::InvalidGpuSurfaceImage, 1);
    EXPECT_EQ(removeCanvasImage(*runtime, 7).error(), Error::InvalidGpuSurfaceImage);
    EXPECT_EQ(registered(), "7:1x1:1 8:1x1:2");
}

}  // namespace
}  // namespace kelvo
