#pragma once

// Vostra Studio's own state and bridge commands: documents are saved and read in base64 chunks,
// text goes to the clipboard and comes back from it in base64 chunks, and allowed links open in
// the browser. One `App` record, made once at start-up, is the context of every command row and of
// the application's source callback.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "app/clipboard_access.hpp"
#include "app/open_url.hpp"
#include "base/env.hpp"
#include "base/error.hpp"
#include "base/fixed.hpp"
#include "base/io.hpp"
#include "bridge/async_command_handler.hpp"
#include "bridge/command_handler.hpp"
#include "bridge/request.hpp"
#include "platform/types/window_records.hpp"

namespace kelvo {

// Decoded-payload limits of the commands, in bytes.
inline constexpr std::size_t kSavePathLimit = 1024;
inline constexpr std::size_t kReadPathLimit = 2048;
inline constexpr std::size_t kUrlPayloadLimit = 2048;
inline constexpr std::size_t kAppendTextLimit = 98'304;
// What the largest append decodes to, and the largest chunk one read returns.
inline constexpr std::size_t kAppendBytesLimit = 73'728;
inline constexpr std::size_t kReadChunkBytes = 196'608;
// Files larger than this are not read, and no save makes a document larger.
inline constexpr std::uint64_t kReadableFileLimit = 32 * 1024 * 1024;
// The most text one clipboard write carries: a whole document with room to spare (its line breaks
// and characters may take more bytes in the page's text than in the file).
inline constexpr std::size_t kClipboardTextLimit = 48 * 1024 * 1024;
inline constexpr std::size_t kResourcePathBytes = 2048;
inline constexpr std::size_t kWebViewLabelBytes = 64;

// The web view that began a save, a read or a clipboard text; only it may continue or end it.
struct FileOwner {
    std::uint64_t windowId = 0;
    InlineBytes<kWebViewLabelBytes> label;
};

// Text on its way to the clipboard: heap memory that grows as chunks arrive, and goes when the text
// is put on the clipboard, when another begins and with the record. `transfer` is the number its
// begin answered, 0 when no text is on its way; `claim` the clipboard's claim for it, taken at the
// begin as of when the user asked for the copy (ClipboardAccess::claimText), 0 where another
// program copied since, or `claimFailure` why it could not be taken.
struct PendingClipboardText {
    std::uint64_t transfer = 0;
    std::uint64_t claim = 0;
    std::optional<Error> claimFailure;
    FileOwner owner;
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::size_t capacity = 0;
};

// The clipboard's text read for one web view, handed out in chunks: heap memory from the read's
// begin to its finish (or the next begin, or the end of the record).
struct ClipboardTextRead {
    bool open = false;
    FileOwner owner;
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    std::size_t offset = 0;  // what the chunks handed out so far
};

// A read.begin waiting for the clipboard's holder to hand its text over: the reply goes through
// `responder`, for the request `id`, once the read ends.
struct WaitingClipboardRead {
    bool waiting = false;
    FileOwner owner;
    AsyncBridgeResponder responder;
    InlineBytes<kMaxBridgeIdBytes> id;
    std::array<char, 128> result{};
    std::array<char, 512> reply{};
};

struct App {
    const EnvMap* environment = nullptr;
    Io io;
    WorkspaceOpener workspace;
    ClipboardAccess clipboard;

    // The save in progress: its bytes go to a temporary file beside the document, which replaces
    // the document only when the save finishes. `bytesWritten` is also the next append's offset.
    // Both files are reached through the document's folder, opened once when the save begins, so
    // only their names count against the path limit.
    FileHandle writeFile;
    FileOwner writeOwner;
    std::uint64_t bytesWritten = 0;
    FileHandle saveFolder;
    InlineBytes<kMaxIoPath> saveFolderPath;   // where the path's symbolic links lead
    InlineBytes<kMaxIoName> saveName;         // the document in that folder
    InlineBytes<kMaxIoName> tempName;         // empty when there is no temporary file
    std::array<char, kMaxIoPath> linkText{};  // a symbolic link's target while links are followed

