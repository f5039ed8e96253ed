// Headless appearance: a scripted value; a change reaches the host through the main queue. URLs
// opened are logged and answered as scripted.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

Appearance appearance(void* self) { return headlessState(self).answers.appearance; }

void watchAppearance(void* self, Task onChange) {
    HeadlessState& state = headlessState(self);
    state.note("appearance.watch");
    state.onAppearanceChange = std::move(onChange);
}

void unwatchAppearance(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("appearance.unwatch");
    state.onAppearanceChange.reset();
}

bool openUrl(void* self, std::string_view url) {
    HeadlessState& state = headlessState(self);
    state.note(joinText({"workspace.open ", url}));
    return state.answers.urlsOpen;
}

}  // namespace

WorkspaceService headlessWorkspace() {
    WorkspaceService workspace;
    KELVO_STANDIN_FILL(workspace, KELVO_STANDIN_WORKSPACE_FUNCTIONS)
    return workspace;
}

void HeadlessStandIn::changeAppearance(Appearance appearance) {
    HeadlessState* state = state_.get();
    state->answers.appearance = appearance;
    state->post([state] {
        if (!state->onAppearanceChange) return;
        Task handler = *state->onAppearanceChange;
        handler();
    });
}

}  // namespace kelvo::standin
