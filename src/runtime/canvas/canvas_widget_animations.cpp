#include "runtime/canvas/canvas_widget_animations.hpp"

#include <algorithm>

#include "runtime/canvas/view_canvas.hpp"
#include "runtime/views/view_table.hpp"
#include "widgets/widget_metrics.hpp"
#include "widgets/widget_render_controls.hpp"
#include "widgets/widget_routing.hpp"
#include "widgets/widget_semantics.hpp"
#include "widgets/widget_tree.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;
// The caret stays fully visible this long after a refresh before it starts to blink.
constexpr std::uint64_t kCaretSteadyNs = 500'000'000;
constexpr std::uint32_t kCaretFadeMs = 500;
constexpr std::uint32_t kSkeletonPulseMs = 1000;
constexpr float kSkeletonDimOpacity = 0.5f;
constexpr std::size_t kMaxIndicatorKeysPerRefresh = kMaxIndicatorAnimationKeys;

std::optional<std::size_t> nodeWithId(WidgetLayoutTree tree, std::uint64_t id) {
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].id == id) return i;
    }
    return std::nullopt;
}

// The focused text entry while it shows a blinking caret (focused with a visible focus, shown,
// not inside a closed accordion, enabled, with a collapsed selection): its caret key and laid-out
// rectangle; key 0 otherwise.
struct BlinkingCaret {
    std::uint64_t key = 0;
    Rect rect;
};

BlinkingCaret blinkingCaret(WidgetLayoutTree tree, const RuntimeView& view) {
    const CanvasInteraction& ids = view.canvas.interaction;
    if (!view.focused || ids.focusedWidget == 0 || ids.focusVisibleWidget != ids.focusedWidget) return {};
    const std::optional<std::size_t> index = nodeWithId(tree, ids.focusedWidget);
    if (!index || isWidgetHiddenHereOrAbove(tree, *index) || isWidgetConcealedByDisclosure(tree, *index) ||
        !canvasWidgetLayoutNodeFrameVisible(tree, *index)) {
        return {};
    }
    const WidgetLayoutNode& node = tree[*index];
    if (!isTextEntryKind(node.widgetKind()) || (node.disabled & 1u) != 0) return {};
    const std::optional<WidgetTextRange> selection = widgetTextSelectionRange(node);
    if (!selection || selection->start != selection->end) return {};
    const bool searchLike = node.widgetKind() == WidgetKind::search_field || node.widgetKind() == WidgetKind::combo_box;
    return {widgetAnimationKey(node.id, searchLike ? search_field_parts::kCaret : text_field_parts::kCaret), node.rect};
}

void scheduleCaret(CanvasSlot& slot, const RuntimeView& view, std::uint64_t now) {
    const BlinkingCaret blinking = blinkingCaret(slot.tree.tree(), view);
    const std::uint64_t key = blinking.key;
    std::uint64_t& remembered = slot.scheduled.caretKey;
    if (remembered != 0 && remembered != key) {
        slot.animations.remove(remembered);
        remembered = 0;
    }
    if (key == 0) return;
    WidgetAnimation* caret = slot.animations.upsert(key);
    if (caret == nullptr) return;
    *caret = WidgetAnimation{};
    caret->key = key;
    caret->start_ns = now + kCaretSteadyNs;
    caret->duration_ms = kCaretFadeMs;
    caret->from_opacity = 1.0f;
    caret->to_opacity = 0.0f;
    caret->easing = AnimationEasing::smoothstep;
    caret->repeat = AnimationRepeat::alternate;
    slot.animations.setDirty(key, blinking.rect);
    remembered = key;
}

bool isLoadingIndicator(WidgetLayoutTree tree, std::size_t index) {
    const WidgetLayoutNode& node = tree[index];
    const WidgetKind kind = node.widgetKind();
    if (kind != WidgetKind::skeleton && kind != WidgetKind::spinner) return false;
    const Rect rect = normalizeRect(node.rect);
    return node.id != 0 && node.opacity > 0 && rect.width > 0 && rect.height > 0 &&
           !isWidgetHiddenHereOrAbove(tree, index);
}

class IndicatorScheduler {
public:
    IndicatorScheduler(CanvasSlot& slot, std::uint64_t now) : slot_(slot), now_(now) {}

