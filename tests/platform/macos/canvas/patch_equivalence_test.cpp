// Random patch sequences drawn incrementally (only inside the scissor and dirty rects, over the
// kept canvas) give the very pixels of a full redraw of the same list, on the CPU path and on the
// compositor, and the compositor's pixels are the CPU's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "platform/macos/canvas/packet_geometry.hpp"
#include "platform/macos/canvas/packet_raster.hpp"
#include "platform/macos/canvas/presenter_fixture.hpp"

namespace kelvo {
namespace {

using testing::TestCanvasView;

constexpr double kWidth = 40;
constexpr double kHeight = 30;

struct Scene {
    std::vector<std::uint64_t> order;
    std::map<std::uint64_t, PacketCommand> commands;
};

struct Generator {
    std::mt19937 rng;
    std::uint64_t nextKey = 1;

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    // Half of the coordinates on the half-point grid, so some rectangles are whole pixels.
    double coordinate(double hi) { return pick(2) == 0 ? std::round(uniform(0, hi) * 2) / 2 : uniform(-2, hi); }

    PacketColor color() {
        double alpha = pick(3) == 0 ? uniform(0.2, 0.9) : 1.0;
        return {uniform(0, 1), uniform(0, 1), uniform(0, 1), alpha};
    }

    PacketCommand command() {
        PacketRect rect{coordinate(kWidth), coordinate(kHeight), 1 + coordinate(14), 1 + coordinate(10)};
        switch (pick(7)) {
            case 0:
                return testing::roundedRect(rect, uniform(0, 4), color());
            case 5: {
                // Turned about its centre: drawn through a scratch texture, not the raster cache.
                PacketCommand c = testing::roundedRect(rect, uniform(0, 4), color());
                double turn = uniform(-1, 1), cx = rect.x + rect.width / 2, cy = rect.y + rect.height / 2;
                double cs = std::cos(turn), sn = std::sin(turn);
                c.transform = PacketTransform{cs, sn, -sn, cs, cx - cs * cx + sn * cy, cy - sn * cx - cs * cy};
                PacketRect drawn = packetTransformRect(c.transform, rect);
                c.bounds = PacketRect{drawn.x - 1, drawn.y - 1, drawn.width + 2, drawn.height + 2};
                return c;
            }
            case 1:
                return testing::line({rect.x, rect.y}, {rect.x + rect.width, rect.y + rect.height}, uniform(0.5, 3),
                                     color());
            case 2:
                if (pick(3) == 0) return testing::blur(rect, uniform(0.5, 3));
                [[fallthrough]];
            default: {
                PacketCommand c = testing::solidRect(rect, color(), pick(4) == 0 ? 0.6 : 1.0);
                return c;
            }
        }
    }
};

PacketRect blurReach(const PacketCommand& c) {
    double r = c.effect->radius * 2 + 1;
    return PacketRect{c.effect->rect.x - r, c.effect->rect.y - r, c.effect->rect.width + 2 * r,
                      c.effect->rect.height + 2 * r};
}

// A producer's dirty rects: every changed command's old and new bounds, grown until no blur reads
// a changed pixel without being redrawn whole.
std::vector<PacketRect> closeOverBlurs(std::vector<PacketRect> dirty, const Scene& before, const Scene& after) {
    for (bool grown = true; grown;) {
        grown = false;
        for (const Scene* scene : {&before, &after}) {
            for (const auto& [key, c] : scene->commands) {
                if (c.kind != 13) continue;
                PacketRect reach = blurReach(c);
                bool touched = std::any_of(dirty.begin(), dirty.end(),
                                           [&](const PacketRect& d) { return packetRectsIntersect(d, reach); });
                bool covered = std::any_of(dirty.begin(), dirty.end(), [&](const PacketRect& d) {
                    return d.x <= reach.x && d.y <= reach.y && d.x + d.width >= reach.x + reach.width &&
                           d.y + d.height >= reach.y + reach.height;
                });
                if (touched && !covered) {
                    dirty.push_back(reach);
                    grown = true;
                }
            }
        }
    }
    return dirty;
}

CanvasPacket fullClear(const Scene& scene, std::uint64_t generation) {
    std::vector<PacketCommand> commands;
    for (std::uint64_t key : scene.order) commands.push_back(scene.commands.at(key));
    return testing::clearPacket(generation, commands, scene.order);
}

// One random edit of the scene as a patch packet.
CanvasPacket randomPatch(Generator& g, Scene& scene, std::uint64_t generation) {
    Scene before = scene;
    std::vector<std::uint64_t> evicts;
    std::vector<PacketUpsert> upserts;
    std::vector<PacketRect> dirty;
    int edits = 1 + g.pick(3);
    for (int e = 0; e < edits; ++e) {
        int op = scene.order.size() < 3 ? 0 : g.pick(4);
        if (op == 0) {  // insert
            std::uint64_t key = g.nextKey++;
            PacketCommand c = g.command();
            dirty.push_back(c.bounds);
            scene.order.insert(scene.order.begin() + g.pick(static_cast<int>(scene.order.size()) + 1), key);
            scene.commands[key] = c;
            upserts.push_back({key, c});
        } else if (op == 1) {  // change
            std::uint64_t key = scene.order[g.pick(static_cast<int>(scene.order.size()))];
            PacketCommand c = g.command();
            dirty.push_back(scene.commands[key].bounds);
            dirty.push_back(c.bounds);
            scene.commands[key] = c;
            upserts.push_back({key, c});
        } else if (op == 2) {  // evict
            std::size_t at = static_cast<std::size_t>(g.pick(static_cast<int>(scene.order.size())));
            std::uint64_t key = scene.order[at];
            if (std::any_of(upserts.begin(), upserts.end(), [&](const PacketUpsert& u) { return u.key == key; }))
                continue;
            dirty.push_back(scene.commands[key].bounds);
            scene.order.erase(scene.order.begin() + static_cast<std::ptrdiff_t>(at));
            scene.commands.erase(key);
            evicts.push_back(key);
        } else {  // move
            std::size_t at = static_cast<std::size_t>(g.pick(static_cast<int>(scene.order.size())));
            std::uint64_t key = scene.order[at];
            dirty.push_back(scene.commands[key].bounds);
            scene.order.erase(scene.order.begin() + static_cast<std::ptrdiff_t>(at));
            scene.order.insert(scene.order.begin() + g.pick(static_cast<int>(scene.order.size()) + 1), key);
        }
    }
    CanvasPacket patch = testing::patchPacket(generation, evicts, upserts, scene.order);
    dirty = closeOverBlurs(dirty, before, scene);
    if (g.pick(5) == 0) return patch;  // no scissor: a full redraw
    PacketRect bound = dirty.empty() ? PacketRect{0, 0, 1, 1} : dirty[0];
    for (const PacketRect& d : dirty) bound = unionRects(bound, d);
    patch.scissor = bound;
    if (dirty.size() <= kPacketMaxDirtyRects) patch.dirty_rects = dirty;
    return patch;
}

struct Mismatch {
    std::size_t count = 0;
    std::size_t first = 0;
};
Mismatch differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    Mismatch m;
    for (std::size_t i = 0; i < a.size() && i < b.size(); i += 4) {
        if (std::equal(a.begin() + i, a.begin() + i + 4, b.begin() + i)) continue;
        if (m.count++ == 0) m.first = i / 4;
    }
    if (a.size() != b.size()) ++m.count;
    return m;
}

void runSequence(std::uint32_t seed, double scale, bool composite) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed << " scale " << scale << " composite " << composite);
    Generator g{std::mt19937(seed)};
    Scene scene;
    for (int i = 0; i < 12; ++i) {
        std::uint64_t key = g.nextKey++;
        scene.order.push_back(key);
        scene.commands[key] = g.command();
    }
    TestCanvasView view(composite);
    view.state.switches.compare = composite;
    view.state.switches.verifyIncremental = true;
    PacketPresentArgs args = testing::surface(kWidth, kHeight, scale, {30, 60, 90, 255});
    ASSERT_EQ(presentCanvasPacket(view.state, fullClear(scene, 9), args), 1);
    for (int step = 0; step < 25; ++step) {
        SCOPED_TRACE(::testing::Message() << "step " << step);
        CanvasPacket patch = randomPatch(g, scene, 9);
        ASSERT_EQ(presentCanvasPacket(view.state, patch, args), 1);
        TestCanvasView full;  // CPU, from scratch
        ASSERT_EQ(presentCanvasPacket(full.state, fullClear(scene, 9), args), 1);
        std::vector<std::uint8_t> shown = composite ? view.shown() : view.state.pixels;
        Mismatch m = differing(shown, full.state.pixels);
        ASSERT_EQ(m.count, 0u) << "first at pixel " << m.first % full.state.pixelWidth << ","
                               << m.first / full.state.pixelWidth;
    }
    std::string trace = view.traceText();
    EXPECT_EQ(trace.find("MISMATCH"), std::string::npos) << trace;
    EXPECT_NE(trace.find("verify view= checks=1 mismatches=0"), std::string::npos) << trace;
    if (composite) {
        EXPECT_NE(trace.find("kelvo: gpu compare view= checks=26 diff_pixels=0 "), std::string::npos);
        EXPECT_EQ(trace.find("diff_pixels=0 max_delta=0"), trace.find("diff_pixels="));
    }
}

TEST(CanvasPatchSequences, IncrementalEqualsFullRedrawOnTheCpu) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        for (double scale : {1.0, 2.0, 1.5}) runSequence(seed, scale, false);
    }
}

TEST(CanvasPatchSequences, CompositorEqualsTheCpu) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        for (double scale : {1.0, 2.0, 1.5}) runSequence(seed, scale, true);
    }
}

}  // namespace
}  // namespace kelvo
