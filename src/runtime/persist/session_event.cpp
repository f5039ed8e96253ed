// The journal form of every platform event: the code byte (tag + 1), then the event's fields in
// the journal's own order, which for some kinds differs from the order of the event record.

#include <algorithm>
#include <type_traits>
#include <variant>

#include "platform/types/platform_event.hpp"
#include "runtime/persist/session_bytes.hpp"
#include "runtime/persist/session_journal.hpp"

namespace kelvo {

namespace {

void putInsets(SessionBytes& out, const EdgeInsets& insets) {
    out.f32(insets.top);
    out.f32(insets.right);
    out.f32(insets.bottom);
    out.f32(insets.left);
}

void putRect(SessionBytes& out, const RectF& rect) {
    out.f32(rect.x);
    out.f32(rect.y);
    out.f32(rect.width);
    out.f32(rect.height);
}

void putFields(SessionBytes&, const AppStartEvent&) {}
void putFields(SessionBytes&, const AppActivatedEvent&) {}
void putFields(SessionBytes&, const AppDeactivatedEvent&) {}
void putFields(SessionBytes&, const FrameRequestedEvent&) {}
void putFields(SessionBytes&, const AppShutdownEvent&) {}
void putFields(SessionBytes&, const WakeEvent&) {}

void putFields(SessionBytes& out, const AppearanceChangedEvent& event) {
    out.boolean(event.dark);
    out.boolean(event.reduceMotion);
    out.boolean(event.increaseContrast);
}

void putFields(SessionBytes& out, const SurfaceResizedEvent& event) {
    out.u64(event.windowId);
    out.f32(event.width);
    out.f32(event.height);
    out.f32(event.scale);
    putInsets(out, event.safeArea);
    putInsets(out, event.keyboard);
}

void putFields(SessionBytes& out, const WindowFrameChangedEvent& event) {
    out.u64(event.windowId);
    out.string(event.label);
    out.string(event.title);
    putRect(out, event.frame);
    out.f32(event.scale);
    out.boolean(event.open);
    out.boolean(event.focused);
    out.boolean(event.maximized);
    out.boolean(event.fullScreen);
}

void putFields(SessionBytes& out, const WindowFocusedEvent& event) { out.u64(event.windowId); }

void putFields(SessionBytes& out, const BridgeMessage& event) {
    out.string(event.message);
    out.string(event.origin);
    out.u64(event.windowId);
    out.string(event.webViewLabel);
}

void putFields(SessionBytes& out, const TrayActionEvent& event) { out.u32(event.itemId); }

void putFields(SessionBytes& out, const ShortcutEvent& event) {
    out.string(event.id);
    out.string(event.key);
    out.u8(modifierBits(event.modifiers));
    out.u64(event.windowId);
}

void putFields(SessionBytes& out, const NativeCommandEvent& event) {
    out.string(event.command);
    out.u64(event.windowId);
    out.string(event.viewLabel);
}

void putFields(SessionBytes& out, const MenuCommandEvent& event) {
    out.string(event.command);
    out.u64(event.windowId);
}

void putFields(SessionBytes& out, const TimerEvent& event) {
    out.u64(event.timerId);
    out.u64(event.timestampNs);
}

// Returns false for a drop with more paths than a journal record may carry.
bool putDrop(SessionBytes& out, const FilesDroppedEvent& event) {
    if (event.paths.size() > kMaxSessionDroppedPaths) return false;
    out.u64(event.windowId);
    out.string(event.viewLabel);
    out.boolean(event.hasPosition);
    if (event.hasPosition) {
        out.f32(event.x);
        out.f32(event.y);
    }
    out.u16(static_cast<std::uint16_t>(event.paths.size()));
    for (std::string_view path : event.paths) out.string(path);
    return true;
}

void putFields(SessionBytes& out, const GpuSurfaceFrame& event) {
    out.u64(event.windowId);
    out.string(event.label);
    out.f32(event.width);
    out.f32(event.height);
    out.f32(event.scale);
    out.u64(event.frameIndex);
    out.u64(event.timestampNs);
    out.u64(event.frameIntervalNs);
    out.u64(event.reservedTimingNs);
    out.boolean(event.reservedFlag);
}

void putFields(SessionBytes& out, const GpuSurfaceResizedEvent& event) {
    out.u64(event.windowId);
    out.string(event.label);
    putRect(out, event.frame);
    out.f32(event.scale);
}

void putFields(SessionBytes& out, const GpuSurfaceInput& event) {
    out.u64(event.windowId);
    out.string(event.label);
    out.u8(static_cast<std::uint8_t>(static_cast<std::uint8_t>(event.kind) & 0x0F));
    out.u64(event.timestampNs);
    out.u64(event.reservedWord);
    out.f32(event.x);
    out.f32(event.y);
    out.u32(event.button);
    out.u32(event.reservedClickData);
    out.f32(event.dx);
    out.f32(event.dy);
    // The record's two texts in record order: the key name, then the typed or composed text.
    out.string(event.key);
    out.string(event.text);
    out.boolean(event.replacementRange.has_value());
    if (event.replacementRange) out.u64(*event.replacementRange);
    out.u8(modifierBits(event.modifiers));
}

void putFields(SessionBytes& out, const GpuSurfaceScrollDriverEvent& event) {
    out.u64(event.windowId);
    out.string(event.label);
    out.u64(event.widgetId);
    out.f32(event.offset);
    out.u64(event.timestampNs);
}

void putFields(SessionBytes& out, const ContextMenuActionEvent& event) {
    out.u64(event.windowId);
    out.string(event.viewLabel);
    out.u64(event.token);
    out.u32(event.item);
}

void putFields(SessionBytes& out, const WidgetAccessibilityActionEvent& event) {
    out.u64(event.windowId);
    out.string(event.label);
    out.u64(event.widgetId);
    out.u32(event.action);
    out.string(event.text);
    out.boolean(event.value.has_value());
    if (event.value) {
        out.u64(event.value->first);
        out.u64(event.value->second);
    }
}

void putFields(SessionBytes& out, const AudioEvent& event) {
    out.u8(static_cast<std::uint8_t>(event.kind));
    out.u64(event.positionMs);
    out.u64(event.durationMs);
    out.boolean(event.playing);
    out.boolean(event.buffering);
    out.bytes(event.bands);
}

}  // namespace

std::optional<std::size_t> serializePlatformEvent(const PlatformEvent& event, std::span<std::uint8_t> out) {
    SessionBytes bytes(out.first(std::min(out.size(), kMaxSessionEventBytes)));
    bytes.u8(static_cast<std::uint8_t>(event.index() + 1));
    bool fits = std::visit(
        [&bytes](const auto& payload) {
            if constexpr (std::is_same_v<std::decay_t<decltype(payload)>, FilesDroppedEvent>) {
                return putDrop(bytes, payload);
            } else {
                putFields(bytes, payload);
                return true;
            }
        },
        event);
    if (!fits || !bytes.ok()) return std::nullopt;
    return bytes.length();
}

}  // namespace kelvo
