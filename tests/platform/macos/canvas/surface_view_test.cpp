#include "platform/macos/canvas/surface_view.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/macos/canvas/packet_present.hpp"
#include "support/golden.hpp"

namespace kelvo {
namespace {

RawPixelFrame solidFrame(std::uint64_t width, std::uint64_t height, const std::vector<std::uint8_t>& pixels) {
    RawPixelFrame frame;
    frame.width = width;
    frame.height = height;
    frame.rgba8 = pixels.data();
    frame.byteLength = pixels.size();
    return frame;
}

// A canvas view on a virtual clock: posted steps wait in a queue until the clock reaches them.
struct SurfaceRig {
    struct Posted {
        std::uint64_t dueNs;
        std::uint64_t order;
        SurfaceStep step;
        std::uint64_t generation;
    };
    struct Seen {
        KelvoHostEvent event;
        std::string label;
        std::uint64_t atNs;
        std::uint64_t slotNs;  // the view's pacing slot when it sent the event
    };

    gpu::GpuDevice device;
    SurfaceView view;
    std::uint64_t nowNs = 0;  // a monotonic clock may well start at 0
    std::int64_t wallOffsetNs = 1'700'000'000'000'000'123;
    std::vector<Posted> queue;
    std::uint64_t posted = 0;
    std::vector<Seen> events;
    int hostFrameRequests = 0;
    bool displayTimer = false;
    SurfaceWindowState window = SurfaceWindowState::visible;
    double windowScale = 2;
    double screenFps = 120;
    std::FILE* trace = std::tmpfile();

    explicit SurfaceRig(SurfaceFrame frame = {12, 34, 300, 200}, bool withDevice = true) {
        view.canvas.switches = CanvasSwitches{};
        view.canvas.traceOut = trace;
        SurfacePort port;
        port.context = this;
        port.monotonicNs = [](void* c) { return rig(c).nowNs; };
        port.wallNs = [](void* c) { return static_cast<std::uint64_t>(rig(c).nowNs + rig(c).wallOffsetNs); };
        port.post = [](void* c, std::uint64_t delay, SurfaceStep step, std::uint64_t generation) {
            SurfaceRig& r = rig(c);
            r.queue.push_back(Posted{r.nowNs + delay, r.posted++, step, generation});
        };
        port.emitEvent = [](void* c, const KelvoHostEvent& e) {
            rig(c).events.push_back(Seen{e, std::string(e.viewLabel.view()), rig(c).nowNs,
                                         rig(c).view.retainedFrameLastEmitNs.value_or(0)});
        };
        port.scheduleFrame = [](void* c) { ++rig(c).hostFrameRequests; };
        port.setDisplayTimer = [](void* c, bool on) { rig(c).displayTimer = on; };
        port.windowState = [](void* c) { return rig(c).window; };
        port.windowScale = [](void* c) { return rig(c).windowScale; };
        port.screenScale = [](void*) { return 1.0; };
        port.screenMaxFps = [](void* c) { return rig(c).screenFps; };
        initSurfaceView(view, withDevice ? &device : nullptr, port, frame);
    }
    ~SurfaceRig() { std::fclose(trace); }
    SurfaceRig(const SurfaceRig&) = delete;
    SurfaceRig& operator=(const SurfaceRig&) = delete;

    static SurfaceRig& rig(void* context) { return *static_cast<SurfaceRig*>(context); }

    // Runs every step due by `untilNs`, in due order, moving the clock to each.
    void runUntil(std::uint64_t untilNs) {
        for (;;) {
            auto next = queue.end();
            for (auto it = queue.begin(); it != queue.end(); ++it) {
                if (it->dueNs > untilNs) continue;
                if (next == queue.end() || it->dueNs < next->dueNs ||
                    (it->dueNs == next->dueNs && it->order < next->order)) {
                    next = it;
                }
            }
            if (next == queue.end()) break;
            Posted step = *next;
            queue.erase(next);
            nowNs = std::max(nowNs, step.dueNs);
            runSurfaceStep(view, step.step, step.generation);
        }
        nowNs = std::max(nowNs, untilNs);
    }
    void runFor(std::uint64_t ns) { runUntil(nowNs + ns); }