    // The read in progress: it stops at the size the file had when it was opened.
    FileHandle readFile;
    FileOwner readOwner;
    std::uint64_t readOffset = 0;
    std::uint64_t readSize = 0;

    PendingClipboardText clipboardText;
    std::uint64_t lastClipboardTransfer = 0;  // the number the last begin answered
    // The last text the commands put on the clipboard: its transfer, and the serial number of the
    // clipboard write (0: none), by which the clipboard tells whether it still holds that text.
    std::uint64_t copiedTransfer = 0;
    std::uint64_t copiedSerial = 0;
    ClipboardTextRead clipboardRead;
    WaitingClipboardRead waitingRead;

    // The front-end folder, "<bundle resources>/frontend/dist".
    std::uint64_t resourcePathLength = 0;
    std::array<char, kResourcePathBytes> resourcePath{};

    // The commands' working buffers: decoded payload text and file bytes. One command runs at a time.
    std::array<char, kAppendTextLimit> text{};
    std::array<std::uint8_t, kReadChunkBytes> bytes{};
};

// Releasing the record at exit closes what is open, ends a clipboard read still waiting and
// removes an unfinished save's temporary file, so the document stays as it was.
struct AppRelease {
    void operator()(App* app) const;
};
using AppPtr = std::unique_ptr<App, AppRelease>;

// Makes the record with nothing open, serving `frontendFolder` (start-up names it with
// vostra_studio_resource_path). MissingBundleResources when the folder is empty or does not fit,
// OutOfMemory when the record cannot be allocated.
Result<AppPtr> createApp(const EnvMap& environment, Io io, WorkspaceOpener workspace, ClipboardAccess clipboard,
                         std::string_view frontendFolder);

// The application's command table in the bridge's order: "vostra.file.begin", "vostra.file.append",
// "vostra.file.finish", "vostra.file.cancel", "vostra.file.read.begin", "vostra.file.read.chunk",
// "vostra.file.read.finish", "vostra.url.open", "vostra.clipboard.mark", "vostra.clipboard.begin",
// "vostra.clipboard.append", "vostra.clipboard.finish", "vostra.clipboard.read.chunk",
// "vostra.clipboard.read.finish"; and
// the deferred one,
// "vostra.clipboard.read.begin", which answers once the clipboard's holder handed its text over.
// Every row's context is `app`.
inline constexpr std::size_t kAppCommandCount = 14;
std::array<BridgeCommandHandler, kAppCommandCount> appCommandTable(App& app);
inline constexpr std::size_t kAppDeferredCommandCount = 1;
std::array<AsyncBridgeCommandHandler, kAppDeferredCommandCount> appDeferredCommandTable(App& app);

// Ends a clipboard read that still waits, without a reply: the runtime that would carry it goes.
void endWaitingClipboardRead(App& app);

// The source callback of the application binding (the context is the App): the development server
// named by a non-empty KELVO_FRONTEND_URL, else the bundle's front-end folder as "vexa://app".
Result<WindowSource> appSource(void* appContext);

// The command handlers. Each returns its JSON reply (in `output` or a constant text) or an error.
Result<std::string_view> beginFile(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> appendFile(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> finishFile(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> cancelFile(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> beginReadFile(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> readFileChunk(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> finishReadFile(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> openUrl(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> markClipboard(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> beginClipboard(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> appendClipboard(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> finishClipboard(App& app, const BridgeInvocation& call, std::span<char> output);
Status beginClipboardRead(App& app, const BridgeInvocation& call, AsyncBridgeResponder responder);
Result<std::string_view> clipboardReadChunk(App& app, const BridgeInvocation& call, std::span<char> output);
Result<std::string_view> finishClipboardRead(App& app, const BridgeInvocation& call, std::span<char> output);

}  // namespace kelvo
