// Drives the bridge router with arbitrary messages over every command family and the application
// route, with a permissive policy on the scripted test platform. Every message must be answered
// exactly once (with a reply the page can read, strict JSON, whenever the message was valid
// UTF-8), and the router must be free again.
//
// Input: a first byte below the number of known commands picks that command, and the rest is its
// payload; any other input is the whole message text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/utf8.hpp"
#include "bridge/reply.hpp"
#include "bridge/strict_json.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/runtime.hpp"
#include "support/test_platform.hpp"

namespace {

using namespace kelvo;

void check(bool condition) {
    if (!condition) std::abort();
}

constexpr std::string_view kCommands[] = {
    "kelvo.window.create",
    "kelvo.window.focus",
    "kelvo.window.close",
    "kelvo.window.list",
    "kelvo.command.list",
    "kelvo.command.invoke",
    "kelvo.view.create",
    "kelvo.view.update",
    "kelvo.view.setFrame",
    "kelvo.view.setVisible",
    "kelvo.view.focus",
    "kelvo.view.focusNext",
    "kelvo.view.focusPrevious",
    "kelvo.view.list",
    "kelvo.view.close",
    "kelvo.webview.create",
    "kelvo.webview.list",
    "kelvo.webview.setFrame",
    "kelvo.webview.navigate",
    "kelvo.webview.setZoom",
    "kelvo.webview.setLayer",
    "kelvo.webview.close",
    "kelvo.platform.supports",
    "kelvo.dialog.openFile",
    "kelvo.dialog.saveFile",
    "kelvo.dialog.showMessage",
    "kelvo.os.openUrl",
    "kelvo.os.revealPath",
    "kelvo.os.showNotification",
    "kelvo.os.addRecentDocument",
    "kelvo.os.clearRecentDocuments",
    "kelvo.clipboard.readText",
    "kelvo.clipboard.read",
    "kelvo.clipboard.write",
    "kelvo.clipboard.writeText",
    "kelvo.credentials.set",
    "kelvo.credentials.get",
    "kelvo.credentials.delete",
    "kelvo.os.",
    "app.echo",
    "app.fails",
    "app.now",
    "app.failsOpen",
};

Result<std::string_view> echo(void*, const BridgeInvocation& invocation, std::span<char> output) {
    std::string_view payload = invocation.payload.substr(0, output.size());
    std::copy(payload.begin(), payload.end(), output.begin());
    return std::string_view(output.data(), payload.size());
}
Result<std::string_view> fails(void*, const BridgeInvocation&, std::span<char>) { return fail(Error::AccessDenied); }
Status now(void*, const BridgeInvocation& invocation, AsyncBridgeResponder responder) {
    std::array<char, 256> buffer;
    return responder.complete(writeSuccessResponse(buffer, invocation.id, "true"));
}
Status failsOpen(void*, const BridgeInvocation&, AsyncBridgeResponder) { return fail(Error::AccessDenied); }

constexpr BridgeCommandRule kRules[] = {
    {"app.echo", {}, {}}, {"app.fails", {}, {}}, {"app.now", {}, {}}, {"app.failsOpen", {}, {}}};
constexpr BridgeCommandHandler kHandlers[] = {{"app.echo", nullptr, &echo}, {"app.fails", nullptr, &fails}};
constexpr AsyncBridgeCommandHandler kDeferred[] = {{"app.now", nullptr, &now}, {"app.failsOpen", nullptr, &failsOpen}};
constexpr std::string_view kLinks[] = {"*"};

struct World {
    TestPlatform test;
    Runtime* runtime = nullptr;

    World() {
        runtime = *allocateRuntime();
        runtime->platform = test.platform();
        runtime->securityChecks = false;
        runtime->securityPolicy.externalLinks = kLinks;
        runtime->securityPolicy.externalLinkAction = 1;
        runtime->bridgeConfig = BridgeConfig{Policy{{}, kRules, true}, kHandlers, kDeferred};
    }

    // The answers the fuzzer's own writes changed go back to where they started.
    void reset() {
        test.clearCalls();
        TestPlatform::Answers& answers = test.answers();
        answers.clipboardText = "clip \"text\"\n";
        answers.clipboardData.clear();
        answers.credentials.clear();
        answers.openDialogPaths = {"/a", "/b \"c\""};
        answers.saveDialogPath = "/saved";
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    world.reset();

    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string message;
    if (!input.empty() && static_cast<std::size_t>(data[0]) < std::size(kCommands)) {
        message.append(R"({"id":"f","command":")").append(kCommands[data[0]]).append(R"(","payload":)");
        message.append(input.substr(1)).append("}");
    } else {
        message.assign(input);
    }

    Status handled = handleBridgeMessage(*world.runtime, AppBinding{}, BridgeMessage{message, "vexa://app", 1, "main"});
    check(handled.has_value());
    check(!world.runtime->bridgeRouter.busy);
    auto replies = world.test.callsTo(PlatformSlot::completeWebViewBridge);
    check(replies.size() == 1);
    std::string_view reply = replies[0].text();
    check(reply.starts_with(R"({"id":)"));
    // A request's id goes back as it came: only a message that is text gets a reply that is text.
    if (isValidUtf8(message)) check(isStrictJson(reply));
    for (const BridgeResponderSlot& slot : world.runtime->bridgeRouter.responders) check(!slot.active);
    return 0;
}
