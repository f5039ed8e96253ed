#pragma once

// How the window, command, view and web view families turn an outcome into their one reply.
// Private to runtime/bridge.

#include <span>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/error.hpp"
#include "bridge/reply.hpp"
#include "runtime/bridge/family.hpp"

namespace kelvo {

// The success reply carrying `result` (a text in `buffers.output`), or the built-in error reply
// of its error.
std::string_view replyWithResult(const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers,
                                 const Result<std::string_view>& result);

// The error reply with a family's own code and message ("Unknown view command", ...).
std::string_view replyWithMessage(const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers, BridgeErrorCode code,
                                  std::string_view message);

// One command of a family: its full name and the operation that answers it with a result text
// (written into `buffers.output`). A command with a `failureMessage` answers every failure with
// internal_error and that message instead of the built-in error table's.
struct FamilyCommand {
    std::string_view name;
    Result<std::string_view> (*run)(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers);
    std::string_view failureMessage{};
};

// Runs the command the request names (compared byte for byte) and replies with its outcome; a
// name that is none of `commands` gets unknown_command with `unknownMessage`.
std::string_view dispatchFamilyCommand(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers,
                                       std::span<const FamilyCommand> commands, std::string_view unknownMessage);

// Runs `write(BoundedWriter&) -> Status` over the output buffer and answers the text written.
template <class Write>
Result<std::string_view> writeResult(std::span<char> output, Write&& write) {
    BoundedWriter out(output);
    TRY(write(out));
    if (out.overflowed()) return fail(Error::WriteFailed);
    return out.text();
}

// Writes "[", each element with `writeOne(BoundedWriter&, const T&) -> Status` apart by ",", then
// "]".
template <class Range, class WriteOne>
Status writeJsonArray(BoundedWriter& out, const Range& elements, WriteOne&& writeOne) {
    out.put('[');
    bool first = true;
    for (const auto& element : elements) {
        if (!first) out.put(',');
        first = false;
        TRY(writeOne(out, element));
    }
    out.put(']');
    return {};
}

}  // namespace kelvo
