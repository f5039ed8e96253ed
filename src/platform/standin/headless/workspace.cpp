// Headless appearance: a scripted value; a change reaches the host through the main queue. URLs
// opened, paths revealed and notifications are logged and answered as scripted; recent documents
// are kept in a list.

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

bool revealPath(void* self, std::string_view path) {
    HeadlessState& state = headlessState(self);
    state.note("workspace.reveal " + std::string(path));
    return state.services.revealWorks;
}

bool notify(void* self, std::string_view title, std::string_view subtitle, std::string_view body) {
    HeadlessState& state = headlessState(self);
    state.note("workspace.notify title=" + std::string(title) + " subtitle=" + std::string(subtitle) +
               " body=" + std::string(body) + (state.answers.notificationsShow ? "" : " nowhere"));
    return state.answers.notificationsShow;
}

bool addRecentDocument(void* self, std::string_view path) {
    HeadlessState& state = headlessState(self);
    state.note("recent.add " + std::string(path));
    std::erase(state.services.recentDocuments, std::string(path));
    state.services.recentDocuments.emplace_back(path);
    return true;
}

void clearRecentDocuments(void* self) {
    HeadlessState& state = headlessState(self);
    state.note("recent.clear");
    state.services.recentDocuments.clear();
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