    std::vector<const Seen*> frames() const {
        std::vector<const Seen*> found;
        for (const Seen& s : events) {
            if (s.event.kind == static_cast<std::uint32_t>(HostEventKind::gpu_surface_frame)) found.push_back(&s);
        }
        return found;
    }
    std::size_t resizes() const {
        std::size_t n = 0;
        for (const Seen& s : events)
            n += s.event.kind == static_cast<std::uint32_t>(HostEventKind::gpu_surface_resized);
        return n;
    }

    // Presents a solid canvas of the drawable's size, as the packet path would.
    bool present(std::array<std::uint8_t, 4> rgba) {
        std::vector<std::uint8_t> pixels(std::size_t{view.drawableWidth} * view.drawableHeight * 4);
        for (std::size_t i = 0; i < pixels.size(); i += 4) std::memcpy(&pixels[i], rgba.data(), 4);
        return presentPixels(view.canvas, solidFrame(view.drawableWidth, view.drawableHeight, pixels));
    }

    std::string traceText() const {
        std::fflush(trace);
        std::rewind(trace);
        std::string text;
        char buffer[1024];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, trace)) > 0;) text.append(buffer, n);
        return text;
    }
};

constexpr std::uint64_t kInterval120 = 8'333'333;

TEST(SurfaceView, IntervalAndSlotGridFollowTheTable) {
    for (const auto& row : testing::readTable("platform/canvas/surface_pacing.txt")) {
        SCOPED_TRACE(row.size() > 1 ? row[0] + " " + row[1] : row[0]);
        if (row[0] == "interval") {
            ASSERT_EQ(row.size(), 4u);
            EXPECT_EQ(surfaceFrameIntervalNs(std::stod(row[1])), std::stoull(row[3]));
        } else {
            ASSERT_EQ(row.size(), 6u);
            std::optional<std::uint64_t> last;
            if (row[1] != "none") last = std::stoull(row[1]);
            EXPECT_EQ(advancePacingSlot(last, std::stoull(row[2]), std::stoull(row[3])), std::stoull(row[5]));
        }
    }
}

// The events checked byte by byte against the table: every byte not listed is 0.
void expectEventBytes(const std::string& name, const SurfaceRig::Seen& seen, const std::vector<std::string>& lines) {
    SCOPED_TRACE(name);
    KelvoHostEvent expected{};
    auto* bytes = reinterpret_cast<unsigned char*>(&expected);
    for (const std::string& line : lines) {
        char type[8] = {};
        std::size_t offset = 0;
        char value[32] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "%7s %zu %31s", type, &offset, value), 3) << line;
        std::string t = type;
        if (t == "u32" || t == "i32") {
            auto v = static_cast<std::uint32_t>(std::stoll(value));
            std::memcpy(bytes + offset, &v, 4);
        } else if (t == "u64") {
            std::uint64_t v = std::stoull(value);
            std::memcpy(bytes + offset, &v, 8);
        } else {
            double v = std::stod(value);
            std::memcpy(bytes + offset, &v, 8);
        }
    }
    KelvoHostEvent actual = seen.event;
    EXPECT_EQ(seen.label, "gallery");
    // String pointers are compared as text (the label) or not at all (empty strings point at "").
    for (KelvoHostEvent* e : {&actual, &expected}) {
        for (KelvoHostString* text : {&e->windowLabel, &e->shortcutId, &e->shortcutKey, &e->command, &e->viewLabel,
                                      &e->keyText, &e->inputText, &e->paths, &e->actionText}) {
            text->bytes = nullptr;
        }
    }
    const auto* got = reinterpret_cast<const unsigned char*>(&actual);
    for (std::size_t i = 0; i < sizeof actual; ++i) EXPECT_EQ(int{got[i]}, int{bytes[i]}) << "byte " << i;
}

