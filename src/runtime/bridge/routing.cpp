#include "runtime/bridge/routing.hpp"

#include <array>

#include "bridge/reply.hpp"
#include "bridge/request.hpp"
#include "runtime/bridge/builtin_families.hpp"
#include "runtime/bridge/deferred_replies.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kCommandNotPermittedMessage = "Bridge command is not permitted";
constexpr std::string_view kCommandNotRegisteredMessage = "Bridge command is not registered";
// Room for an error reply with a short message: a request id is at most 64 bytes and never needs
// escaping.
constexpr std::size_t kShortReplyBytes = 256;

// Delivers the reply to the web view that sent the message, then marks the runtime changed.
Status deliverReply(Runtime& runtime, const BridgeMessage& message, std::string_view reply) {
    TRY(completeBridgeResponseTo(runtime, message.windowId, message.webViewLabel, reply, runtime.bridgeRouter.target));
    markStateDirty(runtime);
    return {};
}

Status routeBuiltin(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message,
                    const BridgeRequest& request, const BuiltinBridgeFamily& family) {
    BridgeRouterState& router = runtime.bridgeRouter;
    std::string_view reply;
    if (!builtinBridgeCallPermitted(runtime, family, request.command, message.origin)) {
        reply = writeErrorResponse(router.reply, request.id, BridgeErrorCode::permission_denied, family.denial);
    } else if (family.dispatch == nullptr) {
        reply = writeErrorResponse(router.reply, request.id, BridgeErrorCode::internal_error,
                                   errorName(Error::UnsupportedService));
    } else {
        BridgeFamilyCall call{request, binding, message.windowId, message.webViewLabel};
        BridgeFamilyBuffers buffers{router.output, router.scratch, router.reply};
        reply = family.dispatch(runtime, call, buffers);
    }
    return deliverReply(runtime, message, reply);
}

template <class Handler>
const Handler* findHandler(std::span<const Handler> handlers, std::string_view command) {
    for (const Handler& handler : handlers) {
        if (handler.name == command) return handler.handle != nullptr ? &handler : nullptr;
    }
    return nullptr;
}

// A deferred command answers through its responder. When it fails while its responder is still
// open, the failure is its answer (handler_failed with the error's name); when it fails after it
// answered, the page already has its reply and the failure is only traced. Either way the run
// goes on.
Status routeDeferred(Runtime& runtime, const BridgeMessage& message, const BridgeRequest& request,
                     const AsyncBridgeCommandHandler& handler) {
    BridgeRouterState& router = runtime.bridgeRouter;
    Result<AsyncBridgeResponder> responder =
        claimBridgeResponder(runtime, message.origin, message.windowId, message.webViewLabel);
    if (!responder) {
        return deliverReply(runtime, message,
                            writeErrorResponse(router.reply, request.id, BridgeErrorCode::internal_error,
                                               errorName(responder.error())));
    }
    BridgeInvocation invocation{request.id,        request.command,  request.payload,
                                responder->origin, message.windowId, responder->label};
    Status handled = handler.handle(handler.context, invocation, *responder);
    markStateDirty(runtime);
    if (handled) return {};
    if (!bridgeResponderOpen(*responder)) {
        runtimeTrace(runtime, "bridge.deferred_failed", errorName(handled.error()),
                     {traceText("command", request.command)});
        return {};
    }
    std::string_view reply =
        writeErrorResponse(router.reply, request.id, BridgeErrorCode::handler_failed, errorName(handled.error()));
    return responder->complete(reply);
}

