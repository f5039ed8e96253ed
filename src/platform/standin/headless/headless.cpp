#include "platform/standin/headless/headless.hpp"

#include <algorithm>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

HeadlessStandIn::HeadlessStandIn() : state_(std::make_unique<HeadlessState>()) {
    state_->record.self = state_.get();
    state_->record.loop = headlessLoop();
    state_->record.windows = headlessWindows();
    state_->record.workspace = headlessWorkspace();
    state_->record.audio = headlessAudio();
    state_->record.bundle = headlessBundle();
    state_->record.nativeViews = headlessNativeViews();
    state_->record.canvas = headlessCanvas();
    state_->record.clipboard = headlessClipboard();
    state_->record.dialogs = headlessDialogs();
    state_->record.keyring = headlessKeyring();
    state_->record.menus = headlessMenus();
    state_->record.statusItem = headlessStatusItem();
    state_->record.webviews = headlessWebViews();
    state_->record.scheme = headlessScheme();
    state_->record.scriptMessages = headlessScriptMessages();
    state_->record.accessibility = headlessAccessibility();
}

HeadlessStandIn::~HeadlessStandIn() = default;

StandIn& HeadlessStandIn::record() { return state_->record; }

HeadlessStandIn::Answers& HeadlessStandIn::answers() { return state_->answers; }

HeadlessServices& HeadlessStandIn::services() { return state_->services; }

std::vector<std::string> HeadlessStandIn::log() const {
    std::lock_guard guard(state_->mutex);
    return state_->log;
}

std::size_t HeadlessStandIn::logCount(std::string_view prefix) const {
    std::lock_guard guard(state_->mutex);
    return static_cast<std::size_t>(std::count_if(state_->log.begin(), state_->log.end(),
                                                  [&](const std::string& line) { return line.starts_with(prefix); }));
}

void HeadlessStandIn::clearLog() {
    std::lock_guard guard(state_->mutex);
    state_->log.clear();
}

}  // namespace kelvo::standin