TEST(SurfaceView, ResizeAndFrameEventsAreByteExact) {
    std::map<std::string, std::vector<std::string>> blocks;
    std::string current;
    for (const std::string& line : testing::readLines("platform/canvas/surface_events.txt")) {
        if (line.starts_with("event ")) {
            current = line.substr(6);
        } else if (line != "end") {
            blocks[current].push_back(line);
        }
    }
    ASSERT_EQ(blocks.size(), 3u);

    SurfaceRig rig;
    bindSurfaceView(rig.view, 7, "gallery");
    std::uint64_t start = rig.nowNs;
    rig.runUntil(start);  // steps due now: first-frame request, probe, binding
    auto frames = rig.frames();
    ASSERT_EQ(frames.size(), 1u);
    expectEventBytes("first-frame", *frames[0], blocks["first-frame"]);
    ASSERT_EQ(rig.resizes(), 1u);
    expectEventBytes("resize", rig.events[1], blocks["resize"]);

    // A present of known timings; its frame event carries them once, stamped at the table's time.
    ASSERT_TRUE(rig.present({0x33, 0x66, 0x99, 0xFF}));
    rig.view.canvas.lastPacketDecodeNs = 5000;
    rig.view.canvas.lastPacketDrawNs = 9000;
    rig.wallOffsetNs -= static_cast<std::int64_t>(kInterval120);
    rig.runFor(kInterval120);
    frames = rig.frames();
    ASSERT_EQ(frames.size(), 2u);
    expectEventBytes("presented-frame", *frames[1], blocks["presented-frame"]);
    EXPECT_EQ(rig.view.canvas.lastPacketDecodeNs, 0u);
    EXPECT_EQ(rig.hostFrameRequests, 2);
}

TEST(SurfaceView, DrawableChangesBelowOnePixelSendNothing) {
    SurfaceRig rig({0, 0, 100.2, 50.2});
    bindSurfaceView(rig.view, 1, "gallery");
    rig.runFor(0);
    ASSERT_EQ(rig.view.drawableWidth, 201u);
    std::size_t resizes = rig.resizes();
    std::size_t queued = rig.queue.size();

    setSurfaceFrame(rig.view, {0, 0, 100.4, 50.2});  // ceil(200.8) is still 201
    EXPECT_EQ(rig.resizes(), resizes);
    rig.windowScale = 2.0005;  // within 0.001
    surfaceScaleChanged(rig.view);
    EXPECT_EQ(rig.resizes(), resizes);
    EXPECT_EQ(rig.queue.size(), queued);

    setSurfaceFrame(rig.view, {0, 0, 100.6, 50.2});  // 202 pixels
    EXPECT_EQ(rig.resizes(), resizes + 1);
    rig.windowScale = 0;  // unknown: the screen's scale, 1
    surfaceScaleChanged(rig.view);
    EXPECT_EQ(rig.resizes(), resizes + 2);
    EXPECT_EQ(rig.view.drawableWidth, 101u);
}

TEST(SurfaceView, FirstFrameRequestComesOnceInTheViewsLife) {
    SurfaceRig rig;
    bindSurfaceView(rig.view, 1, "gallery");
    requestRetainedCanvasFrame(rig.view);
    rig.runFor(0);
    ASSERT_EQ(rig.frames().size(), 1u);
    EXPECT_EQ(rig.frames()[0]->event.nonblank, 0);

    requestRetainedCanvasFrame(rig.view);
    setSurfaceFrame(rig.view, {0, 0, 400, 300});
    flushQueuedFirstCanvasFrameRequest(rig.view);
    rig.runFor(10 * kInterval120);
    // Before any presentation the placeholder's probe completions pace frame events, which carry
    // its non-blank centre; a first-frame request is the only event that says blank.
    std::size_t blank = 0;
    for (const auto* f : rig.frames()) blank += f->event.nonblank == 0 ? 1 : 0;
    EXPECT_GT(rig.frames().size(), 1u);
    EXPECT_EQ(blank, 1u);
    EXPECT_TRUE(rig.view.firstCanvasFrameRequestEmitted);
    EXPECT_FALSE(rig.view.retainedFrameRequestPending);
}

