#pragma once

// What the built-in command families of this folder share (private to the folder): a table of a
// family's commands, reading payload members, checking texts and writing JSON results.

#include <cstddef>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "base/bounded_writer.hpp"
#include "base/error.hpp"
#include "runtime/bridge/family.hpp"
#include "runtime/bridge/payload_fields.hpp"

namespace kelvo {

// One command at work. Payload strings with escapes are decoded into `scratch`; the JSON result
// is written after them (`resultWriter`). Platform services copy what they answer into `output`.
struct BuiltinCommandContext {
    Runtime& runtime;
    const BridgeFamilyCall& call;
    PayloadScratch scratch;
    std::span<char> output;

    [[nodiscard]] std::string_view payload() const { return call.request.payload; }
};

// A command's work: its JSON result text, or the error its reply reports.
using BuiltinCommandFn = Result<std::string_view> (*)(BuiltinCommandContext& context);

struct BuiltinCommand {
    std::string_view name;  // the command name after the family's prefix, compared byte for byte
    BuiltinCommandFn run;
    // When set, every failure of the command is answered with internal_error and this message
    // instead of the built-in error table's.
    std::string_view failureMessage{};
};

// Runs the command of `commands` that the request names after `prefix` and returns its reply,
// written into `buffers.reply`: a success reply with its result; the built-in error table's code
// and message for its error (or the command's own failure message); unknown_command `unknownMessage` for any other name
// of the family.
std::string_view answerBuiltinCommand(Runtime& runtime, const BridgeFamilyCall& call, BridgeFamilyBuffers& buffers,
                                      std::string_view prefix, std::span<const BuiltinCommand> commands,
                                      std::string_view unknownMessage);

// The string member `name`: none when it is missing or not a well-formed string; `tooLarge` when
// its decoded text does not fit in the scratch area.
Result<std::optional<std::string_view>> stringMember(BuiltinCommandContext& context, std::string_view name,
                                                     Error tooLarge);
// The member `name` holding a file's path or name, read as by stringMember but with each byte that
// is not UTF-8 escaped as the application writes it for the page (jsonPathField).
Result<std::optional<std::string_view>> pathMember(BuiltinCommandContext& context, std::string_view name,
                                                   Error tooLarge);
// The first of `names` that is present, read as by stringMember.
Result<std::optional<std::string_view>> firstStringMember(BuiltinCommandContext& context,
                                                          std::initializer_list<std::string_view> names,
                                                          Error tooLarge);

// Whether the member `name` is exactly the literal true (anything else, or nothing, is false).
bool trueMember(std::string_view payload, std::string_view name);

// `tooLarge` for a text over `maxBytes`, then `invalid` for one holding a NUL byte.
Status checkText(std::string_view text, std::size_t maxBytes, Error tooLarge, Error invalid);

// The first `length` bytes of `buffer`, which a platform service reported it copied there;
// NoSpaceLeft when it reports more than the buffer holds.
Result<std::string_view> answeredText(std::span<const char> buffer, std::size_t length);

// A writer for the command's JSON result, over what the decoded strings left of the scratch area.
BoundedWriter resultWriter(BuiltinCommandContext& context);
// The written result; WriteFailed when it did not fit.
Result<std::string_view> writtenResult(const BoundedWriter& out);
// `text` as a JSON string result.
Result<std::string_view> stringResult(BuiltinCommandContext& context, std::string_view text);

inline constexpr std::string_view kTrueResult = "true";
inline constexpr std::string_view kFalseResult = "false";
inline constexpr std::string_view kNullResult = "null";

}  // namespace kelvo
