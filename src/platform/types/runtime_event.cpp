#include "platform/types/runtime_event.hpp"

#include <algorithm>
#include <array>

namespace kelvo {

namespace {

struct RuntimeEventTraits {
    std::string_view name;
    std::string_view scope;
    bool setsDirty;
};

constexpr std::array<RuntimeEventTraits, kRuntimeEventKindCount> kRuntimeEventTraits = {{
#define KELVO_RUNTIME_EVENT_TRAITS(name, type, trace, scope, dirty) {trace, scope, dirty},
    KELVO_RUNTIME_EVENTS(KELVO_RUNTIME_EVENT_TRAITS)
#undef KELVO_RUNTIME_EVENT_TRAITS
}};

constexpr std::array<std::string_view, 5> kLifecycleStepNames = {"start", "activate", "deactivate", "frame", "stop"};

const RuntimeEventTraits* traitsOf(RuntimeEventKind kind) {
    auto index = static_cast<std::size_t>(kind);
    if (index >= kRuntimeEventTraits.size()) return nullptr;
    return &kRuntimeEventTraits[index];
}

}  // namespace

bool operator==(const CanvasWidgetPointerEvent& a, const CanvasWidgetPointerEvent& b) {
    return a.windowId == b.windowId && a.label == b.label && a.x == b.x && a.y == b.y && a.dx == b.dx && a.dy == b.dy &&
           a.phase == b.phase && a.button == b.button && a.modifiers == b.modifiers && a.clickCount == b.clickCount &&
           a.targetWidgetId == b.targetWidgetId && a.target == b.target && a.hit == b.hit &&
           std::ranges::equal(a.path, b.path);
}

bool operator==(const CanvasWidgetFileDropEvent& a, const CanvasWidgetFileDropEvent& b) {
    return a.windowId == b.windowId && a.label == b.label && a.widgetId == b.widgetId && a.x == b.x && a.y == b.y &&
           std::ranges::equal(a.paths, b.paths);
}

bool operator==(const CanvasWidgetDragEvent& a, const CanvasWidgetDragEvent& b) {
    return a.windowId == b.windowId && a.label == b.label && a.widgetId == b.widgetId && a.node == b.node &&
           a.x == b.x && a.y == b.y && a.dx == b.dx && a.dy == b.dy && a.button == b.button &&
           a.modifiers == b.modifiers && std::ranges::equal(a.path, b.path);
}

std::string_view runtimeEventKindName(RuntimeEventKind kind) {
    const RuntimeEventTraits* traits = traitsOf(kind);
    return traits ? traits->name : std::string_view{};
}

std::string_view lifecycleStepName(LifecycleStep step) {
    auto index = static_cast<std::size_t>(step);
    if (index >= kLifecycleStepNames.size()) return "lifecycle";
    return kLifecycleStepNames[index];
}

std::string_view runtimeEventTraceName(const RuntimeEvent& event) {
    if (const auto* lifecycle = std::get_if<LifecycleEvent>(&event)) return lifecycleStepName(lifecycle->step);
    if (const auto* command = std::get_if<CommandEvent>(&event)) return command->name;
    return runtimeEventKindName(runtimeEventKind(event));
}

std::string_view runtimeEventErrorScope(RuntimeEventKind kind) {
    const RuntimeEventTraits* traits = traitsOf(kind);
    return traits ? traits->scope : std::string_view{};
}

bool runtimeEventSetsDirty(RuntimeEventKind kind) {
    const RuntimeEventTraits* traits = traitsOf(kind);
    return traits != nullptr && traits->setsDirty;
}

Result<RuntimeEventKind> runtimeEventKindFromTag(std::uint64_t tag) {
    if (tag >= kRuntimeEventKindCount) return fail(Error::InvalidEventKind);
    return static_cast<RuntimeEventKind>(tag);
}

}  // namespace kelvo