TEST(SurfaceView, FlushAtRunStartEmitsTheQueuedRequestAtOnce) {
    SurfaceRig rig;
    bindSurfaceView(rig.view, 1, "gallery");
    flushQueuedFirstCanvasFrameRequest(rig.view);
    ASSERT_EQ(rig.frames().size(), 1u);
    EXPECT_EQ(rig.frames()[0]->event.frameIndex, 1u);  // the placeholder drew frame 0
    rig.runFor(0);
    EXPECT_EQ(rig.frames().size(), 1u);  // the queued step finds nothing pending
}

TEST(SurfaceView, FrameEventsStayOnTheSlotGrid) {
    SurfaceRig rig;
    bindSurfaceView(rig.view, 1, "gallery");
    rig.runFor(0);
    ASSERT_TRUE(rig.present({10, 20, 30, 255}));
    std::uint64_t origin = rig.frames().back()->slotNs;
    for (int i = 0; i < 5; ++i) {
        rig.runFor(kInterval120 + kInterval120 / 3);  // a late main loop
        requestRetainedCanvasFrame(rig.view);
        ASSERT_TRUE(rig.present({10, 20, 30, 255}));
    }
    rig.runFor(3 * kInterval120);
    auto frames = rig.frames();
    ASSERT_GE(frames.size(), 4u);
    for (const auto* f : frames) {
        EXPECT_EQ((f->slotNs - origin) % kInterval120, 0u) << "slot " << f->slotNs;
    }
    // One outstanding event at most: never two in the same slot.
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_GT(frames[i]->slotNs, frames[i - 1]->slotNs);
}

