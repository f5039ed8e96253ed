// The dock icon: the shape it gives an opaque image, the images it takes as they are, and the
// thread that hands it to the host.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <numbers>
#include <thread>
#include <vector>

#include "app/app_icon.hpp"
#include "app/dock_icon_thread.hpp"
#include "raster/png.hpp"

namespace kelvo {
namespace {

using Pixel = std::array<std::uint8_t, 4>;
using PixelFn = std::function<Pixel(std::uint64_t x, std::uint64_t y)>;

std::vector<std::uint8_t> pngOf(std::uint64_t width, std::uint64_t height, const PixelFn& pixel) {
    std::vector<std::uint8_t> rgba;
    for (std::uint64_t y = 0; y < height; ++y) {
        for (std::uint64_t x = 0; x < width; ++x) {
            Pixel p = pixel(x, y);
            rgba.insert(rgba.end(), p.begin(), p.end());
        }
    }
    auto file = encodePng(width, height, rgba);
    EXPECT_TRUE(file);
    return {file->data.get(), file->data.get() + file->size};
}

Pixel at(const Rgba8Image& image, std::uint64_t x, std::uint64_t y) {
    const std::uint8_t* p = image.pixels.get() + 4 * (y * image.width + x);
    return {p[0], p[1], p[2], p[3]};
}

// Transparent corners make an image "shaped"; the rest has varied colours and alphas.
Pixel shapedPixel(std::uint64_t x, std::uint64_t y, std::uint64_t side) {
    bool corner = (x < 8 || x + 8 >= side) && (y < 8 || y + 8 >= side);
    if (corner) return {static_cast<std::uint8_t>(x), 200, 9, 0};
    return {static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 3), static_cast<std::uint8_t>(x ^ y),
            static_cast<std::uint8_t>(x % 3 == 0 ? 255 : (x + y) % 256)};
}

TEST(DockIcon, AnOpaqueImageBecomesARoundedSquareWithAMargin) {
    auto icon = renderDockIcon(pngOf(300, 300, [](auto, auto) { return Pixel{200, 40, 90, 255}; }));
    ASSERT_TRUE(icon);
    ASSERT_EQ(icon->width, kDockIconSide);
    ASSERT_EQ(icon->height, kDockIconSide);
    EXPECT_EQ(at(*icon, 0, 0), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(at(*icon, 100, 100), (Pixel{0, 0, 0, 0}));
    EXPECT_EQ(at(*icon, 512, 512), (Pixel{200, 40, 90, 255}));
    EXPECT_EQ(at(*icon, 512, 101), (Pixel{200, 40, 90, 255}));
    // The margin is 100 pixels on every side.
    for (auto [x, y] : {std::pair{99, 512}, {924, 512}, {512, 99}, {512, 924}}) EXPECT_EQ(at(*icon, x, y)[3], 0);
    for (auto [x, y] : {std::pair{100, 512}, {923, 512}, {512, 100}, {512, 923}}) EXPECT_EQ(at(*icon, x, y)[3], 255);
    // The corner is a circular arc of radius 185.4 around (285.4, 285.4). It crosses the diagonal at
    // 154.3, where the tangent leaves 82% of pixel (154, 154) inside.
    double offset = 185.4 / std::numbers::sqrt2;
    auto onArc = static_cast<std::uint64_t>(285.4 - offset);
    EXPECT_NEAR(at(*icon, onArc, onArc)[3], 0.82 * 255, 8);
    EXPECT_EQ(at(*icon, onArc - 2, onArc - 2)[3], 0);
    EXPECT_EQ(at(*icon, onArc + 2, onArc + 2)[3], 255);
}

TEST(DockIcon, OneTransparentCornerDoesNotMakeAnImageShaped) {
    for (auto [cx, cy] : {std::pair<std::uint64_t, std::uint64_t>{0, 0}, {63, 0}, {0, 63}, {63, 63}}) {
        auto icon = renderDockIcon(pngOf(64, 64, [&, cx = cx, cy = cy](std::uint64_t x, std::uint64_t y) {
            return Pixel{10, 20, 30, static_cast<std::uint8_t>(x == cx && y == cy ? 0 : 255)};
        }));
        ASSERT_TRUE(icon);
        EXPECT_EQ(at(*icon, 50, 512)[3], 0) << cx << "," << cy;
        EXPECT_EQ(at(*icon, 512, 512), (Pixel{10, 20, 30, 255})) << cx << "," << cy;
    }
}

TEST(DockIcon, TheMaskCoversTheAreaOfTheRoundedSquare) {
    auto mask = macosMaskCoverage(kDockIconSide);
    ASSERT_TRUE(mask);
    double sum = 0;
    for (std::uint64_t i = 0; i < kDockIconSide * kDockIconSide; ++i) sum += (*mask)[i];
    double r = 185.4;
    // Flattening the arcs into chords within a quarter pixel costs a little area.
    EXPECT_NEAR(sum, 824.0 * 824.0 - (4 - std::numbers::pi) * r * r, 300.0);
    // Left-right and top-bottom symmetric.
    for (std::uint64_t y = 0; y < kDockIconSide; y += 37) {
        for (std::uint64_t x = 0; x < kDockIconSide; x += 13) {
            float value = (*mask)[y * kDockIconSide + x];
            EXPECT_NEAR(value, (*mask)[y * kDockIconSide + kDockIconSide - 1 - x], 0.02f) << x << "," << y;
            EXPECT_NEAR(value, (*mask)[(kDockIconSide - 1 - y) * kDockIconSide + x], 0.02f) << x << "," << y;
        }
    }
}

TEST(DockIcon, AShapedImageIsTakenAsItIs) {
    auto pixel = [](std::uint64_t x, std::uint64_t y) { return shapedPixel(x, y, kDockIconSide); };
    auto icon = renderDockIcon(pngOf(kDockIconSide, kDockIconSide, pixel));
    ASSERT_TRUE(icon);
    int differences = 0;
    for (std::uint64_t y = 0; y < kDockIconSide; ++y) {
        for (std::uint64_t x = 0; x < kDockIconSide; ++x) {
            Pixel expected = pixel(x, y);
            // Without alpha there is no colour to keep.
            if (expected[3] == 0) expected = {0, 0, 0, 0};
            Pixel got = at(*icon, x, y);
            for (int c = 0; c < 4; ++c) differences += std::abs(got[c] - expected[c]) > (c < 3 && expected[3] < 255);
        }
    }
    EXPECT_EQ(differences, 0);

    // A smaller shaped image is scaled up to the icon's side: each pixel becomes a 2 x 2 block.
    auto small = [](std::uint64_t x, std::uint64_t y) { return shapedPixel(x, y, 512); };
    auto scaled = renderDockIcon(pngOf(512, 512, small));
    ASSERT_TRUE(scaled);
    for (auto [x, y] : {std::pair{0, 0}, {9, 11}, {511, 300}, {100, 511}}) {
        Pixel expected = small(x, y);
        if (expected[3] == 0) expected = {0, 0, 0, 0};
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(at(*scaled, 2 * x + 1, 2 * y)[c], expected[c], 1) << x << "," << y;
        }
    }
}

TEST(DockIcon, BoxResamplingWeighsSourcePixelsByTheirOverlap) {
    LinearImage source{3, 1, std::unique_ptr<float[]>(new float[12]{0, 0, 0, 0, 1, 1, 1, 1, 0.5f, 0, 0, 1})};
    auto two = boxResample(source, 2, 1);
    ASSERT_TRUE(two);
    // Each target pixel covers 1.5 source pixels: a whole one and half of the middle one.
    const float expected[8] = {1 / 3.0f, 1 / 3.0f, 1 / 3.0f, 1 / 3.0f, 2 / 3.0f, 1 / 3.0f, 1 / 3.0f, 1};
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(two->pixels[i], expected[i], 1e-6f) << i;
}

struct RecordingHost {
    std::atomic<int> calls{0};
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    Pixel centre{};
    std::chrono::milliseconds delay{0};

