#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/view_records.hpp"
#include "runtime/canvas/canvas_frame_tick_state.hpp"
#include "widgets/widget_render_context.hpp"

namespace kelvo {

// The widgets a user is interacting with on a canvas view (widget ids, 0 for none), and when the
// view last had input.
struct CanvasInteraction {
    std::uint64_t focusedWidget = 0;
    std::uint64_t focusVisibleWidget = 0;
    std::uint64_t hoveredWidget = 0;
    std::uint64_t pressedWidget = 0;
    std::uint64_t selectionOwner = 0;
    // The pointer in view coordinates where the hovered chart shows its hover point; read only
    // while `chartHoverPointer` is set (the hovered widget is a chart showing a point).
    float pointerX = 0;
    float pointerY = 0;
    bool chartHoverPointer = false;
    // The pointer's last known position in view coordinates, kept by every pointer and wheel event;
    // `pointerInView` is cleared when the pointer leaves the view. Hover is found again there
    // whenever content scrolls under a resting pointer.
    float lastPointerX = 0;
    float lastPointerY = 0;
    bool pointerInView = false;
    // Click counting: consecutive primary presses (0 to 3), and the time (the platform's clock)
    // and place of the last primary press.
    std::uint8_t clickCount = 0;
    std::optional<std::uint64_t> lastPrimaryPressNs;
    float lastPrimaryPressX = 0;
    float lastPrimaryPressY = 0;
    // The pointer shape the widget under the pointer asks for.
    CursorKind cursor = CursorKind::arrow;
    // The short id list (accordions in it draw their content while they close); read only while
    // `shortIdsActive` is set.
    std::array<std::uint64_t, 8> shortIds{};
    std::uint8_t shortIdCount = 0;
    bool shortIdsActive = false;
    // Input timestamps (the platform's clock): the latest input not yet matched by a frame, and
    // the latest input.
    std::uint64_t pendingInputNs = 0;
    std::uint64_t lastInputNs = 0;
};

// What the runtime last published of a canvas view's widgets to the accessibility layer.
struct CanvasAccessibility {
    bool published = false;
    // A publication waits for the frame tick (or the end of the refresh batch).
    bool deferred = false;
    std::uint64_t fingerprint = 0;
};

// The counters of a view's last planned canvas frame, in the order the view JSON lists them:
// X(field, key) with the JSON key "canvasFrame" followed by `key`.
#define KELVO_CANVAS_FRAME_COUNTERS(X)                                          \
    X(batchCount, BatchCount)                                                   \
    X(encoderCommandCount, EncoderCommandCount)                                 \
    X(encoderCacheActionCount, EncoderCacheActionCount)                         \
    X(encoderBindPipelineCount, EncoderBindPipelineCount)                       \
    X(encoderDrawBatchCount, EncoderDrawBatchCount)                             \
    X(pipelineCount, PipelineCount)                                             \
    X(pipelineUploadCount, PipelineUploadCount)                                 \
    X(pipelineRetainCount, PipelineRetainCount)                                 \
    X(pipelineEvictCount, PipelineEvictCount)                                   \
    X(pathGeometryCount, PathGeometryCount)                                     \
    X(pathGeometryVertexCount, PathGeometryVertexCount)                         \
    X(pathGeometryIndexCount, PathGeometryIndexCount)                           \
    X(pathGeometryUploadCount, PathGeometryUploadCount)                         \
    X(pathGeometryRetainCount, PathGeometryRetainCount)                         \
    X(pathGeometryEvictCount, PathGeometryEvictCount)                           \
    X(imageCount, ImageCount)                                                   \
    X(imageUploadCount, ImageUploadCount)                                       \
    X(imageRetainCount, ImageRetainCount)                                       \
    X(imageEvictCount, ImageEvictCount)                                         \
    X(layerCount, LayerCount)                                                   \
    X(layerOpacityCount, LayerOpacityCount)                                     \
    X(layerClipCount, LayerClipCount)                                           \
    X(layerTransformCount, LayerTransformCount)                                 \
    X(layerUploadCount, LayerUploadCount)                                       \
    X(layerRetainCount, LayerRetainCount)                                       \
    X(layerEvictCount, LayerEvictCount)                                         \
    X(resourceCount, ResourceCount)                                             \
    X(resourceUploadCount, ResourceUploadCount)                                 \
    X(resourceRetainCount, ResourceRetainCount)                                 \
    X(resourceEvictCount, ResourceEvictCount)                                   \
    X(visualEffectCount, VisualEffectCount)                                     \
    X(visualEffectShadowCount, VisualEffectShadowCount)                         \
    X(visualEffectBlurCount, VisualEffectBlurCount)                             \
    X(visualEffectUploadCount, VisualEffectUploadCount)                         \
    X(visualEffectRetainCount, VisualEffectRetainCount)                         \
    X(visualEffectEvictCount, VisualEffectEvictCount)                           \
    X(glyphAtlasEntryCount, GlyphAtlasEntryCount)                               \
    X(glyphAtlasUploadCount, GlyphAtlasUploadCount)                             \
    X(glyphAtlasRetainCount, GlyphAtlasRetainCount)                             \
    X(glyphAtlasEvictCount, GlyphAtlasEvictCount)                               \
    X(textLayoutCount, TextLayoutCount)                                         \
    X(textLayoutLineCount, TextLayoutLineCount)                                 \
    X(textLayoutUploadCount, TextLayoutUploadCount)                             \
    X(textLayoutRetainCount, TextLayoutRetainCount)                             \
    X(textLayoutEvictCount, TextLayoutEvictCount)                               \
    X(gpuPacketCommandCount, GpuPacketCommandCount)                             \
    X(gpuPacketCacheActionCount, GpuPacketCacheActionCount)                     \
    X(gpuPacketCachedResourceCommandCount, GpuPacketCachedResourceCommandCount) \
    X(gpuPacketUnsupportedCommandCount, GpuPacketUnsupportedCommandCount)

// How much work a planned canvas frame risks against its budgets.
enum class CanvasFrameRisk : std::uint8_t { idle = 0, low = 1, moderate = 2, high = 3 };

// What a view reports of its last planned canvas frame. A view that never planned one reports
// these values: every counter 0 and every flag clear, as a new view record starts.
struct CanvasFrameInfo {
    bool requiresRender = false;
    bool fullRepaint = false;
#define KELVO_CANVAS_FRAME_COUNTER_FIELD(field, key) std::uint64_t field = 0;
    KELVO_CANVAS_FRAME_COUNTERS(KELVO_CANVAS_FRAME_COUNTER_FIELD)
#undef KELVO_CANVAS_FRAME_COUNTER_FIELD
    bool gpuPacketRepresentable = false;
    std::uint64_t changeCount = 0;
    std::uint64_t budgetExceededCount = 0;
    bool budgetOk = false;
    std::optional<RectF> dirtyBounds;
    std::uint64_t profileWorkUnits = 0;
    CanvasFrameRisk profileRisk = CanvasFrameRisk::idle;
    float profileSurfaceArea = 0;
    float profileDirtyArea = 0;
    float profileDirtyRatio = 0;
    friend bool operator==(const CanvasFrameInfo&, const CanvasFrameInfo&) = default;
};

// How a view's frames reach the platform: through canvas packets or raw pixels.
enum class CanvasPresentPath : std::uint8_t { none = 0, packet = 1, pixels = 2 };
// Why a view fell back from packets to pixels.
enum class CanvasPresentFallback : std::uint8_t {
    none = 0,
    json_overflow = 1,
    binary_overflow = 2,
    unsupported_command = 3,
    missing_service = 4,
    patch_refused = 5,
};
// Whether the last packet redrew everything or patched the retained state.
enum class CanvasPresentMode : std::uint8_t { none = 0, full = 1, patch = 2 };

// What a view reports of presenting its frames. A view that never presented reports these values.
struct CanvasPresentInfo {
    CanvasPresentPath path = CanvasPresentPath::none;
    CanvasPresentFallback fallback = CanvasPresentFallback::none;
    std::uint64_t fallbackNeeded = 0;
    std::uint64_t fallbackLimit = 0;
    std::string_view fallbackCommand;
    std::uint64_t fallbackFrames = 0;
    CanvasPresentMode mode = CanvasPresentMode::none;
    std::uint64_t patchBytes = 0;
    std::uint64_t patchUpserts = 0;
    std::uint64_t patchEvicts = 0;
    std::uint64_t retainedCommands = 0;
    friend bool operator==(const CanvasPresentInfo&, const CanvasPresentInfo&) = default;
};

// What a view keeps of presenting its frames: the report, the generation of its last packet, the
// size generation that packet was drawn for, and whether the surface retains its commands by key
// (so that the next frame can go as a patch).
struct CanvasPresentState {
    CanvasPresentInfo info;
    std::uint64_t generation = 0;  // the last "clear" packet's, counting up from 1
    std::uint64_t sizeGeneration = 0;
    bool retained = false;  // the surface keeps the last "clear" packet's commands for patches
};

// The canvas widget state a view record carries. The widget tree, tokens, display list,
// semantics and animations of a canvas view live in its canvas slot (canvas_slots.hpp), which
// stays put when the record moves; whatever else is added must live inside the record (so a
// record can be copied to another place in the view table) or be rebuilt by
// `rebindMovedCanvasView`.
struct CanvasViewState {
    // The canvas slot holding the view's widget tree and display list (canvas views only).
    std::optional<std::uint8_t> slot;
    // Mirrors of the slot's counters, so a view record alone can report them: the display list's
    // revision and command count, the widget tree's revision and node count, the semantics count.
    std::uint64_t revision = 0;
    std::uint64_t commandCount = 0;
    std::uint64_t widgetRevision = 0;
    std::uint64_t widgetNodeCount = 0;
    std::uint64_t semanticsCount = 0;
    // Grows whenever the widgets' semantics change without a new tree (toggles, scrolling, edits).
    std::uint64_t semanticsRevision = 0;
    std::uint64_t contextMenuItemCount = 0;
    // The surface frame the platform last reported; the next frame is drawn in full while
    // `fullFrameDue` is set; `sizeGeneration` advances whenever size-dependent state starts again.
    RectF surfaceFrame{};
    bool fullFrameDue = false;
    std::uint64_t sizeGeneration = 0;
    CanvasInteraction interaction;
    CanvasAccessibility accessibility;
    // Commands of the stored display list that the widget tree does not draw: the first
    // `leadingCommands` and the last `trailingCommands` stay in place around the widgets'
    // commands, and `reservedCommands` more must always fit besides the list.
    std::uint64_t leadingCommands = 0;
    std::uint64_t trailingCommands = 0;
    std::uint64_t reservedCommands = 0;
    // The view's display list is drawn from its widget tree: invalidations refresh it.
    bool refreshWanted = false;
    // A refresh asked the platform for a frame that has not been ticked yet.
    bool frameRequested = false;
    // What the frame tick keeps between frames.
    CanvasFrameTickState tick;
    // The report of the last frame the tick planned, as the view's public state lists it.
    CanvasFrameInfo frameInfo;
    CanvasPresentState present;
};

// The canvas part of a view's public state. A view that has never drawn reports these values.
struct CanvasViewInfo {
    std::uint64_t canvasRevision = 0;
    std::uint64_t canvasCommandCount = 0;
    std::uint64_t gpuFrameCount = 0;
    std::uint64_t gpuTimestampNs = 0;
    std::uint64_t gpuFrameIntervalNs = kDefaultFrameIntervalNs;
    std::uint64_t gpuInputTimestampNs = 0;
    std::uint64_t gpuInputLatencyNs = 0;
    std::uint64_t gpuInputLatencyBudgetNs = kDefaultInputLatencyBudgetNs;
    std::uint64_t gpuInputLatencyBudgetExceededCount = 0;
    bool gpuInputLatencyBudgetOk = false;
    std::uint64_t gpuFirstFrameLatencyNs = 0;
    std::uint64_t gpuFirstFrameLatencyBudgetNs = kDefaultFirstFrameLatencyBudgetNs;
    std::uint64_t gpuFirstFrameLatencyBudgetExceededCount = 0;
    bool gpuFirstFrameLatencyBudgetOk = false;
    bool gpuNonblank = false;
    std::uint32_t gpuSampleColor = 0;
    CanvasFrameInfo frame;
    CanvasPresentInfo present;
    std::uint64_t widgetRevision = 0;
    std::uint64_t widgetNodeCount = 0;
    std::uint64_t semanticsCount = 0;
    std::uint64_t contextMenuItemCount = 0;
    CursorKind cursor = CursorKind::arrow;
    friend bool operator==(const CanvasViewInfo&, const CanvasViewInfo&) = default;
};

// The interaction state a canvas view's widgets are drawn in; see `canvasWidgetRenderState`.
using CanvasWidgetRenderState = WidgetRenderState;

}  // namespace kelvo
