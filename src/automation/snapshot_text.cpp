#include "automation/snapshot_text.hpp"

#include <array>

#include "automation/text_out.hpp"

namespace kelvo {

namespace {

// The protocol version the header announces to clients.
constexpr std::uint64_t kSnapshotProtocol = 6;

// The name at `value`; values past the table take its last name (the files print, for instance,
// backend 3 as "software").
template <std::size_t N, class Enum>
std::string_view nameOrLast(const std::array<std::string_view, N>& names, Enum value) {
    const auto index = static_cast<std::size_t>(value);
    return names[index < N ? index : N - 1];
}

constexpr std::array<std::string_view, 3> kBackendNames = {"none", "metal", "software"};
constexpr std::array<std::string_view, 3> kAlphaModeNames = {"none", "opaque", "premultiplied"};
constexpr std::array<std::string_view, 3> kColorSpaceNames = {"none", "srgb", "display_p3"};
constexpr std::array<std::string_view, 4> kStatusNames = {"unavailable", "initializing", "ready", "lost"};
constexpr std::array<std::string_view, 3> kPresentPathNames = {"none", "packet", "pixels"};
constexpr std::array<std::string_view, 6> kPresentFallbackNames = {
    "none", "json_overflow", "binary_overflow", "unsupported_command", "missing_service", "patch_refused"};
constexpr std::array<std::string_view, 3> kPresentModeNames = {"none", "full", "patch"};
constexpr std::array<std::string_view, 4> kRiskNames = {"idle", "low", "moderate", "high"};
constexpr std::array<std::string_view, 4> kCursorNames = {"arrow", "pointing_hand", "text", "resize_horizontal"};
constexpr std::array<std::string_view, 3> kSourceKindNames = {"html", "url", "assets"};

// The frame-plan counters in the order the view line prints them (the order of the record).
#define KELVO_FRAME_COUNTER_MEMBER(field, key) &CanvasFrameInfo::field,
constexpr std::uint64_t CanvasFrameInfo::*kFrameCounters[] = {KELVO_CANVAS_FRAME_COUNTERS(KELVO_FRAME_COUNTER_MEMBER)};
#undef KELVO_FRAME_COUNTER_MEMBER
constexpr std::string_view kFrameCounterKeys[] = {
    "batches",
    "encoder_commands",
    "encoder_cache_actions",
    "encoder_pipeline_binds",
    "encoder_draws",
    "pipelines",
    "pipeline_uploads",
    "pipeline_retains",
    "pipeline_evicts",
    "path_geometries",
    "path_vertices",
    "path_indices",
    "path_uploads",
    "path_retains",
    "path_evicts",
    "images",
    "image_uploads",
    "image_retains",
    "image_evicts",
    "layers",
    "opacity_layers",
    "clip_layers",
    "transform_layers",
    "layer_uploads",
    "layer_retains",
    "layer_evicts",
    "resources",
    "uploads",
    "retains",
    "evicts",
    "effects",
    "shadows",
    "blurs",
    "effect_uploads",
    "effect_retains",
    "effect_evicts",
    "glyphs",
    "glyph_uploads",
    "glyph_retains",
    "glyph_evicts",
    "text_layouts",
    "text_lines",
    "text_uploads",
    "text_retains",
    "text_evicts",
    "gpu_packet_commands",
    "gpu_packet_cache_actions",
    "gpu_packet_cached_resources",
    "gpu_packet_unsupported",
};
static_assert(std::size(kFrameCounters) == std::size(kFrameCounterKeys));

// Writes " key=" before each field of one line.
class Fields {
public:
    explicit Fields(TextOut& out) : out_(out) {}
    TextOut& key(std::string_view name) { return out_.put(' ').raw(name).put('='); }

private:
    TextOut& out_;
};

// Writes the items of one bracketed list, "," between the items it actually writes.
class ListItems {
public:
    explicit ListItems(TextOut& out) : out_(out) {}
    TextOut& next() {
        if (any_) out_.put(',');
        any_ = true;
        return out_;
    }

private:
    TextOut& out_;
    bool any_ = false;
};

// ---- widget suffix parts, shared by snapshot.txt and accessibility.txt ----

void writeWidgetParent(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (widget.parentId) out.raw(" parent=#").uint(*widget.parentId);
}

void writeWidgetValue(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (widget.value) out.raw(" value=").real(*widget.value);
}

void writeWidgetTextValue(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (!widget.text.empty()) out.raw(" text=").quoted(widget.text);
}

void writeWidgetPlaceholder(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (!widget.placeholder.empty()) out.raw(" placeholder=").quoted(widget.placeholder);
}

void writeWidgetGridValue(ListItems& items, std::string_view name, const std::optional<std::uint64_t>& value) {
    if (value) items.next().raw(name).put('=').uint(*value);
}

void writeWidgetGrid(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (!widget.rowIndex && !widget.columnIndex && !widget.rowCount && !widget.columnCount) return;
    out.raw(" grid=[");
    ListItems items(out);
    writeWidgetGridValue(items, "row_index", widget.rowIndex);
    writeWidgetGridValue(items, "column_index", widget.columnIndex);
    writeWidgetGridValue(items, "row_count", widget.rowCount);
    writeWidgetGridValue(items, "column_count", widget.columnCount);
    out.put(']');
}

void writeWidgetList(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (!widget.listPosition) return;
    out.raw(" list=[index=").uint(widget.listPosition->index).raw(",count=").uint(widget.listPosition->count).put(']');
}

void writeWidgetScroll(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (!widget.scroll) return;
    const AutomationScrollState& scroll = *widget.scroll;
    out.raw(" scroll=[offset=").real(scroll.offset).raw(",viewport=").real(scroll.viewport);
    out.raw(",content=").real(scroll.content).put(']');
}

void writeWidgetVirtualRange(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (!widget.virtualRange) return;
    const AutomationVirtualRange& range = *widget.virtualRange;
    out.raw(" virtual=[start=").uint(range.start).raw(",end=").uint(range.end).raw(",first=").uint(range.first);
    out.raw(",last=").uint(range.last).raw(",rendered=").uint(range.rendered).put(']');
}

void writeWidgetStateFlag(ListItems& items, std::string_view name, bool set) {
    if (set) items.next().raw(name);
}

void writeWidgetState(TextOut& out, const AutomationSnapshotWidget& widget) {
    const bool any = widget.focused || !widget.enabled || widget.hovered || widget.pressed || widget.selected ||
                     widget.expandable || widget.required || widget.readOnly || widget.invalid;
    if (!any) return;
    out.raw(" state=[");
    ListItems items(out);
    writeWidgetStateFlag(items, "focused", widget.focused);
    writeWidgetStateFlag(items, "disabled", !widget.enabled);
    writeWidgetStateFlag(items, "hovered", widget.hovered);
    writeWidgetStateFlag(items, "pressed", widget.pressed);
    writeWidgetStateFlag(items, "selected", widget.selected);
    if (widget.expandable) writeWidgetStateFlag(items, widget.expanded ? "expanded" : "collapsed", true);
    writeWidgetStateFlag(items, "required", widget.required);
    writeWidgetStateFlag(items, "read_only", widget.readOnly);
    writeWidgetStateFlag(items, "invalid", widget.invalid);
    out.put(']');
}

void writeWidgetAction(ListItems& items, unsigned index, bool set) {
    if (set) items.next().raw(widgetActionName(index));
}

void writeWidgetActions(TextOut& out, const AutomationSnapshotWidget& widget) {
    bool any = false;
    for (bool set : widget.actions) any = any || set;
    if (!any) return;
    out.raw(" actions=[");
    ListItems items(out);
    for (unsigned i = 0; i < widget.actions.size(); ++i) writeWidgetAction(items, i, widget.actions[i]);
    out.put(']');
}

void writeWidgetTextRanges(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (widget.selection) out.raw(" selection=").uint(widget.selection->start).raw("..").uint(widget.selection->end);
    if (widget.composition) {
        out.raw(" composition=").uint(widget.composition->start).raw("..").uint(widget.composition->end);
    }
}

void writeWidgetContextMenu(TextOut& out, const AutomationSnapshotWidget& widget) {
    if (widget.contextMenu.empty()) return;
    out.raw(" context_menu=[");
    ListItems items(out);
    for (const AutomationSnapshotMenuItem& item : widget.contextMenu) {
        TextOut& entry = items.next();
        if (item.separator) {
            entry.raw("separator");
            continue;
        }
        entry.quoted(item.label);
        if (!item.enabled) entry.raw("(disabled)");
    }
    out.put(']');
}

// Every suffix part; the placeholder only in snapshot.txt.
void writeWidgetSuffix(TextOut& out, const AutomationSnapshotWidget& widget, bool withPlaceholder) {
    writeWidgetParent(out, widget);
    writeWidgetValue(out, widget);
    writeWidgetTextValue(out, widget);
    if (withPlaceholder) writeWidgetPlaceholder(out, widget);
    writeWidgetGrid(out, widget);
    writeWidgetList(out, widget);
    writeWidgetScroll(out, widget);
    writeWidgetVirtualRange(out, widget);
    writeWidgetState(out, widget);
    writeWidgetActions(out, widget);
    writeWidgetTextRanges(out, widget);
    writeWidgetContextMenu(out, widget);
}

// ---- snapshot.txt ----

void writeHeader(TextOut& out, const AutomationSnapshotModel& model) {
    out.raw("ready=true protocol=").uint(kSnapshotProtocol);
    out.raw(" frame=").uint(model.frame).raw(" commands=").uint(model.commands);
    out.raw(" runtime_uptime_ns=").uint(model.uptimeNs).raw(" dispatch_errors=").uint(model.dispatchErrors);
    out.raw(" dropped_trace_records=").uint(model.droppedTraceRecords).raw(" publisher_pid=").uint(model.publisherPid);
    out.raw(" markup_watch=").raw(model.markupWatch ? "armed" : "off").put('\n');
}

void writeFrameProfile(TextOut& out, std::span<const FrameProfilePhaseStats> phases) {
    out.raw("frame_profile");
    for (const FrameProfilePhaseStats& phase : phases) {
        out.put(' ').raw(phase.name).raw("_p50_us=").uint(phase.p50);
        out.put(' ').raw(phase.name).raw("_p90_us=").uint(phase.p90);
        out.put(' ').raw(phase.name).raw("_max_us=").uint(phase.max);
        out.put(' ').raw(phase.name).raw("_n=").uint(phase.n);
    }
    out.put('\n');
}

void writeWindowLine(TextOut& out, const AutomationSnapshotModel& model, const AutomationSnapshotWindow& window) {
    out.raw("window @w").uint(window.id).put(' ').quoted(window.title).raw(" bounds=").rect(window.frame);
    out.raw(" focused=").boolean(window.focused).raw(" frame=").uint(model.frame);
    out.raw(" commands=").uint(model.commands).put('\n');
}

void writeHeadroom(Fields& fields, std::string_view key, std::uint64_t count, std::uint64_t limit) {
    fields.key(key).uint(count).put('/').uint(limit);
}

void writeGpuSurfaceFields(TextOut& out, const ViewInfo& view) {
    const CanvasViewInfo& canvas = view.canvas;
    const CanvasFrameInfo& frame = canvas.frame;
    const CanvasPresentInfo& present = canvas.present;
    Fields fields(out);
    fields.key("gpu_size").real(view.gpuWidth).put('x').real(view.gpuHeight);
    fields.key("gpu_scale").real(view.gpuScale);
    fields.key("gpu_backend").raw(nameOrLast(kBackendNames, view.gpu.backend));
    fields.key("gpu_pixel_format").raw(view.gpu.pixelFormat != GpuPixelFormat::none ? "bgra8_unorm" : "none");
    fields.key("gpu_present_mode").raw(view.gpu.presentMode != GpuPresentMode::none ? "timer" : "none");
    fields.key("gpu_alpha_mode").raw(nameOrLast(kAlphaModeNames, view.gpu.alphaMode));
    fields.key("gpu_color_space").raw(nameOrLast(kColorSpaceNames, view.gpu.colorSpace));
    fields.key("gpu_vsync").boolean(view.gpu.vsync);
    fields.key("gpu_status").raw(nameOrLast(kStatusNames, view.gpuStatus));
    fields.key("gpu_present_path").raw(nameOrLast(kPresentPathNames, present.path));
    fields.key("gpu_frame").uint(canvas.gpuFrameCount);
    fields.key("gpu_timestamp_ns").uint(canvas.gpuTimestampNs);
    fields.key("gpu_frame_interval_ns").uint(canvas.gpuFrameIntervalNs);
    fields.key("gpu_input_timestamp_ns").uint(canvas.gpuInputTimestampNs);
    fields.key("gpu_input_latency_ns").uint(canvas.gpuInputLatencyNs);
    fields.key("gpu_input_latency_budget_ns").uint(canvas.gpuInputLatencyBudgetNs);
    fields.key("gpu_input_latency_budget_exceeded").uint(canvas.gpuInputLatencyBudgetExceededCount);
    fields.key("gpu_input_latency_budget_ok").boolean(canvas.gpuInputLatencyBudgetOk);
    fields.key("gpu_first_frame_latency_ns").uint(canvas.gpuFirstFrameLatencyNs);
    fields.key("gpu_first_frame_latency_budget_ns").uint(canvas.gpuFirstFrameLatencyBudgetNs);
    fields.key("gpu_first_frame_latency_budget_exceeded").uint(canvas.gpuFirstFrameLatencyBudgetExceededCount);
    fields.key("gpu_first_frame_latency_budget_ok").boolean(canvas.gpuFirstFrameLatencyBudgetOk);
    fields.key("gpu_nonblank").boolean(canvas.gpuNonblank);
    fields.key("gpu_sample").hex32(canvas.gpuSampleColor);
    fields.key("present_fallback").raw(nameOrLast(kPresentFallbackNames, present.fallback));
    fields.key("present_fallback_needed").uint(present.fallbackNeeded);
    fields.key("present_fallback_limit").uint(present.fallbackLimit);
    fields.key("present_fallback_command").quoted(present.fallbackCommand);
    fields.key("present_fallback_frames").uint(present.fallbackFrames);
    fields.key("present_mode").raw(nameOrLast(kPresentModeNames, present.mode));
    fields.key("present_patch_bytes").uint(present.patchBytes);
    fields.key("present_patch_upserts").uint(present.patchUpserts);
    fields.key("present_patch_evicts").uint(present.patchEvicts);
    fields.key("present_retained_commands").uint(present.retainedCommands);
    fields.key("canvas_revision").uint(canvas.canvasRevision);
    fields.key("canvas_commands").uint(canvas.canvasCommandCount);
    fields.key("canvas_frame_requires_render").boolean(frame.requiresRender);
    fields.key("canvas_frame_full_repaint").boolean(frame.fullRepaint);
    for (std::size_t i = 0; i < std::size(kFrameCounters); ++i) {
        out.raw(" canvas_frame_").raw(kFrameCounterKeys[i]).put('=').uint(frame.*kFrameCounters[i]);
    }
    fields.key("canvas_frame_gpu_packet_representable").boolean(frame.gpuPacketRepresentable);
    fields.key("canvas_frame_changes").uint(frame.changeCount);
    fields.key("canvas_frame_budget_exceeded").uint(frame.budgetExceededCount);
    fields.key("canvas_frame_budget_ok").boolean(frame.budgetOk);
    writeHeadroom(fields, "widget_nodes", canvas.widgetNodeCount, kSnapshotWidgetNodeLimit);
    writeHeadroom(fields, "widget_semantics", canvas.semanticsCount, kSnapshotWidgetSemanticsLimit);
    writeHeadroom(fields, "context_menu_items", canvas.contextMenuItemCount, kSnapshotContextMenuItemLimit);
    writeHeadroom(fields, "text_layout_plans", frame.textLayoutCount, kSnapshotTextLayoutPlanLimit);
    writeHeadroom(fields, "text_layout_lines", frame.textLayoutLineCount, kSnapshotTextLayoutLineLimit);
    if (frame.dirtyBounds) {
        fields.key("canvas_frame_dirty").rect(*frame.dirtyBounds);
    } else {
        fields.key("canvas_frame_dirty").raw("null");
    }
    fields.key("canvas_frame_profile_work_units").uint(frame.profileWorkUnits);
    fields.key("canvas_frame_profile_risk").raw(nameOrLast(kRiskNames, frame.profileRisk));
    fields.key("canvas_frame_profile_surface_area").real(frame.profileSurfaceArea);
    fields.key("canvas_frame_profile_dirty_area").real(frame.profileDirtyArea);
    fields.key("canvas_frame_profile_dirty_ratio").real(frame.profileDirtyRatio);
    fields.key("widget_revision").uint(canvas.widgetRevision);
    fields.key("widget_nodes").uint(canvas.widgetNodeCount);
    fields.key("widget_semantics").uint(canvas.semanticsCount);
    fields.key("widget_cursor").raw(nameOrLast(kCursorNames, canvas.cursor));
}

void writeViewLine(TextOut& out, const ViewInfo& view) {
    out.raw("  view @w").uint(view.windowId).put('/').raw(view.label).raw(" kind=").raw(viewKindName(view.kind));
    out.raw(" role=").quoted(view.role).raw(" accessibility_label=").quoted(view.accessibilityLabel);
    out.raw(" text=").quoted(view.text).raw(" bounds=").rect(view.frame).raw(" layer=").sint(view.layer);
    out.raw(" visible=").boolean(view.visible).raw(" enabled=").boolean(view.enabled);
    out.raw(" focused=").boolean(view.focused).raw(" open=").boolean(view.open);
    if (view.kind == ViewKind::webview) out.raw(" url=").quoted(view.url);
    if (view.kind == ViewKind::gpu_surface) writeGpuSurfaceFields(out, view);
    out.put('\n');
}

void writeWidgetLine(TextOut& out, const AutomationSnapshotWidget& widget) {
    out.raw("    widget @w").uint(widget.windowId).put('/').raw(widget.viewLabel).put('#').uint(widget.widgetId);
    out.raw(" role=").raw(widget.role).raw(" name=").quoted(widget.name).raw(" bounds=").rect(widget.bounds);
    out.raw(" focused=").boolean(widget.focused).raw(" enabled=").boolean(widget.enabled);
    writeWidgetSuffix(out, widget, true);
    out.put('\n');
}

void writeTray(TextOut& out, std::string_view title, std::span<const AutomationSnapshotTrayItem> items) {
    out.raw("tray title=").quoted(title).raw(" items=").uint(items.size()).put('\n');
    for (const AutomationSnapshotTrayItem& item : items) {
        if (item.separator) {
            out.raw("  tray-item separator\n");
            continue;
        }
        out.raw("  tray-item #").uint(item.id).raw(" label=").quoted(item.label);
        out.raw(" command=").quoted(item.command).raw(" enabled=").boolean(item.enabled).put('\n');
    }
}

void writeAudio(TextOut& out, const AutomationSnapshotAudio& audio) {
    const std::string_view state = audio.buffering ? "buffering" : audio.playing ? "playing" : "paused";
    out.raw("audio key=").uint(audio.key).raw(" state=").raw(state).raw(" source=").raw(audio.sourceKind);
    out.raw(" position_ms=").uint(audio.positionMs).raw(" duration_ms=").uint(audio.durationMs);
    out.raw(" spectrum_events=").uint(audio.spectrumEvents);
    if (audio.spectrumEvents != 0) out.raw(" spectrum_bands=").hexBytes(audio.spectrumBands);
    out.put('\n');
}

void writeErrorLine(TextOut& out, const DispatchErrorDetail& error) {
    out.raw("  error event=").raw(error.scope).raw(" name=").raw(error.errorName());
    if (!error.detailText().empty()) out.raw(" detail=").quoted(error.detailText());
    out.raw(" timestamp_ns=").uint(error.timeNs).put('\n');
}

// ---- accessibility.txt ----

std::string_view viewAccessibleName(const ViewInfo& view) {
    if (!view.accessibilityLabel.empty()) return view.accessibilityLabel;
    if (!view.text.empty()) return view.text;
    return view.label;
}

}  // namespace

Status writeSnapshotText(const AutomationSnapshotModel& model, const SnapshotTextSink& sink) {
    TextOut out(sink);
    writeHeader(out, model);
    if (model.frameProfile) writeFrameProfile(out, *model.frameProfile);
    for (const AutomationSnapshotWindow& window : model.windows) writeWindowLine(out, model, window);
    for (const ViewInfo& view : model.views) writeViewLine(out, view);
    for (const AutomationSnapshotWidget& widget : model.widgets) writeWidgetLine(out, widget);
    if (model.trayTitle) writeTray(out, *model.trayTitle, model.trayItems);
    if (model.audio) writeAudio(out, *model.audio);
    for (const DispatchErrorDetail& error : model.errors) writeErrorLine(out, error);
    if (model.source.present) {
        out.raw("  source kind=").raw(nameOrLast(kSourceKindNames, model.source.kind));
        out.raw(" bytes=").uint(model.source.bytes).put('\n');
    }
    return out.finish();
}

Status writeAccessibilityText(const AutomationSnapshotModel& model, const SnapshotTextSink& sink) {
    TextOut out(sink);
    out.raw("a11y root=@w1 nodes=").uint(model.windows.size() + model.views.size() + model.widgets.size()).put('\n');
    for (const AutomationSnapshotWindow& window : model.windows) {
        out.raw("@w").uint(window.id).raw(" role=window name=").quoted(window.title);
        out.raw(" bounds=").rect(window.frame).put('\n');
    }
    for (const ViewInfo& view : model.views) {
        out.raw("@w").uint(view.windowId).put('/').raw(view.label);
        out.raw(" role=").raw(view.role.empty() ? viewKindName(view.kind) : view.role);
        out.raw(" name=").quoted(viewAccessibleName(view)).raw(" bounds=").rect(view.frame).put('\n');
    }
    for (const AutomationSnapshotWidget& widget : model.widgets) {
        out.raw("@w").uint(widget.windowId).put('/').raw(widget.viewLabel).put('#').uint(widget.widgetId);
        out.raw(" role=").raw(widget.role).raw(" name=").quoted(widget.name).raw(" bounds=").rect(widget.bounds);
        writeWidgetSuffix(out, widget, false);
        out.put('\n');
    }
    return out.finish();
}

Status writeWindowsText(const AutomationSnapshotModel& model, const SnapshotTextSink& sink) {
    TextOut out(sink);
    for (const AutomationSnapshotWindow& window : model.windows) {
        out.raw("window @w").uint(window.id).put(' ').quoted(window.title);
        out.raw(" focused=").boolean(window.focused).put('\n');
    }
    return out.finish();
}

}  // namespace kelvo
