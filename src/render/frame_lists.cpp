// The derived lists of a frame plan: batches and pipelines, path geometry, images, layers,
// resources and visual effects, each with its retained-cache actions.

#include <algorithm>
#include <cmath>

#include "render/frame_plan_steps.hpp"
#include "render/render_fingerprints.hpp"
#include "render/render_paths.hpp"
#include "render/retained_cache.hpp"

namespace kelvo {

namespace {

bool sameClip(const RenderCommand& a, bool has_clip, const Rect& clip) {
    if (a.has_clip != has_clip) return false;
    return !has_clip ||
           (a.clip.x == clip.x && a.clip.y == clip.y && a.clip.width == clip.width && a.clip.height == clip.height);
}

void uniteBounds(std::optional<Rect>& bounds, const Rect& rect) {
    if (!rectIsEmpty(rect)) bounds = unionOptionalBounds(bounds, rect);
}

// The paint of a rect, line or path command whose gradient needs a GPU resource.
const Paint* paintOf(const CanvasCommand& command) {
    switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
        case CanvasCommandTag::fill_rect:
            return &command.fill_rect.paint;
        case CanvasCommandTag::stroke_rect:
            return &command.stroke_rect.stroke.paint;
        case CanvasCommandTag::fill_rounded_rect:
            return &command.fill_rounded_rect.paint;
        case CanvasCommandTag::draw_line:
            return &command.draw_line.stroke.paint;
        case CanvasCommandTag::fill_path:
            return &command.fill_path.paint;
        case CanvasCommandTag::stroke_path:
            return &command.stroke_path.stroke.paint;
        default:
            return nullptr;
    }
}

RetainedCacheEntry cacheEntry(std::uint64_t k0, std::uint64_t k1 = 0, std::optional<std::uint64_t> id = std::nullopt) {
    RetainedCacheEntry entry;
    entry.key = {k0, k1, 0, 0};
    entry.has_id = id.has_value();
    entry.id = id.value_or(0);
    return entry;
}

template <class Record, class KeyOf>
Result<RetainedCacheLists> classify(const FramePlan& plan, RetainedCacheKind kind, RetainedCacheStorage storage,
                                    std::span<const Record> records, Error full_error, KeyOf keyOf) {
    RetainedCacheClassifier cache =
        beginRetainedCache(kind, storage, previousCacheEntries(plan, kind), plan.request.frame_tag, full_error);
    for (const Record& record : records) TRY(addRetainedCacheEntry(cache, keyOf(record)));
    TRY(finishRetainedCache(cache, std::nullopt));
    return retainedCacheLists(cache);
}

}  // namespace

bool sameLayerState(const RenderCommand& a, const RenderCommand& b) {
    return a.opacity == b.opacity && sameClip(a, b.has_clip, b.clip) && affinesEqual(a.transform, b.transform);
}

Status planBatchesAndPipelines(FramePlan& plan) {
    std::span<const RenderCommand> renders = plan.renderCommands();
    std::span<RenderBatch> batches = plan.storage.batches;
    std::size_t count = 0;
    std::uint8_t used = 0;
    for (std::size_t i = 0; i < renders.size(); ++i) {
        const RenderCommand& render = renders[i];
        const PipelineKind pipeline = pipelineKindOf(render.command);
        if (count > 0) {
            RenderBatch& last = batches[count - 1];
            if (last.pipeline == pipeline && last.first + last.count == i && last.opacity == render.opacity &&
                sameClip(render, last.has_clip, last.clip)) {
                ++last.count;
                uniteBounds(last.bounds, render.bounds);
                continue;
            }
        }
        if (count == batches.size()) return fail(Error::RenderBatchListFull);
        RenderBatch& batch = batches[count++];
        batch = {i, 1, render.opacity, render.clip, render.has_clip, std::nullopt, pipeline};
        uniteBounds(batch.bounds, render.bounds);
        used |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(pipeline));
    }
    plan.frame.batches = batches.first(count);

    // One pipeline per kind in use, in kind order; kinds the previous frame used and this one does
    // not are evicted.
    const CanvasFrameHistory* history = plan.history();
    const std::uint8_t before = history != nullptr && history->has_previous_frame ? history->pipeline_mask : 0;
    std::size_t pipelines = 0;
    std::size_t actions = 0;
    for (unsigned kind = 0; kind < kPipelineKindCount; ++kind) {
        const std::uint8_t bit = static_cast<std::uint8_t>(1u << kind);
        if ((used & bit) == 0 && (before & bit) == 0) continue;
        if ((used & bit) != 0) {
            if (pipelines == plan.storage.pipelines.size()) return fail(Error::RenderPipelineCacheListFull);
            plan.storage.pipelines[pipelines++] = static_cast<PipelineKind>(kind);
        }
        if (actions == plan.storage.pipeline_actions.size()) return fail(Error::RenderPipelineCacheListFull);
        const CacheAction action = (used & bit) == 0     ? CacheAction::evict
                                   : (before & bit) != 0 ? CacheAction::retain
                                                         : CacheAction::upload;
        plan.storage.pipeline_actions[actions++] = {static_cast<PipelineKind>(kind), action};
    }
    plan.frame.pipelines = plan.storage.pipelines.first(pipelines);
    plan.frame.pipeline_actions = plan.storage.pipeline_actions.first(actions);
    return {};
}

