// Headless canvas views: the picture a view was last handed, its cursor and caret are kept on its
// record, where a test reads them; the screen's rate and scale are the scripted answers; the
// test's input reaches the view's sink through the main queue.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

HeadlessStandIn::NativeView& viewOf(ViewRef ref) { return *reinterpret_cast<HeadlessStandIn::NativeView*>(ref); }

void show(void*, ViewRef ref, const RgbaImage& image) {
    HeadlessStandIn::NativeView& view = viewOf(ref);
    const std::size_t bytes = std::size_t{image.width} * image.height * 4;
    view.picture.assign(image.pixels, image.pixels + (image.pixels != nullptr ? bytes : 0));
    view.pictureWidth = image.pixels != nullptr ? image.width : 0;
    view.pictureHeight = image.pixels != nullptr ? image.height : 0;
    ++view.picturesShown;
}

double refreshRate(void* self, WindowRef) { return headlessState(self).answers.refreshRate; }

double screenScale(void* self) {
    const HeadlessStandIn::Answers& answers = headlessState(self).answers;
    return answers.screen ? answers.scale : 0.0;
}

void setInputSink(void*, ViewRef ref, CanvasInputSink sink) { viewOf(ref).inputSink = sink; }
void setCursor(void*, ViewRef ref, CanvasCursor cursor) { viewOf(ref).cursor = cursor; }
void setCaretRect(void*, ViewRef ref, RectD caret) { viewOf(ref).caret = caret; }

}  // namespace

void HeadlessStandIn::userCanvasInput(NativeView& view, const CanvasInputEvent& event) {
    NativeView* target = &view;
    state_->post([target, event] {
        const CanvasInputSink sink = target->inputSink;
        if (target->destroyed || sink.deliver == nullptr) return;
        sink.deliver(sink.context, reinterpret_cast<ViewRef>(target), event);
    });
}

CanvasService headlessCanvas() {
    CanvasService service;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_CANVAS_FUNCTIONS)
    return service;
}

}  // namespace kelvo::standin
