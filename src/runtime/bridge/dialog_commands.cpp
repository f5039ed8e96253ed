// "kelvo.dialog.": the system's modal open, save and message dialogs. File-type filters are the
// application's to set, never the page's: the bridge always passes none. A chosen path is written
// with every byte kept, also where its file name is not UTF-8 (writeJsonStringOfBytes), and the
// folder and name a dialog starts with are read back so (jsonPathField).

#include <array>

#include "base/json_string.hpp"
#include "runtime/bridge/family_support.hpp"
#include "runtime/bridge/service_families.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr std::size_t kMaxTitleBytes = 512;
constexpr std::size_t kMaxTextBytes = 4096;  // paths, file names, messages
constexpr std::size_t kMaxButtonBytes = 128;
constexpr std::size_t kOpenDialogPathBytes = 64 * 1024;
constexpr std::size_t kSaveDialogPathBytes = 4096;
constexpr Error kTooLarge = Error::DialogFieldTooLarge;
constexpr Error kInvalid = Error::InvalidDialogOptions;

// An optional text member: empty when absent; checked against `maxBytes` and for NUL bytes.
Result<std::string_view> textMember(BuiltinCommandContext& context, std::string_view name, std::size_t maxBytes) {
    std::optional<std::string_view> text = TRY(stringMember(context, name, kTooLarge));
    std::string_view value = text.value_or("");
    TRY(checkText(value, maxBytes, kTooLarge, kInvalid));
    return value;
}

// A folder or file name to start in, as textMember; its bytes that are not UTF-8 come escaped as
// the chosen paths go to the page, so a document's own folder and name come back as they are.
Result<std::string_view> pathTextMember(BuiltinCommandContext& context, std::string_view name, std::size_t maxBytes) {
    std::optional<std::string_view> text = TRY(pathMember(context, name, kTooLarge));
    std::string_view value = text.value_or("");
    TRY(checkText(value, maxBytes, kTooLarge, kInvalid));
    return value;
}

// A name the save dialog starts with names a file in the folder it shows: one that holds a slash,
// or names that folder or its parent, would have the dialog answer a path elsewhere, unasked.
// Checked on the bytes the name decodes to, however the page spelled them.
bool isFileName(std::string_view name) {
    return name.find('/') == std::string_view::npos && name != "." && name != "..";
}

// The chosen paths, joined with line feeds, as a JSON array of strings: an empty piece between two
// line feeds is an element, a last empty piece is not. A path's bytes that are not UTF-8 are
// written as escapes the page sends back unchanged (writeJsonStringOfBytes).
Result<std::string_view> pathListResult(BuiltinCommandContext& context, std::string_view joined, std::size_t count) {
    BoundedWriter out = resultWriter(context);
    out.put('[');
    std::size_t pieces = 0;
    for (std::size_t start = 0; start < joined.size();) {
        std::size_t end = joined.find('\n', start);
        if (end == std::string_view::npos) end = joined.size();
        if (pieces++ > 0) out.put(',');
        writeJsonStringOfBytes(out, joined.substr(start, end - start));
        start = end + 1;
    }
    out.put(']');
    // A backend leaves out every path that holds a line feed, so the pieces are the paths. More
    // pieces than paths means one was split, and which pieces are real paths cannot be told:
    // answering them could make the page write to a path the user never chose.
    if (pieces > count) return fail(Error::Unexpected);
    return writtenResult(out);
}

Result<std::string_view> openFile(BuiltinCommandContext& context) {
    OpenDialogOptions options;
    options.title = TRY(textMember(context, "title", kMaxTitleBytes));
    options.defaultPath = TRY(pathTextMember(context, "defaultPath", kMaxTextBytes));
    options.allowDirectories = trueMember(context.payload(), "allowDirectories");
    options.allowMultiple = trueMember(context.payload(), "allowMultiple");
    std::span<char> paths = context.output.first(kOpenDialogPathBytes);
    OpenDialogResult chosen = TRY(callNeeded<&PlatformSlots::showOpenDialog>(context.runtime.platform, options, paths));
    if (chosen.count == 0) return kNullResult;
    std::string_view joined = TRY(answeredText(paths, chosen.length));
    return pathListResult(context, joined, chosen.count);
}

Result<std::string_view> saveFile(BuiltinCommandContext& context) {
    SaveDialogOptions options;
    options.title = TRY(textMember(context, "title", kMaxTitleBytes));
    options.defaultPath = TRY(pathTextMember(context, "defaultPath", kMaxTextBytes));
    options.defaultName = TRY(pathTextMember(context, "defaultName", kMaxTextBytes));
    if (!isFileName(options.defaultName)) return fail(kInvalid);
    std::span<char> path = context.output.first(kSaveDialogPathBytes);
    std::optional<std::size_t> chosen =
        TRY(callNeeded<&PlatformSlots::showSaveDialog>(context.runtime.platform, options, path));
    if (!chosen) return kNullResult;
    BoundedWriter out = resultWriter(context);
    writeJsonStringOfBytes(out, TRY(answeredText(path, *chosen)));
    return writtenResult(out);
}

MessageDialogStyle styleNamed(std::string_view name) {
    if (name == "warning") return MessageDialogStyle::warning;
    if (name == "critical") return MessageDialogStyle::critical;
    return MessageDialogStyle::informational;
}

Result<std::string_view> showMessage(BuiltinCommandContext& context) {
    MessageDialogOptions options;
    options.title = TRY(textMember(context, "title", kMaxTitleBytes));
    options.message = TRY(textMember(context, "message", kMaxTextBytes));
    options.informativeText = TRY(textMember(context, "informativeText", kMaxTextBytes));
    std::optional<std::string_view> primary = TRY(stringMember(context, "primaryButton", kTooLarge));
    options.primaryButton = primary.value_or("OK");
    if (options.primaryButton.empty()) return fail(kInvalid);
    TRY(checkText(options.primaryButton, kMaxButtonBytes, kTooLarge, kInvalid));
    options.secondaryButton = TRY(textMember(context, "secondaryButton", kMaxButtonBytes));
    options.tertiaryButton = TRY(textMember(context, "tertiaryButton", kMaxButtonBytes));
    std::optional<std::string_view> style = TRY(stringMember(context, "style", kTooLarge));
    options.style = styleNamed(style.value_or("info"));

    std::uint32_t button = TRY(callNeeded<&PlatformSlots::showMessageDialog>(context.runtime.platform, options));
    if (button == 0) return std::string_view("\"primary\"");
    if (button == 1) return std::string_view("\"secondary\"");
    return std::string_view("\"tertiary\"");
}

constexpr std::array<BuiltinCommand, 3> kDialogCommands = {{
    {"openFile", &openFile},
    {"saveFile", &saveFile},
    {"showMessage", &showMessage},
}};

}  // namespace

std::string_view dispatchDialogBridgeCommand(Runtime& runtime, const BridgeFamilyCall& call,
                                             BridgeFamilyBuffers& buffers) {
    return answerBuiltinCommand(runtime, call, buffers, "kelvo.dialog.", kDialogCommands, "Unknown dialog command");
}

}  // namespace kelvo