    DockIconHost host() {
        return {this, [](void* context, const std::uint8_t* rgba, std::uint64_t width, std::uint64_t height) {
                    auto* self = static_cast<RecordingHost*>(context);
                    std::this_thread::sleep_for(self->delay);
                    self->width = width;
                    self->height = height;
                    std::copy_n(rgba + 4 * (height / 2 * width + width / 2), 4, self->centre.begin());
                    self->calls.fetch_add(1);
                }};
    }
};

TEST(DockIcon, ImagesThatWillNotDoReachNoHost) {
    RecordingHost host;
    runDockIcon(host.host(), pngOf(20, 10, [](auto, auto) { return Pixel{1, 2, 3, 255}; }));
    std::vector<std::uint8_t> broken = pngOf(16, 16, [](auto, auto) { return Pixel{1, 2, 3, 255}; });
    broken.resize(broken.size() / 2);
    runDockIcon(host.host(), broken);
    runDockIcon(host.host(), {});
    EXPECT_EQ(host.calls.load(), 0);
}

// The embedded icon goes through the thread; the thread is waited for before its host goes away,
// however slow the host is (AddressSanitizer sees any late call into the freed host).
TEST(DockIconThreads, TheThreadIsJoinedBeforeASlowHostIsDestroyed) {
    auto host = std::make_unique<RecordingHost>();
    host->delay = std::chrono::milliseconds(150);
    DockIconThread thread;
    ASSERT_TRUE(startDockIconThread(thread, host->host()));
    joinDockIconThread(thread);
    EXPECT_EQ(host->calls.load(), 1);
    EXPECT_EQ(host->width, kDockIconSide);
    EXPECT_EQ(host->height, kDockIconSide);
    EXPECT_EQ(host->centre[3], 255);
    host.reset();
    joinDockIconThread(thread);  // joining again does nothing
}

}  // namespace
}  // namespace kelvo
