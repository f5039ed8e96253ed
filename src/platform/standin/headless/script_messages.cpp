// Headless user scripts, message handlers and evaluation: recorded on the web view; a message the
// test posts reaches the handler's sink through the main queue, as long as the handler is there.

#include <algorithm>

#include "platform/standin/headless/headless_state.hpp"

namespace kelvo::standin {

namespace {

std::string describe(ViewRef ref) { return joinText({"n=", std::to_string(headlessWebView(ref).number)}); }

void addUserScript(void* self, ViewRef ref, std::string_view source) {
    headlessWebView(ref).userScripts.emplace_back(source);
    headlessState(self).note(joinText({"script.user ", describe(ref)}));
}

void addHandler(void* self, ViewRef ref, std::string_view name, ScriptMessageSink sink) {
    HeadlessStandIn::WebView& view = headlessWebView(ref);
    view.handlers.emplace_back(name);
    view.sinks.emplace_back(std::string(name), sink);
    headlessState(self).note(joinText({"script.handler ", describe(ref), " name=", name}));
}

void removeHandler(void* self, ViewRef ref, std::string_view name) {
    HeadlessStandIn::WebView& view = headlessWebView(ref);
    std::erase(view.handlers, name);
    std::erase_if(view.sinks, [&](const auto& entry) { return entry.first == name; });
    headlessState(self).note(joinText({"script.unhandler ", describe(ref), " name=", name}));
}

void evaluate(void*, ViewRef ref, std::string_view script) { headlessWebView(ref).evaluated.emplace_back(script); }

// Recorded as the script that does the same.
void call(void*, ViewRef ref, std::string_view callee, std::string_view json) {
    HeadlessStandIn::WebView& view = headlessWebView(ref);
    view.evaluated.push_back(joinText({callee, "(", json, ");"}));
    view.called.emplace_back(callee, json);
}

}  // namespace

ScriptMessageService headlessScriptMessages() {
    ScriptMessageService messages;
    KELVO_STANDIN_FILL(messages, KELVO_STANDIN_SCRIPT_MESSAGE_FUNCTIONS)
    return messages;
}

void HeadlessStandIn::pagePost(ViewRef ref, std::string_view handler, std::string_view body) {
    WebView* target = &headlessWebView(ref);
    state_->post([target, handler = std::string(handler), body = std::string(body)] {
        if (target->destroyed) return;
        for (const auto& [name, sink] : target->sinks) {
            if (name == handler && sink.deliver != nullptr) {
                sink.deliver(sink.context, headlessViewRef(*target), body);
                return;
            }
        }
    });
}

}  // namespace kelvo::standin
