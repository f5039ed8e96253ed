#include "platform/web/js_context.hpp"

#include <gtest/gtest.h>
#include <jsc/jsc.h>

#include <fstream>
#include <sstream>

namespace kelvo::testing {
namespace {

constexpr std::string_view kPagePrelude = R"JS(
var window = globalThis;
window.top = window;
window.posted = [];
window.dispatched = [];
window.microtasks = [];
window.reported = [];
window.webkit = { messageHandlers: { kelvoBridge: { postMessage: function (text) { posted.push(text); } } } };
window.dispatchEvent = function (event) { dispatched.push(event); return true; };
window.queueMicrotask = function (task) { microtasks.push(task); };
window.runMicrotasks = function () {
  for (const task of microtasks.splice(0)) {
    try { task(); } catch (error) { reported.push(String(error && error.message)); }
  }
};
function CustomEvent(type, init) { this.type = type; this.detail = init ? init.detail : undefined; }
)JS";

std::string takeString(JSCValue* value) {
    char* text = jsc_value_to_string(value);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    g_object_unref(value);
    return result;
}

// Every page shares one virtual machine that lives as long as the process: JavaScriptCore's machine
// teardown releases its shared pointers through the test program's own copy of the standard
// library's code, which the undefined-behaviour checker then takes for objects without type data.
JSCVirtualMachine* sharedMachine() {
    static JSCVirtualMachine* machine = jsc_virtual_machine_new();
    return machine;
}

}  // namespace

JsContext::JsContext() : context_(jsc_context_new_with_virtual_machine(sharedMachine())) { run(kPagePrelude); }

JsContext::~JsContext() { g_object_unref(context_); }

std::string JsContext::run(std::string_view code) {
    jsc_context_clear_exception(context_);
    JSCValue* value = jsc_context_evaluate(context_, code.data(), static_cast<gssize>(code.size()));
    if (JSCException* exception = jsc_context_get_exception(context_)) {
        std::string thrown =
            std::string("threw ") + jsc_exception_get_name(exception) + ": " + jsc_exception_get_message(exception);
        jsc_context_clear_exception(context_);
        g_object_unref(value);
        return thrown;
    }
    return takeString(value);
}

std::string JsContext::runFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return run(text.str());
}

std::vector<std::string> JsContext::posted() {
    std::vector<std::string> messages;
    std::string count = run("posted.length");
    for (int i = 0; i < std::stoi(count); ++i) messages.push_back(run("posted[" + std::to_string(i) + "]"));
    return messages;
}

}  // namespace kelvo::testing
