// Input of canvas views: the backend reports the user's acts through the main queue; each becomes
// a call of the view's input logic, which sends the events.

#include "platform/macos/appkit_canvas_input.hpp"

#include "platform/macos/appkit_host_state.hpp"

namespace kelvo {

namespace {

standin::StandIn& platformOf(const HostCanvasInput& input) { return *input.host->platform; }

void postStep(void* context, std::uint64_t delayNs, CanvasInputStep step) {
    HostCanvasInput& input = *static_cast<HostCanvasInput*>(context);
    runOnMainQueueAfter(*input.host, delayNs, [weak = input.self, step] {
        if (std::shared_ptr<HostCanvasInput> alive = weak.lock()) runCanvasInputStep(alive->logic, step);
    });
}

void showCaret(void* context, const CanvasRect& caret) {
    HostCanvasInput& input = *static_cast<HostCanvasInput*>(context);
    standin::StandIn& platform = platformOf(input);
    if (!platform.canvas.setCaretRect) return;
    platform.canvas.setCaretRect(platform.self, input.ref, caret);
}

CanvasKeyInput keyOf(const standin::CanvasInputEvent& event) {
    return {event.keyval, event.character, inputModifiersOfKeys(event.modifiers), event.inputMethodTook};
}

void deliver(void* context, standin::ViewRef, const standin::CanvasInputEvent& event) {
    HostCanvasInput& input = *static_cast<HostCanvasInput*>(context);
    CanvasInput& logic = input.logic;
    const std::uint32_t modifiers = inputModifiersOfKeys(event.modifiers);
    using Type = standin::CanvasInputType;
    switch (event.type) {
        case Type::pointerDown: {
            // A press gives the view the keyboard, as the first responder of its window.
            standin::StandIn& platform = platformOf(input);
            if (platform.nativeViews.focus) platform.nativeViews.focus(platform.self, input.ref, nullptr);
            canvasPointerButton(logic, true, event.x, event.y, event.button, modifiers);
            break;
        }
        case Type::pointerUp:
            canvasPointerButton(logic, false, event.x, event.y, event.button, modifiers);
            break;
        case Type::pointerMove:
            canvasPointerMotion(logic, false, event.x, event.y, event.button, modifiers);
            break;
        case Type::pointerDrag:
            canvasPointerMotion(logic, true, event.x, event.y, event.button, modifiers);
            break;
        case Type::pointerExit:
            canvasPointerLeave(logic, event.x, event.y, modifiers);
            break;
        case Type::wheel:
            canvasWheel(
                logic, {event.x, event.y, event.deltaX, event.deltaY, modifiers, static_cast<WheelPhase>(event.phase)});
            break;
        case Type::keyDown:
            canvasKeyDown(logic, keyOf(event));
            break;
        case Type::keyUp:
            canvasKeyUp(logic, keyOf(event));
            break;
        case Type::preeditChanged:
            canvasSetMarkedText(logic, event.text, {utf16LengthOfPrefix(event.text, event.cursor), 0});
            break;
        case Type::commit:
            canvasInsertText(logic, event.text);
            break;
    }
}

standin::CanvasCursor cursorOf(std::int32_t cursor) {
    switch (cursor) {
        case 1:
            return standin::CanvasCursor::pointingHand;
        case 2:
            return standin::CanvasCursor::text;
        case 3:
            return standin::CanvasCursor::resizeHorizontal;
        default:
            return standin::CanvasCursor::arrow;
    }
}

}  // namespace

static_assert(static_cast<int>(WheelPhase::momentum) == static_cast<int>(standin::WheelPhase::momentum));

std::uint32_t inputModifiersOfKeys(std::uint32_t keys) {
    std::uint32_t bits = 0;
    if (keys & standin::kKeyCommand) bits |= kInputCommandKey;
    if (keys & standin::kKeyControl) bits |= kInputModifierControl;
    if (keys & standin::kKeyOption) bits |= kInputModifierOption;
    if (keys & standin::kKeyShift) bits |= kInputModifierShift;
    return bits;
}

void attachCanvasInput(const std::shared_ptr<HostCanvasInput>& input, KelvoAppKitHost& host, standin::ViewRef ref,
                       SurfaceView& surface) {
    input->host = &host;
    input->ref = ref;
    input->self = input;
    CanvasInputPort port;
    port.context = input.get();
    port.post = postStep;
    port.showCaret = showCaret;
    initCanvasInput(input->logic, surface, port);
    standin::StandIn& platform = *host.platform;
    if (platform.canvas.setInputSink && ref != nullptr) {
        platform.canvas.setInputSink(platform.self, ref, standin::CanvasInputSink{deliver, input.get()});
    }
}

void showCanvasCursor(KelvoAppKitHost& host, standin::ViewRef ref, std::int32_t cursor) {
    standin::StandIn& platform = *host.platform;
    if (platform.canvas.setCursor && ref != nullptr) platform.canvas.setCursor(platform.self, ref, cursorOf(cursor));
}

}  // namespace kelvo
