// GTK user scripts, script message handlers and evaluation, on each web view's own user content
// manager. A message is copied in the signal and handed to the host from a main-loop task; what
// goes to a page goes after the keys handed to it before (page_order.cpp).

#include <algorithm>
#include <utility>

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

WebKitUserContentManager* contentOf(ViewRef ref) { return webViewRecord(ref).content.get(); }

// A posted string as it is; an object as its JSON text; anything else "{}".
std::string bodyOf(WebKitJavascriptResult* result) {
    JSCValue* value = webkit_javascript_result_get_js_value(result);
    GCharPtr text;
    if (jsc_value_is_string(value)) {
        text.reset(jsc_value_to_string(value));
    } else if (jsc_value_is_object(value) && !jsc_value_is_function(value)) {
        text.reset(jsc_value_to_json(value, 0));
    }
    return text ? std::string(text.get()) : std::string("{}");
}

struct HandlerSignal {
    GtkWebViewRecord* record;
    std::string name;
};

void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
    auto& signal = *static_cast<HandlerSignal*>(data);
    GtkWebViewRecord& record = *signal.record;
    GtkState* state = record.state;
    std::uint64_t number = record.number;
    state->post([state, number, name = signal.name, body = bodyOf(result)] {
        GtkWebViewRecord* target = findWebView(*state, number);
        if (target == nullptr) return;
        for (const GtkScriptHandler& handler : target->handlers) {
            if (handler.name == name && handler.sink.deliver != nullptr) {
                // What the host does with the message is its page's doing (a copy's claim of the
                // clipboard ends with the page).
                const std::uint64_t outer = std::exchange(state->messageWebView, number);
                handler.sink.deliver(handler.sink.context, webViewRef(*target), body);
                state->messageWebView = outer;
                return;
            }
        }
    });
}

void freeHandlerSignal(gpointer data, GClosure*) { delete static_cast<HandlerSignal*>(data); }

void addUserScript(void*, ViewRef ref, std::string_view source) {
    std::string text(source);
    WebKitUserScript* script = webkit_user_script_new(text.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(contentOf(ref), script);
    webkit_user_script_unref(script);
}

void removeHandler(void*, ViewRef ref, std::string_view name) {
    GtkWebViewRecord& record = webViewRecord(ref);
    auto found = std::find_if(record.handlers.begin(), record.handlers.end(),
                              [&](const GtkScriptHandler& handler) { return handler.name == name; });
    if (found == record.handlers.end()) return;
    g_signal_handler_disconnect(record.content.get(), found->signal);
    webkit_user_content_manager_unregister_script_message_handler(record.content.get(), found->name.c_str());
    record.handlers.erase(found);
}

void addHandler(void* self, ViewRef ref, std::string_view name, ScriptMessageSink sink) {
    removeHandler(self, ref, name);
    GtkWebViewRecord& record = webViewRecord(ref);
    GtkScriptHandler handler{std::string(name), sink, 0};
    std::string signal = "script-message-received::" + handler.name;
    handler.signal = g_signal_connect_data(record.content.get(), signal.c_str(), G_CALLBACK(onScriptMessage),
                                           new HandlerSignal{&record, handler.name}, freeHandlerSignal,
                                           static_cast<GConnectFlags>(0));
    webkit_user_content_manager_register_script_message_handler(record.content.get(), handler.name.c_str());
    record.handlers.push_back(std::move(handler));
}

// Both wait for the keys handed to the web view before them (page_order.cpp).
void evaluate(void*, ViewRef ref, std::string_view script) {
    sendToPage(webViewRecord(ref), GtkPageOutput{false, std::string(script), {}, 0});
}

void call(void*, ViewRef ref, std::string_view callee, std::string_view json) {
    std::string body(callee);
    body += "(JSON.parse(json));";
    sendToPage(webViewRecord(ref), GtkPageOutput{true, std::move(body), std::string(json), 0});
}

}  // namespace

ScriptMessageService gtkScriptMessages() {
    ScriptMessageService messages;
    KELVO_STANDIN_FILL(messages, KELVO_STANDIN_SCRIPT_MESSAGE_FUNCTIONS)
    return messages;
}

}  // namespace kelvo::standin
