#include "runtime/bridge/family_reply.hpp"

#include "runtime/bridge/builtin_errors.hpp"

namespace kelvo {

std::string_view replyWithResult(const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers,
                                 const Result<std::string_view>& result) {
    if (!result) return writeBuiltinErrorResponse(buffers.reply, call.request.id, result.error());
    return writeSuccessResponse(buffers.reply, call.request.id, *result);
}

std::string_view replyWithMessage(const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers, BridgeErrorCode code,
                                  std::string_view message) {
    return writeErrorResponse(buffers.reply, call.request.id, code, message);
}

std::string_view dispatchFamilyCommand(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers,
                                       std::span<const FamilyCommand> commands, std::string_view unknownMessage) {
    for (const FamilyCommand& command : commands) {
        if (command.name != call.request.command) continue;
        Result<std::string_view> result = command.run(runtime, call, buffers);
        if (!result && !command.failureMessage.empty()) {
            return replyWithMessage(call, buffers, BridgeErrorCode::internal_error, command.failureMessage);
        }
        return replyWithResult(call, buffers, result);
    }
    return replyWithMessage(call, buffers, BridgeErrorCode::unknown_command, unknownMessage);
}

}  // namespace kelvo
