// Headless scheme requests: the test's request reaches the web view's host through the main queue,
// and the answer is kept for the test to read.

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

struct HeadlessSchemeTask {
    std::shared_ptr<HeadlessStandIn::SchemeAnswer> answer;
};

HeadlessSchemeTask& taskOf(SchemeTaskRef task) { return *reinterpret_cast<HeadlessSchemeTask*>(task); }
SchemeTaskRef refOf(HeadlessSchemeTask& task) { return reinterpret_cast<SchemeTaskRef>(&task); }

void respond(void*, SchemeTaskRef task, std::string_view mimeType, std::span<const std::uint8_t> bytes) {
    HeadlessStandIn::SchemeAnswer& answer = *taskOf(task).answer;
    answer.answered = true;
    answer.mimeType = std::string(mimeType);
    answer.body.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void fail(void*, SchemeTaskRef task, std::int32_t code) {
    HeadlessStandIn::SchemeAnswer& answer = *taskOf(task).answer;
    answer.answered = true;
    answer.failure = code;
}

}  // namespace

SchemeService headlessScheme() {
    SchemeService scheme;
    KELVO_STANDIN_FILL(scheme, KELVO_STANDIN_SCHEME_FUNCTIONS)
    return scheme;
}

std::shared_ptr<const HeadlessStandIn::SchemeAnswer> HeadlessStandIn::pageRequest(ViewRef ref, std::string_view url) {
    auto answer = std::make_shared<SchemeAnswer>();
    HeadlessStandIn::WebView* target = &headlessWebView(ref);
    HeadlessState* state = state_.get();
    state->post([state, target, answer, url = std::string(url)] {
        if (target->destroyed) return;
        HeadlessSchemeTask task{answer};
        const WebViewEvents& events = target->events;
        if (!target->scheme.empty() && events.schemeRequest != nullptr) {
            events.schemeRequest(events.context, headlessViewRef(*target), refOf(task), url);
        }
        // Unanswered, or no scheme handler: the request fails like an unsupported URL.
        if (!answer->answered) fail(state, refOf(task), -1002);
    });
    return answer;
}

}  // namespace kelvo::standin
