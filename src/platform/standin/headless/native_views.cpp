// Headless native views: a tree of records per window, with containers that measure y up from
// their bottom edge (unless the test says window contents are flipped), controls the test
// operates through the main queue, and surfaces it makes for adoption. Keyboard focus is one
// flag across all views and surfaces.

#include <algorithm>
#include <cstdio>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

using NativeView = HeadlessStandIn::NativeView;
using Surface = HeadlessStandIn::Surface;

NativeView& viewOf(ViewRef ref) { return *reinterpret_cast<NativeView*>(ref); }
ViewRef refOf(NativeView& view) { return reinterpret_cast<ViewRef>(&view); }

// Ours, or another service's view (a web view).
NativeView* nativeOf(HeadlessState& state, ViewRef ref) {
    for (auto& view : state.nativeViews) {
        if (refOf(*view) == ref) return view.get();
    }
    return nullptr;
}

Surface* surfaceOf(HeadlessState& state, void* handle) {
    for (auto& surface : state.surfaces) {
        if (surface.get() == handle) return surface.get();
    }
    return nullptr;
}

std::string describe(const NativeView& view) { return "n=" + std::to_string(view.number) + " " + view.identifier; }

void takeFocus(HeadlessState& state, bool& focused) {
    for (auto& view : state.nativeViews) view->focused = false;
    for (auto& surface : state.surfaces) surface->focused = false;
    focused = true;
}

ViewRef create(void* self, WindowRef window, ViewRef parent, const NativeViewDescription& description) {
    HeadlessState& state = headlessState(self);
    auto view = std::make_unique<NativeView>();
    view->number = state.nativeViews.size() + 1;
    view->window = reinterpret_cast<HeadlessStandIn::Window*>(window)->number;
    view->parent = parent != nullptr ? &viewOf(parent) : nullptr;
    view->control = description.control;
    view->background = description.background;
    view->role = description.role;
    view->identifier = std::string(description.identifier);
    view->title = std::string(description.title);
    if (description.control == NativeControl::text_field || description.control == NativeControl::search_field) {
        view->placeholder = view->title;
    } else if (description.control == NativeControl::label) {
        view->value = view->title;
    }
    state.note("native.create " + describe(*view));
    if (view->parent != nullptr) view->parent->subviews.push_back(view.get());
    state.nativeViews.push_back(std::move(view));
    return refOf(*state.nativeViews.back());
}

void destroy(void* self, ViewRef ref) {
    HeadlessState& state = headlessState(self);
    NativeView& view = viewOf(ref);
    state.note("native.destroy " + describe(view));
    if (view.parent != nullptr) std::erase(view.parent->subviews, &view);
    std::vector<NativeView*> inside{&view};
    while (!inside.empty()) {
        NativeView* at = inside.back();
        inside.pop_back();
        at->destroyed = true;
        at->focused = false;
        for (NativeView* child : at->subviews) inside.push_back(child);
    }
}

ContainerBox container(void* self, WindowRef window, ViewRef ref) {
    if (ref != nullptr) return ContainerBox{viewOf(ref).frame.width, viewOf(ref).frame.height, false};
    const RectD& content = reinterpret_cast<HeadlessStandIn::Window*>(window)->content;
    return ContainerBox{content.width, content.height, headlessState(self).answers.contentFlipped};
}

void setFrame(void*, ViewRef ref, RectD frame) { viewOf(ref).frame = frame; }
void setHidden(void*, ViewRef ref, bool hidden) { viewOf(ref).hidden = hidden; }

void setDepth(void*, ViewRef ref, std::int64_t depth) { viewOf(ref).depth = depth; }

void setEnabled(void*, ViewRef ref, bool enabled) { viewOf(ref).enabled = enabled; }

void setText(void*, ViewRef ref, NativeText which, std::string_view text) {
    NativeView& view = viewOf(ref);
    (which == NativeText::title         ? view.title
     : which == NativeText::placeholder ? view.placeholder
                                        : view.value) = std::string(text);
}

void setSegments(void*, ViewRef ref, std::span<const std::string> labels) {
    NativeView& view = viewOf(ref);
    view.segments.assign(labels.begin(), labels.end());
    if (view.selectedSegment >= static_cast<int>(labels.size())) view.selectedSegment = -1;
    if (view.selectedSegment < 0 && !labels.empty()) view.selectedSegment = 0;
}

