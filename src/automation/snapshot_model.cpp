#include "automation/snapshot_model.hpp"

#include <unistd.h>

#include <algorithm>
#include <limits>

#include "runtime/canvas/canvas_slots.hpp"
#include "runtime/canvas/view_canvas.hpp"
#include "runtime/runtime.hpp"
#include "runtime/views/view_list.hpp"
#include "widgets/thread_scratch.hpp"
#include "widgets/virtual_list.hpp"

namespace kelvo {

namespace {

// Every table a model points into, and the semantics of the view being gathered.
struct SnapshotTables {
    std::array<AutomationSnapshotWindow, kMaxSnapshotWindows> windows;
    std::array<ViewInfo, kMaxSnapshotViews> views;
    std::array<AutomationSnapshotWidget, kMaxSnapshotWidgets> widgets;
    std::array<AutomationSnapshotMenuItem, kMaxSnapshotMenuItems> menuItems;
    std::array<FrameProfilePhaseStats, kFrameProfileStageCount> phases;
    std::array<WidgetSemanticsNode, kMaxWidgetSemanticsNodes> semantics;
};

SnapshotTables& snapshotTables() { return perThreadCanvasScratch<SnapshotTables>(); }

struct Counts {
    std::size_t windows = 0;
    std::size_t views = 0;
    std::size_t widgets = 0;
    std::size_t menuItems = 0;
};

std::uint32_t saturatedU32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

// The view's per-widget record of a widget: the laid-out node with its id. Semantics nodes come in
// tree order, so the search starts where the previous one ended and goes round once.
const WidgetLayoutNode* layoutNodeOf(WidgetLayoutTree tree, std::uint64_t id, std::size_t& cursor) {
    for (std::size_t step = 0; step < tree.size(); ++step) {
        const std::size_t index = (cursor + step) % tree.size();
        if (tree[index].id == id) {
            cursor = index + 1;
            return &tree[index];
        }
    }
    return nullptr;
}

// A virtual list's realised items, from its item count, extents, insets and scroll offset
// (`value`). None for anything that is not an enabled, sized virtual list.
std::optional<AutomationVirtualRange> virtualRangeOf(const WidgetLayoutNode& node) {
    if (node.virtual_count == 0 || (node.disabled & 1u) != 0 || !(node.item_extent > 0)) return std::nullopt;
    const float viewport = node.rect.height - node.insets.top - node.insets.bottom;
    const float across = node.rect.width - node.insets.left - node.insets.right;
    if (!(viewport > 0) || !(across > 0)) return std::nullopt;
    const VirtualListRange range =
        virtualListRange(VirtualListInput{node.virtual_count, 0, node.item_extent, node.gap, viewport, node.value});
    const std::uint32_t start = saturatedU32(range.start);
    const std::uint32_t end = saturatedU32(range.stop);
    return AutomationVirtualRange{start, end, saturatedU32(range.first_visible), saturatedU32(range.last_visible),
                                  end - std::min(start, end)};
}

bool selectedByValue(WidgetSemanticRole role) {
    using R = WidgetSemanticRole;
    return role == R::listitem || role == R::gridcell || role == R::tab || role == R::checkbox || role == R::radio ||
           role == R::switch_;
}

AutomationSnapshotWidget widgetRow(const RuntimeView& view, std::span<const WidgetSemanticsNode> nodes,
                                   const WidgetSemanticsNode& node, const CanvasWidgetRenderState& render) {
    AutomationSnapshotWidget row;
    row.windowId = view.windowId;
    row.viewLabel = view.label.view();
    row.widgetId = node.id;
    row.role = automationRoleName(node.role);
    row.name = node.label;
    row.text = node.value_text;
    row.placeholder = node.placeholder;
    if (node.parent && *node.parent < nodes.size()) row.parentId = nodes[*node.parent].id;
    if (node.selection) row.selection = AutomationTextRange{node.selection->start, node.selection->end};
    if (node.composition) row.composition = AutomationTextRange{node.composition->start, node.composition->end};
    row.rowIndex = node.row_index;
    row.columnIndex = node.column_index;
    row.rowCount = node.row_count;
    row.columnCount = node.column_count;
    if (node.scrollable != 0) {
        row.scroll = AutomationScrollState{node.scroll_offset, node.scroll_viewport, node.scroll_content};
    }
    if (node.list_position)
        row.listPosition = AutomationListPosition{node.list_position->index, node.list_position->count};
    row.value = node.numeric_value;
    row.bounds = RectF{node.frame.x + view.frame.x, node.frame.y + view.frame.y, node.frame.width, node.frame.height};

    const WidgetStateBytes& state = node.state;
    const bool matchesId = node.id != 0;
    row.focused = (state.focused & 1u) != 0 || (render.focused && *render.focused == node.id);
    row.enabled = (state.disabled & 1u) == 0;
    row.hovered = (state.hovered & 1u) != 0 || (matchesId && render.hovered == node.id);
    row.pressed = (state.pressed & 1u) != 0 || (matchesId && render.pressed == node.id);
    row.selected =
        (state.selected & 1u) != 0 || (node.numeric_value && *node.numeric_value >= 0.5f && selectedByValue(node.role));
    row.expandable = (state.expanded_present & 1u) != 0;
    row.expanded = (state.expanded & 1u) != 0;
    row.required = (state.required & 1u) != 0;
    row.readOnly = (state.read_only & 1u) != 0;
    row.invalid = (state.invalid & 1u) != 0;
    std::span<const WidgetActionFlag> flags = widgetActionFlags();
    for (std::size_t i = 0; i < flags.size() && i < row.actions.size(); ++i) {
        row.actions[i] = (node.actions.*flags[i] & 1u) != 0;
    }
    return row;
}

// Copies the widget's context-menu items into the shared pool, as many as still fit.
std::span<const AutomationSnapshotMenuItem> poolMenu(SnapshotTables& tables, Counts& counts,
                                                     std::span<const WidgetContextMenuItem> items) {
    const std::size_t take = std::min(items.size(), tables.menuItems.size() - counts.menuItems);
    AutomationSnapshotMenuItem* first = tables.menuItems.data() + counts.menuItems;
    for (std::size_t i = 0; i < take; ++i) first[i] = {items[i].label, items[i].enabled, items[i].separator};
    counts.menuItems += take;
    return {first, take};
}

void gatherCanvasWidgets(const Runtime& runtime, const RuntimeView& view, SnapshotTables& tables, Counts& counts) {
    const CanvasSlot* slot = canvasSlotOf(runtime.canvasSlots, view);
    if (slot == nullptr) return;
    const WidgetLayoutTree tree = slot->tree.tree();
    // A list the toolkit could not finish is never published.
    Result<std::size_t> collected = collectSemantics(tree, tables.semantics);
    if (!collected) return;
    const std::span<const WidgetSemanticsNode> nodes(tables.semantics.data(), *collected);
    const CanvasWidgetRenderState render = canvasWidgetRenderState(runtime, view);
    std::size_t cursor = 0;
    for (const WidgetSemanticsNode& node : nodes) {
        if (counts.widgets == tables.widgets.size()) return;
        AutomationSnapshotWidget& row = tables.widgets[counts.widgets++];
        row = widgetRow(view, nodes, node, render);
        if (node.id == 0) continue;
        if (const WidgetLayoutNode* record = layoutNodeOf(tree, node.id, cursor)) {
            row.virtualRange = virtualRangeOf(*record);
            row.contextMenu = poolMenu(tables, counts, record->context_menu);
        }
    }
}

void gatherWindow(const Runtime& runtime, std::uint64_t windowId, SnapshotTables& tables, Counts& counts) {
    if (counts.views < tables.views.size()) {
        std::span<ViewInfo> room(tables.views.data() + counts.views, tables.views.size() - counts.views);
        counts.views += listViews(runtime, windowId, room).size();
    }
    for (const RuntimeView& view : runtime.views) {
        if (!view.open || view.windowId != windowId || view.kind != ViewKind::gpu_surface) continue;
        gatherCanvasWidgets(runtime, view, tables, counts);
    }
}

std::uint32_t publisherPid() {
    const pid_t pid = ::getpid();
    return pid > 0 ? static_cast<std::uint32_t>(pid) : 0;
}

}  // namespace

std::string_view automationRoleName(WidgetSemanticRole role) {
    std::string_view name = widgetSemanticRoleName(role);
    if (!name.empty()) return name;
    return static_cast<unsigned>(role) == kWidgetSemanticRoleCount ? "group" : "none";
}

std::optional<std::span<const FrameProfilePhaseStats>> automationFrameProfile(const Runtime& runtime) {
    const FrameProfile& profile = runtime.frameProfile;
    if (!profile.enabled) return std::nullopt;
    std::array<FrameProfilePhaseStats, kFrameProfileStageCount>& phases = snapshotTables().phases;
    for (std::uint32_t stage = 0; stage < kFrameProfileStageCount; ++stage) {
        const FrameProfileStats stats = profile.stats(stage);
        phases[stage] =
            FrameProfilePhaseStats{frameProfileStageName(stage), stats.p50, stats.p90, stats.max, stats.total};
    }
    return std::span<const FrameProfilePhaseStats>(phases);
}

AutomationSnapshotModel automationSnapshot(const Runtime& runtime, std::string_view name) {
    SnapshotTables& tables = snapshotTables();
    Counts counts;
    if (runtime.windows.empty()) {
        const RectF size = runtime.appConfig.mainWindow.frame;
        tables.windows[counts.windows++] = AutomationSnapshotWindow{1, name, {0, 0, size.width, size.height}, true};
    }
    for (const RuntimeWindow& window : runtime.windows) {
        if (counts.windows == tables.windows.size()) break;
        const std::string_view title = window.title.empty() ? name : window.title.view();
        tables.windows[counts.windows++] = AutomationSnapshotWindow{window.id, title, window.frame, window.focused};
        gatherWindow(runtime, window.id, tables, counts);
    }

    AutomationSnapshotModel model;
    model.windows = std::span<const AutomationSnapshotWindow>(tables.windows.data(), counts.windows);
    model.views = std::span<const ViewInfo>(tables.views.data(), counts.views);
    model.widgets = std::span<const AutomationSnapshotWidget>(tables.widgets.data(), counts.widgets);
    // The header is read after the tables, as the publication sees it.
    const std::uint64_t now = runtimeMonotonicNs(runtime);
    model.uptimeNs = now > runtime.startMonotonicNs ? now - runtime.startMonotonicNs : 0;
    model.frame = runtime.frameCounter;
    model.commands = runtime.changeCounter;
    model.dispatchErrors = runtime.dispatchErrors.total;
    model.droppedTraceRecords = runtime.trace.droppedRecords;
    model.publisherPid = publisherPid();
    model.frameProfile = automationFrameProfile(runtime);
    model.errors = runtime.dispatchErrors.recent.span();
    if (runtime.appSourcePresent) {
        model.source = AutomationSnapshotSource{runtime.appSource.kind, runtime.appSource.text.size(), true};
    }
    // The runtime keeps no status-bar item, no audio source and no markup watch of its own: those
    // parts of the model stay absent.
    return model;
}

}  // namespace kelvo
