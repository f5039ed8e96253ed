// Reading a file: "vostra.file.read.begin", "vostra.file.read.chunk" and "vostra.file.read.finish".
//
// Only regular files are read. The open never waits (a FIFO would otherwise hang the main thread),
// and a read ends at the size the file had when it was opened, so a device or a growing file cannot
// feed chunks forever.

#include <algorithm>
#include <array>
#include <utility>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "app/command_support.hpp"
#include "app/document_types.hpp"
#include "app/payload_string.hpp"
#include "base/ascii.hpp"

namespace kelvo {

namespace {

bool isReadablePath(std::string_view path) {
    if (path.size() < 4 || !isPlainAbsolutePath(path)) return false;
    return std::any_of(kReadableExtensions.begin(), kReadableExtensions.end(), [&](std::string_view extension) {
        return path.size() > extension.size() && path[path.size() - extension.size() - 1] == '.' &&
               matchesLowerCaseWord(path.substr(path.size() - extension.size()), extension);
    });
}

// The size of a file opened for reading, when it may be read.
Result<std::uint64_t> readableSize(const Io& io, FileHandle file) {
    FileStat stat = TRY(ioFileStat(io, file));
    if (stat.kind == FileKind::directory) return fail(Error::IsDir);
    if (stat.kind != FileKind::regular) return fail(Error::InvalidReadablePath);
    if (stat.size > kReadableFileLimit) return fail(Error::VrsFileTooLarge);
    return stat.size;
}

}  // namespace

void endRead(App& app) {
    if (app.readFile.valid()) (void)ioClose(app.io, std::exchange(app.readFile, FileHandle{}));
    app.readOwner = {};
    app.readOffset = 0;
    app.readSize = 0;
}

Result<std::string_view> beginReadFile(App& app, const BridgeInvocation& call, std::span<char> output) {
    std::string_view path = TRY(decodePayloadPath(call.payload, std::span(app.text).first(kReadPathLimit)));
    if (!isReadablePath(path)) return fail(Error::InvalidReadablePath);
    FileOwner owner = TRY(ownerOf(call));
    endRead(app);
    FileHandle file = TRY(ioOpenFile(app.io, path, {.nonBlocking = true}));
    auto size = readableSize(app.io, file);
    Result<std::string_view> reply = size ? writeBytesReply(output, *size) : fail(size.error());
    if (!reply) {
        (void)ioClose(app.io, file);
        return reply;
    }
    app.readFile = file;
    app.readOwner = owner;
    app.readSize = *size;
    return reply;
}

Result<std::string_view> readFileChunk(App& app, const BridgeInvocation& call, std::span<char> output) {
    if (!app.readFile.valid() || !ownedBy(app.readOwner, call)) return fail(Error::NoOpenFile);
    std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunkBytes, app.readSize - app.readOffset));
    // Checked before reading, so a reply that cannot be sent consumes nothing.
    if (base64EncodedSize(wanted) + 2 > output.size()) return fail(Error::Base64OutputTooSmall);
    std::size_t got = TRY(ioReadAllAt(app.io, app.readFile, {app.bytes.data(), wanted}, app.readOffset));
    output[0] = '"';
    encodeBase64({app.bytes.data(), got}, output.data() + 1);
    std::size_t length = base64EncodedSize(got) + 2;
    output[length - 1] = '"';
    app.readOffset += got;
    return std::string_view(output.data(), length);
}

Result<std::string_view> finishReadFile(App& app, const BridgeInvocation& call, std::span<char>) {
    if (app.readFile.valid() && !ownedBy(app.readOwner, call)) return fail(Error::NoOpenFile);
    endRead(app);
    return kOkReply;
}

}  // namespace kelvo