void setAccessibilityLabel(void*, ViewRef ref, std::string_view label) {
    viewOf(ref).accessibilityLabel = std::string(label);
}

void setAction(void*, ViewRef ref, NativeActionSink sink) { viewOf(ref).action = sink; }

bool focus(void* self, ViewRef ref, WindowRef front) {
    HeadlessState& state = headlessState(self);
    if (front != nullptr) {
        HeadlessStandIn::Window& window = *reinterpret_cast<HeadlessStandIn::Window*>(front);
        state.record.windows.orderFront(self, front);
        state.note("native.focus_front n=" + std::to_string(window.number));
    }
    NativeView* view = nativeOf(state, ref);
    if (view == nullptr) return true;  // a web view takes the keyboard
    if (view->control == NativeControl::container || view->control == NativeControl::spinner) return false;
    takeFocus(state, view->focused);
    return true;
}

bool canAdopt(void* self, ViewRef, void* handle) { return surfaceOf(headlessState(self), handle) != nullptr; }

void adopt(void* self, ViewRef ref, void* handle) {
    HeadlessState& state = headlessState(self);
    Surface& surface = *surfaceOf(state, handle);
    NativeView& view = viewOf(ref);
    surface.mountedIn = &view;
    surface.frame = RectD{0, 0, view.frame.width, view.frame.height};
    surface.followsSize = true;
    takeFocus(state, surface.focused);
    state.note("native.adopt " + describe(view));
}

void detach(void* self, void* handle) {
    HeadlessState& state = headlessState(self);
    Surface& surface = *surfaceOf(state, handle);
    state.note("native.detach " + (surface.mountedIn != nullptr ? describe(*surface.mountedIn) : std::string("-")));
    surface.mountedIn = nullptr;
}

void focusAdoptedOnClick(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("native.click_monitor");
    state.focusAdoptedOnClick = true;
}

bool focusInAdopted(void* self, WindowRef window) {
    const std::uint64_t number = reinterpret_cast<HeadlessStandIn::Window*>(window)->number;
    for (auto& surface : headlessState(self).surfaces) {
        if (surface->focused && surface->mountedIn != nullptr && surface->mountedIn->window == number) return true;
    }
    return false;
}

}  // namespace

std::string headlessViewName(HeadlessState& state, ViewRef ref) {
    if (NativeView* view = nativeOf(state, ref)) return joinText({"native:", view->identifier});
    return std::to_string(headlessWebView(ref).number);
}

NativeViewService headlessNativeViews() {
    NativeViewService service;
    KELVO_STANDIN_FILL(service, KELVO_STANDIN_NATIVE_VIEW_FUNCTIONS)
    return service;
}

std::vector<HeadlessStandIn::NativeView*> HeadlessStandIn::nativeViews() {
    std::vector<NativeView*> all;
    for (auto& view : state_->nativeViews) all.push_back(view.get());
    return all;
}

HeadlessStandIn::NativeView* HeadlessStandIn::nativeView(std::string_view identifier) {
    for (auto& view : state_->nativeViews) {
        if (!view->destroyed && view->identifier == identifier) return view.get();
    }
    return nullptr;
}

ViewRef HeadlessStandIn::ref(const NativeView& view) { return refOf(const_cast<NativeView&>(view)); }

void HeadlessStandIn::userOperate(NativeView& view) {
    NativeView* target = &view;
    state_->post([target] {
        if (target->destroyed || !target->enabled || target->action.deliver == nullptr) return;
        target->action.deliver(target->action.context, refOf(*target));
    });
}

void* HeadlessStandIn::makeSurface() {
    state_->surfaces.push_back(std::make_unique<Surface>());
    return state_->surfaces.back().get();
}

HeadlessStandIn::Surface& HeadlessStandIn::surface(void* handle) { return *surfaceOf(*state_, handle); }

void HeadlessStandIn::userPressSurface(void* handle) {
    HeadlessState& state = *state_;
    Surface& surface = *surfaceOf(state, handle);
    if (state.focusAdoptedOnClick && surface.mountedIn != nullptr && !surface.focused)
        takeFocus(state, surface.focused);
}

}  // namespace kelvo::standin