std::string_view answerApplicationCommand(Runtime& runtime, const BridgeMessage& message,
                                          const BridgeRequest& request) {
    BridgeRouterState& router = runtime.bridgeRouter;
    const BridgeCommandHandler* handler = findHandler(runtime.bridgeConfig.handlers, request.command);
    if (handler == nullptr) {
        return writeErrorResponse(router.reply, request.id, BridgeErrorCode::unknown_command,
                                  kCommandNotRegisteredMessage);
    }
    BridgeInvocation invocation{request.id,     request.command,  request.payload,
                                message.origin, message.windowId, message.webViewLabel};
    Result<std::string_view> result = handler->handle(handler->context, invocation, router.output);
    if (!result) {
        return writeErrorResponse(router.reply, request.id, BridgeErrorCode::handler_failed, errorName(result.error()));
    }
    return writeSuccessResponse(router.reply, request.id, *result);
}

Status routeApplication(Runtime& runtime, const BridgeMessage& message, const BridgeRequest& request) {
    BridgeRouterState& router = runtime.bridgeRouter;
    const Policy policy = effectiveBridgePolicy(runtime.bridgeConfig.policy, runtime.securityPolicy);
    std::string_view reply;
    if (!request.ok()) {
        reply = writeRequestErrorResponse(router.reply, *request.error);
    } else if (const auto* deferred = findHandler(runtime.bridgeConfig.asyncHandlers, request.command)) {
        // The deferred route writes no dispatch trace, not even for a refusal.
        if (policy.allows(request.command, message.origin)) return routeDeferred(runtime, message, request, *deferred);
        return deliverReply(runtime, message,
                            writeErrorResponse(router.reply, request.id, BridgeErrorCode::permission_denied,
                                               kCommandNotPermittedMessage));
    } else if (!policy.allows(request.command, message.origin)) {
        // Checked before the handler lookup: a command nobody may call is not revealed as unknown.
        reply = writeErrorResponse(router.reply, request.id, BridgeErrorCode::permission_denied,
                                   kCommandNotPermittedMessage);
    } else {
        reply = answerApplicationCommand(runtime, message, request);
    }
    TRY(deliverReply(runtime, message, reply));
    runtimeTrace(runtime, "bridge.dispatch", "bridge request handled",
                 {traceU64("request_bytes", message.message.size()), traceU64("response_bytes", reply.size())});
    return {};
}

Status route(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message) {
    const BridgeRequest request = parseRequest(message.message);
    if (request.ok()) {
        if (const BuiltinBridgeFamily* family = findBuiltinBridgeFamily(request.command)) {
            return routeBuiltin(runtime, binding, message, request, *family);
        }
    }
    return routeApplication(runtime, message, request);
}

// A message that arrives while another is being handled (a command that dispatched events of its
// own) would overwrite the buffers in use: it is answered at once, from a small buffer of its own.
Status refuseReentry(Runtime& runtime, const BridgeMessage& message, BridgeReplyTarget target) {
    const BridgeRequest request = parseRequest(message.message);
    std::array<char, kShortReplyBytes> buffer;
    std::string_view reply =
        writeErrorResponse(buffer, request.id, BridgeErrorCode::internal_error, errorName(Error::BridgeReentered));
    runtimeTrace(runtime, "bridge.reentry_refused", errorName(Error::BridgeReentered),
                 {traceText("command", request.command)}, TraceLevel::warn);
    TRY(completeBridgeResponseTo(runtime, message.windowId, message.webViewLabel, reply, target));
    markStateDirty(runtime);
    return {};
}

Status handleMessage(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message,
                     BridgeReplyTarget target) {
    ++runtime.changeCounter;
    BridgeRouterState& router = runtime.bridgeRouter;
    if (router.busy) return refuseReentry(runtime, message, target);
    router.busy = true;
    router.target = target;
    Status handled = route(runtime, binding, message);
    router.target = BridgeReplyTarget::page;
    router.busy = false;
    return handled;
}

}  // namespace

Status handleBridgeMessage(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message) {
    return handleMessage(runtime, binding, message, BridgeReplyTarget::page);
}

Status handleAutomationBridgeMessage(Runtime& runtime, const AppBinding& binding, const BridgeMessage& message) {
    return handleMessage(runtime, binding, message, BridgeReplyTarget::automation_file);
}

}  // namespace kelvo
