// GTK scheme requests: the web context serves each scheme a web view names; a request goes to its
// web view's host from a main-loop task and is finished there, with the whole body or an error.

#include <algorithm>

#include "platform/standin/gtk/gtk_web_state.hpp"

namespace kelvo::standin {

namespace {

struct GtkSchemeTask {
    GObjectPtr<WebKitURISchemeRequest> request;
    bool answered = false;
};

GtkSchemeTask& taskOf(SchemeTaskRef task) { return *reinterpret_cast<GtkSchemeTask*>(task); }
SchemeTaskRef refOf(GtkSchemeTask& task) { return reinterpret_cast<SchemeTaskRef>(&task); }

GQuark errorDomain() { return g_quark_from_static_string("kelvo-url-error"); }

void respond(void*, SchemeTaskRef ref, std::string_view mimeType, std::span<const std::uint8_t> bytes) {
    GtkSchemeTask& task = taskOf(ref);
    task.answered = true;
    GBytes* body = g_bytes_new(bytes.data(), bytes.size());
    GObjectPtr<GInputStream> stream(g_memory_input_stream_new_from_bytes(body));
    g_bytes_unref(body);  // the stream keeps its own reference
    GObjectPtr<WebKitURISchemeResponse> response(
        webkit_uri_scheme_response_new(stream.get(), static_cast<gint64>(bytes.size())));
    std::string type(mimeType);
    webkit_uri_scheme_response_set_content_type(response.get(), type.c_str());
    webkit_uri_scheme_request_finish_with_response(task.request.get(), response.get());
}

void fail(void*, SchemeTaskRef ref, std::int32_t code) {
    GtkSchemeTask& task = taskOf(ref);
    task.answered = true;
    GErrorPtr error(g_error_new(errorDomain(), code, "request failed (%d)", code));
    webkit_uri_scheme_request_finish_error(task.request.get(), error.get());
}

// An unsupported URL, as for a web view that serves no scheme.
constexpr std::int32_t kUnsupportedUrl = -1002;

void onSchemeRequest(WebKitURISchemeRequest* request, gpointer data) {
    GtkState* state = static_cast<GtkState*>(data);
    std::uint64_t number = webViewNumberOf(webkit_uri_scheme_request_get_web_view(request));
    auto task = std::make_shared<GtkSchemeTask>();
    g_object_ref(request);
    task->request.reset(request);
    const gchar* uri = webkit_uri_scheme_request_get_uri(request);
    state->post([state, number, task, url = std::string(uri != nullptr ? uri : "")] {
        GtkWebViewRecord* target = findWebView(*state, number);
        if (target != nullptr && !target->scheme.empty() && target->events.schemeRequest != nullptr) {
            target->events.schemeRequest(target->events.context, webViewRef(*target), refOf(*task), url);
        }
        if (!task->answered) fail(state, refOf(*task), kUnsupportedUrl);
    });
}

}  // namespace

void serveScheme(GtkState& state, std::string_view scheme) {
    GtkWebState& web = gtkWebState(state);
    if (std::find(web.schemes.begin(), web.schemes.end(), scheme) != web.schemes.end()) return;
    web.schemes.emplace_back(scheme);
    const char* name = web.schemes.back().c_str();
    webkit_web_context_register_uri_scheme(web.context.get(), name, onSchemeRequest, &state, nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(web.context.get());
    webkit_security_manager_register_uri_scheme_as_secure(security, name);
    webkit_security_manager_register_uri_scheme_as_cors_enabled(security, name);
}

SchemeService gtkScheme() {
    SchemeService scheme;
    KELVO_STANDIN_FILL(scheme, KELVO_STANDIN_SCHEME_FUNCTIONS)
    return scheme;
}

}  // namespace kelvo::standin
