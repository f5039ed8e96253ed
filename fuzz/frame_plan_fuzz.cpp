// Frames planned from arbitrary display lists (NaN and huge transforms, clips and opacities nested
// past their limits, every tag), over surfaces with and without area, with animations and with
// lists lent short, several frames in a row with each presented frame committed: every plan ends
// with a frame or a named error, never a crash, and a frame's dirty region stays on its surface.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/fixed.hpp"
#include "fuzz_display_list.hpp"
#include "render/frame_plan.hpp"
#include "render/frame_report.hpp"

namespace {

using namespace kelvo;

float surfaceSide(std::uint8_t choice) {
    switch (choice % 6) {
        case 0:
            return 0;
        case 1:
            return NAN;
        case 2:
            return -40;
        default:
            return 32.0f * static_cast<float>(choice % 6);
    }
}

// Short lists now and then, so every capacity error can be reached.
CanvasFrameStorage lend(fuzz::FuzzInput& in) {
    CanvasFrameStorage storage = canvasFrameStorageForThread();
    const std::uint8_t shorten = in.take<std::uint8_t>();
    if (shorten < 200) return storage;
    const std::size_t keep = shorten % 4;
    switch (shorten % 7) {
        case 0:
            storage.render_commands = storage.render_commands.first(keep);
            break;
        case 1:
            storage.batches = storage.batches.first(keep);
            break;
        case 2:
            storage.glyphs = storage.glyphs.first(keep);
            break;
        case 3:
            storage.text_lines = storage.text_lines.first(keep);
            break;
        case 4:
            storage.changes = storage.changes.first(keep);
            break;
        case 5:
            storage.resource_cache.actions = storage.resource_cache.actions.first(keep);
            break;
        default:
            storage.overrides = storage.overrides.first(keep);
            break;
    }
    return storage;
}

WidgetAnimation animation(fuzz::DisplayListInput& in) {
    WidgetAnimation a;
    a.key = in.take<std::uint8_t>() * 16u;
    a.start_ns = in.take<std::uint16_t>() * 1'000'000ull;
    a.duration_ms = in.take<std::uint8_t>();
    a.spring_mass = in.number();
    a.spring_stiffness = in.number();
    a.spring_damping = in.number();
    const std::uint8_t has = in.take<std::uint8_t>();
    if (has & 1) a.from_opacity = in.number() / 64;
    if (has & 2) a.to_opacity = in.number() / 64;
    if (has & 4) a.from_transform = Affine{in.number() / 8, 0, 0, in.number() / 8, in.number(), in.number()};
    if (has & 8) a.to_transform = Affine{1, in.number() / 8, in.number() / 8, 1, in.number(), in.number()};
    if (has & 16) a.from_angle = in.number();
    if (has & 32) a.to_angle = in.number();
    a.pivot_x = in.number();
    a.pivot_y = in.number();
    a.easing = static_cast<AnimationEasing>(in.take<std::uint8_t>() & 3u);
    a.repeat = static_cast<AnimationRepeat>(in.take<std::uint8_t>() & 3u);
    return a;
}

void checkFrame(const CanvasFrame& frame) {
    if (frame.patch_count > kPatchRectCapacity || frame.patch_count == 1) __builtin_trap();
    const bool surface = frame.width > 0 && frame.height > 0;
    if (frame.dirty && surface && !frame.full_repaint) {
        const Rect d = *frame.dirty;
        if (d.x < 0 || d.y < 0 || d.x + d.width > frame.width * 1.0001f || d.y + d.height > frame.height * 1.0001f) {
            __builtin_trap();
        }
    }
    (void)canvasFrameReport(frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto history = std::make_unique<CanvasFrameHistory>();
    resetRecord(*history);
    static const std::uint8_t image_pixels[2 * 2 * 4] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    static const ReferenceImage images[] = {{1, 2, 2, image_pixels}, {2, 1u << 20, 1u << 20, image_pixels}};

    fuzz::DisplayListInput in(data, size);
    const std::uint8_t mode = in.take<std::uint8_t>();
    const int frames = 1 + mode % 4;
    std::uint64_t revision = 1;
    for (int frame = 0; frame < frames && in.size > 0; ++frame) {
        const std::uint8_t change = in.take<std::uint8_t>();
        if (frame == 0 || (change & 1) != 0) {
            in.commands.clear();
            // Runs of clips or opacities now and then, to nest past the stack limits.
            if (change & 2) {
                const std::size_t depth = in.take<std::uint8_t>() % 40;
                for (std::size_t i = 0; i < depth; ++i) in.commands.push_back(in.command(change & 4 ? 2 : 0, 16));
            }
            in.readCommands(48, 16);
            ++revision;
        }
        std::vector<WidgetAnimation> animations;
        for (int i = in.take<std::uint8_t>() % 4; i > 0; --i) animations.push_back(animation(in));

        CanvasFrameSource source;
        source.commands = in.commands;
        source.revision = revision;
        source.animations = animations;
        source.history = history.get();
        source.surface_width = surfaceSide(in.take<std::uint8_t>());
        source.surface_height = surfaceSide(in.take<std::uint8_t>());
        source.surface_scale = (mode & 16) ? 2.0f : 1.0f;
        source.frame_width = in.number();
        source.frame_height = in.number();
        source.full_repaint_due = (change & 8) != 0;

        CanvasFrameRequest request;
        request.frame_tag = static_cast<std::uint64_t>(frame) + 1;
        request.frame_time = in.take<std::uint16_t>() * 1'000'000ull;
        request.images = (mode & 32) ? std::span<const ReferenceImage>(images) : std::span<const ReferenceImage>();
        request.glyph_retention = in.take<std::uint8_t>() % 3;
        request.text_layout_retention = in.take<std::uint8_t>() % 3;
        request.force_full_repaint = (change & 16) != 0;
        const CanvasFrameStorage storage = lend(in);
        Result<CanvasFrame> planned = planCanvasFrame(source, request, storage);
        if (!planned) continue;
        checkFrame(*planned);
        commitPresentedCanvasFrame(*history, *planned);
    }
    return 0;
}