Status planPathGeometry(FramePlan& plan) {
    std::span<const RenderCommand> renders = plan.renderCommands();
    RenderPathGeometryPlanner planner{plan.storage.paths};
    for (std::size_t i = 0; i < renders.size(); ++i) {
        const CanvasCommand& command = renders[i].command;
        const unsigned tag = canvasCommandTagBits(command);
        if (tag == static_cast<unsigned>(CanvasCommandTag::fill_path)) {
            TRY(planner.consumePath(false, renders[i], i, command.fill_path.elements, 0));
        } else if (tag == static_cast<unsigned>(CanvasCommandTag::stroke_path)) {
            TRY(planner.consumePath(true, renders[i], i, command.stroke_path.elements,
                                    command.stroke_path.stroke.width));
        }
    }
    plan.frame.paths = plan.storage.paths.first(planner.count);
    plan.frame.path_cache = TRY(classify(
        plan, RetainedCacheKind::path, plan.storage.path_cache, plan.frame.paths, Error::PathGeometryCacheListFull,
        [](const PathGeometry& path) { return cacheEntry(path.key, path.vertices ^ (path.indices << 32), path.id); }));
    return {};
}

Status planImages(FramePlan& plan) {
    std::span<const RenderCommand> renders = plan.renderCommands();
    std::span<const ReferenceImage> known = plan.frame.image_resources;
    // An image's pixels are hashed at most once per plan, however often it is drawn (and not at
    // all when it carries its fingerprint).
    auto& memo = plan.scratch.image_fingerprinted;
    std::fill(memo.begin(), memo.end(), false);
    std::size_t count = 0;
    for (std::size_t i = 0; i < renders.size(); ++i) {
        if (canvasCommandTagBits(renders[i].command) != static_cast<unsigned>(CanvasCommandTag::draw_image)) continue;
        const std::uint64_t image_id = renders[i].command.draw_image.image;
        const auto found = std::find_if(known.begin(), known.end(), [&](const auto& e) { return e.id == image_id; });
        FrameImage image{i, image_id, 0, found != known.end(), 0, 0};
        if (image.found) {
            image.width = found->width;
            image.height = found->height;
            const auto at = static_cast<std::size_t>(found - known.begin());
            if (at < memo.size() && memo[at]) {
                image.fingerprint = plan.scratch.image_fingerprints[at];
            } else {
                image.fingerprint = imagePixelFingerprint(*found);
                if (at < memo.size()) {
                    memo[at] = true;
                    plan.scratch.image_fingerprints[at] = image.fingerprint;
                }
            }
        } else {
            image.fingerprint = renderImageFingerprintForResource(image_id, std::nullopt);
        }
        if (count == plan.storage.images.size()) return fail(Error::ImageListFull);
        plan.storage.images[count++] = image;
    }
    plan.frame.images = plan.storage.images.first(count);
    plan.frame.image_cache = TRY(
        classify(plan, RetainedCacheKind::image, plan.storage.image_cache, plan.frame.images, Error::ImageCacheListFull,
                 [](const FrameImage& image) { return cacheEntry(image.fingerprint, image.image_id); }));
    return {};
}

