#include "runtime/bridge/family_support.hpp"

#include "base/json_string.hpp"
#include "bridge/json_field.hpp"
#include "bridge/reply.hpp"
#include "runtime/bridge/builtin_errors.hpp"

namespace kelvo {

std::string_view answerBuiltinCommand(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers,
                                      std::string_view prefix, std::span<const BuiltinCommand> commands,
                                      std::string_view unknownMessage) {
    const BridgeRequest& request = call.request;
    std::string_view name = request.command;
    if (name.starts_with(prefix)) name.remove_prefix(prefix.size());
    for (const BuiltinCommand& command : commands) {
        if (command.name != name) continue;
        BuiltinCommandContext context{runtime, call, PayloadScratch{buffers.scratch, 0}, buffers.output};
        Result<std::string_view> result = command.run(context);
        if (!result && !command.failureMessage.empty()) {
            return writeErrorResponse(buffers.reply, request.id, BridgeErrorCode::internal_error,
                                      command.failureMessage);
        }
        if (!result) return writeBuiltinErrorResponse(buffers.reply, request.id, result.error());
        return writeSuccessResponse(buffers.reply, request.id, *result);
    }
    return writeErrorResponse(buffers.reply, request.id, BridgeErrorCode::unknown_command, unknownMessage);
}

Result<std::optional<std::string_view>> stringMember(BuiltinCommandContext& context, std::string_view name,
                                                     Error tooLarge) {
    return readStringMember(context.payload(), name, context.scratch, tooLarge);
}

Result<std::optional<std::string_view>> pathMember(BuiltinCommandContext& context, std::string_view name,
                                                   Error tooLarge) {
    return readPathMember(context.payload(), name, context.scratch, tooLarge);
}

Result<std::optional<std::string_view>> firstStringMember(BuiltinCommandContext& context,
                                                          std::initializer_list<std::string_view> names,
                                                          Error tooLarge) {
    for (std::string_view name : names) {
        std::optional<std::string_view> text = TRY(stringMember(context, name, tooLarge));
        if (text) return text;
    }
    return std::optional<std::string_view>{};
}

bool trueMember(std::string_view payload, std::string_view name) { return fieldValue(payload, name) == "true"; }

Status checkText(std::string_view text, std::size_t maxBytes, Error tooLarge, Error invalid) {
    if (text.size() > maxBytes) return fail(tooLarge);
    if (text.find('\0') != std::string_view::npos) return fail(invalid);
    return {};
}

Result<std::string_view> answeredText(std::span<const char> buffer, std::size_t length) {
    if (length > buffer.size()) return fail(Error::NoSpaceLeft);
    return std::string_view(buffer.data(), length);
}

BoundedWriter resultWriter(BuiltinCommandContext& context) {
    return BoundedWriter(context.scratch.bytes.subspan(context.scratch.used));
}

Result<std::string_view> writtenResult(const BoundedWriter& out) {
    if (out.overflowed()) return fail(Error::WriteFailed);
    return out.text();
}

Result<std::string_view> stringResult(BuiltinCommandContext& context, std::string_view text) {
    BoundedWriter out = resultWriter(context);
    writeJsonString(out, text);
    return writtenResult(out);
}

}  // namespace kelvo
