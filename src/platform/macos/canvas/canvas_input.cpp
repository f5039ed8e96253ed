#include "platform/macos/canvas/canvas_input.hpp"

#include "platform/macos/canvas/canvas_input_private.hpp"

namespace kelvo {

namespace {

std::uint64_t monotonicNow(const CanvasInput& input) {
    const SurfacePort& port = input.surface->port;
    return port.monotonicNs ? port.monotonicNs(port.context) : 0;
}

std::uint64_t wallNow(const CanvasInput& input) {
    const SurfacePort& port = input.surface->port;
    return port.wallNs ? port.wallNs(port.context) : 0;
}

std::uint64_t refreshInterval(const CanvasInput& input) {
    const SurfacePort& port = input.surface->port;
    return surfaceFrameIntervalNs(port.screenMaxFps ? port.screenMaxFps(port.context) : -1);
}

void post(CanvasInput& input, std::optional<std::uint64_t> lastEmitNs, CanvasInputStep step) {
    if (!input.port.post) return;
    const std::uint64_t delay = coalescingDelayNs(lastEmitNs, monotonicNow(input), refreshInterval(input));
    input.port.post(input.port.context, delay, step);
}

void emitQueuedMotion(CanvasInput& input) {
    if (!input.motionPending) return;
    input.motionPending = false;
    input.motionLastEmitNs = monotonicNow(input);
    CanvasInputRecord record;
    record.kind = input.motionKind;
    record.x = input.motionX;
    record.y = input.motionY;
    record.wallNs = input.motionWallNs;
    record.modifiers = input.motionModifiers;
    record.button = input.motionButton;
    emitCanvasInput(input, record);
}

void emitQueuedWheel(CanvasInput& input) {
    if (!input.wheelPending) return;
    input.wheelPending = false;
    const double dx = input.wheelDeltaX;
    const double dy = input.wheelDeltaY;
    input.wheelDeltaX = 0;
    input.wheelDeltaY = 0;
    // Movements that cancel out within one interval are nothing to report.
    if (dx == 0 && dy == 0) return;
    input.wheelLastEmitNs = monotonicNow(input);
    CanvasInputRecord record;
    record.kind = CanvasInputKind::wheel;
    record.x = input.wheelX;
    record.y = input.wheelY;
    record.wallNs = input.wheelWallNs;
    record.modifiers = input.wheelModifiers;
    record.deltaX = dx;
    record.deltaY = dy;
    emitCanvasInput(input, record);
}

void emitKey(CanvasInput& input, CanvasInputKind kind, const CanvasKeyInput& key) {
    const std::string name = canvasKeyName(key.keysym, key.character);
    CanvasInputRecord record;
    record.kind = kind;
    record.modifiers = key.modifiers;
    record.keyText = name;
    emitCanvasInput(input, record);
}

}  // namespace

std::uint64_t coalescingDelayNs(std::optional<std::uint64_t> lastEmitNs, std::uint64_t nowNs,
                                std::uint64_t intervalNs) {
    if (!lastEmitNs) return 0;
    const std::uint64_t due = *lastEmitNs > UINT64_MAX - intervalNs ? UINT64_MAX : *lastEmitNs + intervalNs;
    return due > nowNs ? due - nowNs : 0;
}

void initCanvasInput(CanvasInput& input, SurfaceView& surface, const CanvasInputPort& port) {
    input = CanvasInput{};
    input.surface = &surface;
    input.port = port;
}

void emitCanvasInput(CanvasInput& input, const CanvasInputRecord& record) {
    SurfaceView& view = *input.surface;
    if (!view.bound || view.label.empty() || !view.port.emitEvent) return;
    KelvoHostEvent event{};
    event.kind = static_cast<std::uint32_t>(HostEventKind::gpu_surface_input);
    event.windowId = view.windowId;
    event.x = record.x;
    event.y = record.y;
    event.modifiers = record.modifiers;
    event.viewLabel = hostString(view.label);
    event.keyText = hostString(record.keyText);
    event.inputText = hostString(record.inputText);
    event.timestampNs = record.wallNs != 0 ? record.wallNs : wallNow(input);
    event.inputKind = static_cast<std::int32_t>(record.kind);
    event.button = record.button;
    event.deltaX = record.deltaX;
    event.deltaY = record.deltaY;
    if (record.compositionCursor) {
        event.hasCompositionCursor = 1;
        event.compositionCursor = *record.compositionCursor;
    }
    view.port.emitEvent(view.port.context, event);
    requestRetainedCanvasFrame(view);
}

void emitSyntheticKeyDown(CanvasInput& input, std::string_view key, std::uint32_t modifiers) {
    if (key.empty()) return;
    input.interpretedKeyEmittedInput = true;
    CanvasInputRecord record;
    record.kind = CanvasInputKind::keyDown;
    record.modifiers = modifiers;
    record.keyText = key;
    emitCanvasInput(input, record);
}

bool focusedTextElement(const CanvasInput& input, CanvasTextElement* element) {
    return input.port.focusedTextElement && input.port.focusedTextElement(input.port.textElementContext, element);
}

void canvasPointerButton(CanvasInput& input, bool down, double x, double y, std::int32_t button,
                         std::uint32_t modifiers) {
    emitQueuedMotion(input);
    if (down && button == 0 && (modifiers & kInputModifierControl) != 0) input.controlClickActive = true;
    // The release that ends a control-click is secondary too, whether control is still held.
    if (button == 0 && input.controlClickActive) {
        button = 1;
        if (!down) input.controlClickActive = false;
    }
    CanvasInputRecord record;
    record.kind = down ? CanvasInputKind::pointerDown : CanvasInputKind::pointerUp;
    record.x = x;
    record.y = y;
    record.modifiers = modifiers;
    record.button = button;
    emitCanvasInput(input, record);
}

void canvasPointerMotion(CanvasInput& input, bool drag, double x, double y, std::int32_t button,
                         std::uint32_t modifiers) {
    input.motionKind = drag ? CanvasInputKind::pointerDrag : CanvasInputKind::pointerMove;
    input.motionX = x;
    input.motionY = y;
    input.motionButton = button;
    input.motionModifiers = modifiers;
    input.motionWallNs = wallNow(input);
    if (input.motionPending) return;
    input.motionPending = true;
    post(input, input.motionLastEmitNs, CanvasInputStep::pointerMotion);
}

void canvasPointerLeave(CanvasInput& input, double x, double y, std::uint32_t modifiers) {
    emitQueuedMotion(input);
    CanvasInputRecord record;
    record.kind = CanvasInputKind::pointerLeave;
    record.x = x;
    record.y = y;
    record.modifiers = modifiers;
    emitCanvasInput(input, record);
}

void canvasWheel(CanvasInput& input, const CanvasWheelInput& wheel) {
    if (input.port.routeWheel && input.port.routeWheel(input.port.routeWheelContext, wheel)) return;
    // The runtime's deltas point the other way: positive scrolls toward the end.
    const double dx = -wheel.deltaX;
    const double dy = -wheel.deltaY;
    if (dx == 0 && dy == 0) return;
    input.wheelX = wheel.x;
    input.wheelY = wheel.y;
    input.wheelDeltaX += dx;
    input.wheelDeltaY += dy;
    input.wheelModifiers = wheel.modifiers;
    input.wheelWallNs = wallNow(input);
    if (input.wheelPending) return;
    input.wheelPending = true;
    post(input, input.wheelLastEmitNs, CanvasInputStep::wheel);
}

void canvasKeyDown(CanvasInput& input, const CanvasKeyInput& key) {
    CanvasTextElement element;
    if (!focusedTextElement(input, &element)) {
        // The key first; text the input method makes of it follows as its own events.
        emitKey(input, CanvasInputKind::keyDown, key);
        return;
    }
    input.interpretedKeyEmittedInput = false;
    if (!key.inputMethodTook) {
        if (std::optional<CanvasEditingKey> editing = canvasEditingKey(key.keysym, key.modifiers)) {
            emitSyntheticKeyDown(input, editing->key, editing->modifiers);
        }
    }
    // Text the input method made of the key stands for it: the key goes out only when nothing did.
    if (!key.inputMethodTook && !input.interpretedKeyEmittedInput) emitKey(input, CanvasInputKind::keyDown, key);
    input.interpretedKeyEmittedInput = false;
}

void canvasKeyUp(CanvasInput& input, const CanvasKeyInput& key) { emitKey(input, CanvasInputKind::keyUp, key); }

void runCanvasInputStep(CanvasInput& input, CanvasInputStep step) {
    if (step == CanvasInputStep::pointerMotion) {
        emitQueuedMotion(input);
    } else {
        emitQueuedWheel(input);
    }
}

}  // namespace kelvo