Status planLayers(FramePlan& plan) {
    std::span<const RenderCommand> renders = plan.renderCommands();
    std::span<FrameLayer> layers = plan.storage.layers;
    std::span<const RenderCommandFingerprints> prints = plan.frame.command_fingerprints;
    const auto start = [&](std::size_t i) {
        return i < prints.size() ? prints[i].state : renderLayerStateFingerprint(renders[i]);
    };
    const auto append = [&](std::uint64_t layer, std::size_t i) {
        if (i >= prints.size()) return renderLayerFingerprintAppend(layer, renders[i]);
        Fnv1a64 hash{layer};
        hash.u64(prints[i].command);
        return hash.state;
    };
    std::size_t count = 0;
    for (std::size_t i = 0; i < renders.size(); ++i) {
        const RenderCommand& render = renders[i];
        if (render.opacity == 1.0f && !render.has_clip && isIdentityAffine(render.transform)) continue;
        if (count > 0) {
            FrameLayer& last = layers[count - 1];
            if (last.first + last.count == i && sameLayerState(renders[i - 1], render) && last.id == render.id) {
                ++last.count;
                uniteBounds(last.bounds, render.bounds);
                last.fingerprint = append(last.fingerprint, i);
                continue;
            }
        }
        if (count == layers.size()) return fail(Error::LayerListFull);
        FrameLayer& layer = layers[count++];
        layer = {i,
                 1,
                 render.id,
                 append(start(i), i),
                 std::nullopt,
                 render.opacity,
                 render.clip,
                 render.has_clip,
                 render.transform};
        uniteBounds(layer.bounds, render.bounds);
    }
    plan.frame.layers = layers.first(count);
    plan.frame.layer_cache = TRY(
        classify(plan, RetainedCacheKind::layer, plan.storage.layer_cache, plan.frame.layers, Error::LayerCacheListFull,
                 [](const FrameLayer& layer) { return cacheEntry(layer.fingerprint, layer.count, layer.id); }));
    return {};
}

Status planResources(FramePlan& plan) {
    std::span<const RenderCommand> renders = plan.renderCommands();
    std::span<const RenderCommandFingerprints> prints = plan.frame.command_fingerprints;
    // The fingerprint the command's own fingerprint took of its gradient, text or shadow.
    const auto known = [&](std::size_t i, auto compute) { return i < prints.size() ? prints[i].resource : compute(); };
    std::size_t count = 0;
    for (std::size_t i = 0; i < renders.size(); ++i) {
        const CanvasCommand& command = renders[i].command;
        FrameResource resource{i, 0, FrameResourceKind::gradient};
        if (const Paint* paint = paintOf(command)) {
            if (paint->kind != PaintKind::linear_gradient) continue;
            resource.fingerprint = known(i, [&] { return linearGradientFingerprint(paint->gradient); });
        } else {
            switch (static_cast<CanvasCommandTag>(canvasCommandTagBits(command))) {
                case CanvasCommandTag::draw_image:
                    resource = {i, imageResourceFingerprint(command.draw_image), FrameResourceKind::image};
                    break;
                case CanvasCommandTag::draw_text:
                    resource = {i, known(i, [&] { return drawTextFingerprint(command.draw_text); }),
                                FrameResourceKind::text};
                    break;
                case CanvasCommandTag::shadow:
                    resource = {i, known(i, [&] { return shadowFingerprint(command.shadow); }),
                                FrameResourceKind::shadow};
                    break;
                default:
                    continue;
            }
        }
        if (count == plan.storage.resources.size()) return fail(Error::RenderResourceListFull);
        plan.storage.resources[count++] = resource;
    }
    plan.frame.resources = plan.storage.resources.first(count);
    plan.frame.resource_cache =
        TRY(classify(plan, RetainedCacheKind::resource, plan.storage.resource_cache, plan.frame.resources,
                     Error::RenderResourceCacheListFull, [](const FrameResource& resource) {
                         return cacheEntry(resource.fingerprint, static_cast<std::uint64_t>(resource.kind));
                     }));
    return {};
}

Status planVisualEffects(FramePlan& plan) {
    std::span<const CanvasCommand> commands = plan.source.commands;
    std::size_t count = 0;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        const CanvasCommand& command = commands[i];
        VisualEffect effect;
        effect.command_index = i;
        const unsigned tag = canvasCommandTagBits(command);
        if (tag == static_cast<unsigned>(CanvasCommandTag::shadow)) {
            effect.key = shadowFingerprint(command.shadow);
            effect.rect = command.shadow.rect;
            effect.extent = std::max(command.shadow.blur, 0.0f) + std::abs(command.shadow.spread);
        } else if (tag == static_cast<unsigned>(CanvasCommandTag::blur)) {
            effect.key = blurFingerprint(command.blur);
            effect.rect = command.blur.rect;
            effect.extent = std::max(command.blur.radius, 0.0f);
            effect.flags = 1;
        } else {
            continue;
        }
        if (count == plan.storage.effects.size()) return fail(Error::VisualEffectListFull);
        plan.storage.effects[count++] = effect;
    }
    plan.frame.effects = plan.storage.effects.first(count);
    plan.frame.effect_cache =
        TRY(classify(plan, RetainedCacheKind::effect, plan.storage.effect_cache, plan.frame.effects,
                     Error::VisualEffectCacheListFull,
                     [](const VisualEffect& effect) { return cacheEntry(effect.key, effect.flags); }));
    return {};
}

}  // namespace kelvo
