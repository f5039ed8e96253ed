// Headless canvas views: the picture a view was last handed is kept on its record, where a test
// reads it; the screen's rate and scale are the scripted answers.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

void show(void*, ViewRef ref, const RgbaImage& image) {
    HeadlessStandIn::NativeView& view = *reinterpret_cast<HeadlessStandIn::NativeView*>(ref);
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

}  // namespace

CanvasService headlessCanvas() {
    CanvasService service;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_CANVAS_FUNCTIONS)
    return service;
}

}  // namespace kelvo::standin
