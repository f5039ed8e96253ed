#pragma once

// Private to tests/platform/web: a JavaScriptCore context that stands in for a page, with the few
// browser objects the page bridge script and the front-end touch. In it:
//   window              the global object, its own `top`
//   window.webkit.messageHandlers.kelvoBridge.postMessage(text)   appends to window.posted
//   window.dispatchEvent(event)   appends to window.dispatched; CustomEvent keeps type and detail
//   queueMicrotask(task)          appends to window.microtasks (runMicrotasks() runs them and
//                                 collects what they throw in window.reported)
// Promise jobs run when each evaluation ends.

#include <string>
#include <string_view>
#include <vector>

typedef struct _JSCContext JSCContext;

namespace kelvo::testing {

class JsContext {
public:
    JsContext();
    ~JsContext();
    JsContext(const JsContext&) = delete;
    JsContext& operator=(const JsContext&) = delete;

    // Evaluates `code` and answers String() of its value, or "threw <Name>: <message>".
    std::string run(std::string_view code);
    // Evaluates a file's text (a script of the front-end, for example).
    std::string runFile(const std::string& path);
    // The messages posted to the bridge handler so far, in order.
    std::vector<std::string> posted();

private:
    JSCContext* context_;
};

// The page token the tests inject the bridge script with.
inline constexpr std::string_view kTestPageToken = "0123456789abcdef0123456789abcdef";

}  // namespace kelvo::testing