TEST(SurfaceView, OccludedViewSlowsToOneEventASecondUntilInput) {
    SurfaceRig rig;
    bindSurfaceView(rig.view, 1, "gallery");
    rig.runFor(0);
    ASSERT_TRUE(rig.present({10, 20, 30, 255}));
    rig.runFor(kInterval120);  // the present's frame event
    std::size_t before = rig.frames().size();
    std::uint64_t lastSlot = rig.frames().back()->slotNs;

    rig.window = SurfaceWindowState::occluded;
    std::uint64_t drawnFrames = rig.view.frameIndex;
    renderSurfaceFrame(rig.view);  // skipped, but the next event is armed at the slow rate
    EXPECT_TRUE(rig.view.glassFlushPending);
    EXPECT_EQ(rig.view.frameIndex, drawnFrames);
    rig.runFor(500'000'000);
    EXPECT_EQ(rig.frames().size(), before);
    rig.runUntil(lastSlot + 1'000'000'000);
    ASSERT_EQ(rig.frames().size(), before + 1);
    EXPECT_EQ(rig.frames().back()->atNs, lastSlot + 1'000'000'000);
    EXPECT_EQ(rig.frames().back()->event.occluded, 1);
    EXPECT_EQ(rig.frames().back()->event.frameIntervalNs, kInterval120);

    // Input wakes the parked event: one interval after the last slot.
    requestRetainedCanvasFrame(rig.view);
    lastSlot = rig.frames().back()->slotNs;
    noteSurfaceInputActivity(rig.view);
    rig.runUntil(lastSlot + kInterval120);
    ASSERT_EQ(rig.frames().size(), before + 2);
    EXPECT_EQ(rig.frames().back()->atNs, lastSlot + kInterval120);

    // The step the input replaced is stale: the next slow event counts from the new slot.
    std::uint64_t inputSlot = rig.frames().back()->slotNs;
    requestRetainedCanvasFrame(rig.view);
    rig.runUntil(lastSlot + 1'000'000'000);
    EXPECT_EQ(rig.frames().size(), before + 2);
    rig.runUntil(inputSlot + 1'000'000'000);
    EXPECT_EQ(rig.frames().size(), before + 3);

    // Visible again: the pending flush draws.
    rig.window = SurfaceWindowState::visible;
    surfaceOcclusionChanged(rig.view);
    EXPECT_FALSE(rig.view.glassFlushPending);
    EXPECT_EQ(rig.view.frameIndex, drawnFrames + 4);  // three frame events, one draw
}

TEST(SurfaceView, WallClockStepBackDoesNotStallFrames) {
    SurfaceRig rig;
    bindSurfaceView(rig.view, 1, "gallery");
    rig.runFor(0);
    ASSERT_TRUE(rig.present({10, 20, 30, 255}));
    rig.runFor(kInterval120);
    std::size_t before = rig.frames().size();
    rig.wallOffsetNs -= 3'600'000'000'000;  // the wall clock goes back an hour
    ASSERT_TRUE(rig.present({10, 20, 30, 255}));
    rig.runFor(kInterval120);
    EXPECT_EQ(rig.frames().size(), before + 1);
}

TEST(SurfaceView, CentreProbeNeedsColourNotAlpha) {
    SurfaceRig rig({0, 0, 0, 0});  // nothing drawn before the first canvas
    bindSurfaceView(rig.view, 1, "gallery");
    rig.runFor(0);
    setSurfaceFrame(rig.view, {0, 0, 20, 10});
    ASSERT_TRUE(rig.present({0, 0, 0, 0x80}));
    EXPECT_FALSE(rig.displayTimer);
    rig.runFor(kInterval120);
    EXPECT_FALSE(rig.view.verifiedNonblankFrame);
    ASSERT_FALSE(rig.frames().empty());
    EXPECT_EQ(rig.frames().back()->event.nonblank, 1);  // a canvas exists
    EXPECT_EQ(rig.frames().back()->event.sampleColor, 0u);

    // Only the centre counts.
    std::vector<std::uint8_t> pixels(40 * 20 * 4, 0);
    std::uint8_t* centre = &pixels[(10 * 40 + 20) * 4];
    centre[0] = 1;
    centre[3] = 0xFF;
    ASSERT_TRUE(presentPixels(rig.view.canvas, solidFrame(40, 20, pixels)));
    rig.runFor(kInterval120);
    EXPECT_TRUE(rig.view.verifiedNonblankFrame);
    EXPECT_EQ(rig.frames().back()->event.sampleColor, 0xFF010000u);
}

TEST(SurfaceView, CanvasOfAnotherSizeOnlyClears) {
    SurfaceRig rig({0, 0, 10, 10});
    rig.windowScale = 1;
    surfaceScaleChanged(rig.view);
    std::vector<std::uint8_t> pixels(5 * 5 * 4, 0xFF);
    ASSERT_TRUE(presentPixels(rig.view.canvas, solidFrame(5, 5, pixels)));
    const auto& bytes = rig.view.drawable.texture.bytes;
    ASSERT_EQ(bytes.size(), 10u * 10 * 4);
    EXPECT_EQ(bytes[0], 246);  // the canvas clear colour, 0.965
    EXPECT_EQ(bytes[2], 252);
}

TEST(SurfaceView, HiddenUnboundOrUnavailableViewsStaySilent) {
    SurfaceRig none({0, 0, 100, 100}, false);
    bindSurfaceView(none.view, 1, "gallery");
    none.runFor(kInterval120);
    EXPECT_TRUE(none.frames().empty());
    EXPECT_FALSE(none.displayTimer);

    SurfaceRig unlabelled;
    bindSurfaceView(unlabelled.view, 1, "");
    unlabelled.runFor(kInterval120);
    EXPECT_TRUE(unlabelled.events.empty());

    SurfaceRig hidden;
    hidden.view.hidden = true;
    bindSurfaceView(hidden.view, 1, "gallery");
    hidden.runFor(kInterval120);
    EXPECT_TRUE(hidden.frames().empty());
}

TEST(SurfaceView, FrameTraceLinesNameThePath) {
    SurfaceRig rig;
    rig.view.canvas.switches.frameTrace = true;
    bindSurfaceView(rig.view, 1, "gallery");
    rig.runFor(0);
    ASSERT_TRUE(rig.present({10, 20, 30, 255}));
    rig.window = SurfaceWindowState::occluded;
    std::uint64_t index = rig.view.frameIndex;
    renderSurfaceFrame(rig.view);
    std::string text = rig.traceText();
    EXPECT_NE(text.find("kelvo: gpu frame-trace path=present frame=2 vend_us=0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("kelvo: gpu frame-trace path=occluded frame=" + std::to_string(index) + "\n"),
              std::string::npos)
        << text;
}

}  // namespace
}  // namespace kelvo