    // False once the refresh's key budget is spent: no indicator after it is scheduled.
    bool schedule(const WidgetLayoutNode& node, const WidgetTokens& tokens) {
        const std::uint32_t periodMs = std::max<std::uint32_t>(tokens.spinner_period, 1);
        if (node.widgetKind() == WidgetKind::skeleton) {
            if (keys_.full()) return false;
            if (WidgetAnimation* a = add(node, widgetAnimationKey(node.id, kSkeletonAnimationPart), now_)) {
                a->duration_ms = kSkeletonPulseMs;
                a->from_opacity = 1.0f;
                a->to_opacity = kSkeletonDimOpacity;
                a->easing = static_cast<AnimationEasing>(tokens.motion_easing & 3u);
                a->repeat = AnimationRepeat::alternate;
            }
            return true;
        }
        if (tokens.spinner_style == 0) {
            if (keys_.full()) return false;
            if (WidgetAnimation* a = add(node, widgetAnimationKey(node.id, kArcSpinnerAnimationPart), now_)) {
                const Rect frame = snapWidgetRect(node.rect, tokens);
                a->duration_ms = periodMs;
                a->from_angle = 0.0f;
                a->to_angle = 360.0f;
                a->pivot_x = frame.x + frame.width / 2;
                a->pivot_y = frame.y + frame.height / 2;
                a->repeat = AnimationRepeat::repeat;
            }
            return true;
        }
        const std::uint32_t dots = std::clamp<std::uint32_t>(tokens.spinner_dot_count, 3, 15);
        if (keys_.size() + dots > keys_.capacity) return false;
        const std::uint64_t periodNs = std::uint64_t{periodMs} * kNsPerMs;
        const WidgetAnimation* first = slot_.animations.find(widgetAnimationKey(node.id, kSpinnerDotAnimationPart));
        const std::uint64_t base = first != nullptr ? first->start_ns : (now_ > periodNs ? now_ - periodNs : 0);
        const float dim = std::clamp(tokens.spinner_min_alpha, 0.0f, 1.0f);
        for (std::uint32_t i = 0; i < dots; ++i) {
            const std::uint64_t key = widgetAnimationKey(node.id, kSpinnerDotAnimationPart + i);
            if (WidgetAnimation* a = add(node, key, base + i * (periodNs / dots), true)) {
                a->duration_ms = periodMs;
                a->from_opacity = 1.0f;
                a->to_opacity = dim;
                a->repeat = AnimationRepeat::repeat;
            }
        }
        return true;
    }

    // Removes the animations of the indicators the last refresh scheduled and this one did not,
    // and remembers this refresh's keys.
    void finish() {
        FixedVec<std::uint64_t, kMaxIndicatorAnimationKeys>& remembered = slot_.scheduled.indicatorKeys;
        for (std::uint64_t key : remembered) {
            if (std::find(keys_.begin(), keys_.end(), key) == keys_.end()) slot_.animations.remove(key);
        }
        remembered = keys_;
    }

private:
    // The entry of `key`, counted as scheduled, with its repaint area; null when the table is
    // full. A new entry starts at `start`; an existing one keeps its start unless `restart`.
    WidgetAnimation* add(const WidgetLayoutNode& node, std::uint64_t key, std::uint64_t start, bool restart = false) {
        if (!restart) {
            if (const WidgetAnimation* existing = slot_.animations.find(key)) start = existing->start_ns;
        }
        WidgetAnimation* entry = slot_.animations.upsert(key);
        if (entry == nullptr) return nullptr;
        *entry = WidgetAnimation{};
        entry->key = key;
        entry->start_ns = start;
        (void)keys_.push(key);
        slot_.animations.setDirty(key, node.rect);
        return entry;
    }

    CanvasSlot& slot_;
    std::uint64_t now_;
    FixedVec<std::uint64_t, kMaxIndicatorKeysPerRefresh> keys_;
};

void scheduleIndicators(CanvasSlot& slot, std::uint64_t now) {
    const WidgetLayoutTree tree = slot.tree.tree();
    IndicatorScheduler scheduler(slot, now);
    for (std::size_t i = 0; i < tree.size(); ++i) {
        if (isLoadingIndicator(tree, i) && !scheduler.schedule(tree[i], slot.tree.tokens)) break;
    }
    scheduler.finish();
}

}  // namespace

void scheduleCanvasWidgetAnimations(CanvasSlot& slot, const RuntimeView& view) {
    const std::uint64_t now = canvasAnimationStartNs(view);
    scheduleCaret(slot, view, now);
    scheduleIndicators(slot, now);
}

}  // namespace kelvo
