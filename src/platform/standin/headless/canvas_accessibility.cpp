// Headless accessibility of canvas views: the elements a view was last given are kept on its
// record, where a test reads them; a test acts on them as assistive technology would.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

HeadlessStandIn::NativeView& viewOf(ViewRef ref) { return *reinterpret_cast<HeadlessStandIn::NativeView*>(ref); }

void setElements(void* self, ViewRef ref, std::span<const AccessibleElement> elements, ElementActionSink sink) {
    HeadlessStandIn::NativeView& view = viewOf(ref);
    view.elements.clear();
    for (const AccessibleElement& e : elements) {
        HeadlessStandIn::Element& kept = view.elements.emplace_back();
        kept.shape = e;
        kept.identifier = e.identifier;
        kept.label = e.label;
        kept.value = e.value;
        kept.placeholder = e.placeholder;
        kept.valueDescription = e.valueDescription;
        kept.selectedText = e.selectedText;
        kept.text = e.text;
        kept.shape.identifier = kept.shape.label = kept.shape.value = {};
        kept.shape.placeholder = kept.shape.valueDescription = kept.shape.selectedText = kept.shape.text = {};
    }
    view.elementSink = sink;
    ++view.elementUpdates;
    const std::string count = std::to_string(elements.size());
    headlessState(self).note(joinText({"accessibility.elements view=", view.identifier, " count=", count}));
}

}  // namespace

void HeadlessStandIn::userActOnElement(NativeView& view, std::uint64_t widgetId, const ElementAction& action) {
    NativeView* target = &view;
    state_->post([target, widgetId, action, text = std::string(action.text)] {
        if (target->destroyed || target->elementSink.deliver == nullptr) return;
        ElementAction copy = action;
        copy.text = text;
        target->elementSink.deliver(target->elementSink.context, reinterpret_cast<ViewRef>(target), widgetId, copy);
    });
}

AccessibilityService headlessAccessibility() {
    AccessibilityService service;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_ACCESSIBILITY_FUNCTIONS)
    return service;
}

}  // namespace kelvo::standin
