// Saving a document: "vostra.file.begin", "vostra.file.append", "vostra.file.finish" and
// "vostra.file.cancel".
//
// The document itself is never written in place. begin creates a new temporary file beside it,
// appends go there, and finish syncs it, renames it over the document and syncs the folder. Until
// that rename the document is exactly what it was, whatever happens to the save: a cancel, a full
// disk, a crash. An unfinished save's temporary file is removed by cancel, by the next begin (also
// in a later process, for the same document) and when the application exits.

#include <array>
#include <utility>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "app/command_support.hpp"
#include "app/payload_string.hpp"
#include "base/wyhash.hpp"

namespace kelvo {

namespace {

// Temporary names are "." + 8 hex digits of the document name's hash + 8 random hex digits + ".tmp":
// short, so that a document path close to the length limit can still be saved, and recognisable,
// so that a crashed save of the same document can be cleaned up later.
constexpr std::size_t kTempNameBytes = 1 + 8 + 8 + 4;
constexpr std::string_view kTempSuffix = ".tmp";

bool isVrsPath(std::string_view path) {
    return path.size() >= 4 && path.ends_with(".vrs") && isPlainAbsolutePath(path);
}

std::string_view folderOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string_view nameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }

void writeHex8(std::uint32_t value, char* out) {
    constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 7; i >= 0; --i) {
        out[i] = kDigits[value & 15];
        value >>= 4;
    }
}

// "<folder>/" followed by `name` in `out`; NameTooLong when it does not fit the I/O path limit.
Status joinPath(InlineBytes<kMaxIoPath>& out, std::string_view folder, std::string_view name) {
    out.clear();
    bool fits = out.append(folder) && (folder.ends_with('/') || out.append("/")) && out.append(name);
    if (!fits || out.size() >= kMaxIoPath) return fail(Error::NameTooLong);
    return {};
}

// The temporary-name prefix of a document: "." and the hash of its name.
std::array<char, 9> tempPrefixFor(std::string_view document) {
    std::array<char, 9> prefix{'.'};
    writeHex8(static_cast<std::uint32_t>(wyhash(nameOf(document))), prefix.data() + 1);
    return prefix;
}

bool isTempNameOf(std::string_view name, std::string_view prefix) {
    if (name.size() != kTempNameBytes || !name.starts_with(prefix) || !name.ends_with(kTempSuffix)) return false;
    for (char c : name.substr(prefix.size(), 8)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

struct StaleTempSweep {
    App* app;
    std::string_view folder;
    std::string_view prefix;
};

// Removes temporary files an earlier, unfinished save of the same document left behind. Should
// another process be saving the same document at this moment, its finish fails to find its file
// and reports the error; the document is never touched.
void removeStaleTemps(App& app, std::string_view folder, std::string_view prefix) {
    StaleTempSweep sweep{&app, folder, prefix};
    (void)ioListFolder(app.io, folder, &sweep, [](void* context, std::string_view name) {
        auto& s = *static_cast<StaleTempSweep*>(context);
        if (isTempNameOf(name, s.prefix) && joinPath(s.app->tempPath, s.folder, name)) {
            (void)ioDeleteFile(s.app->io, s.app->tempPath.view());
        }
        return true;
    });
    app.tempPath.clear();
}

// Settles which file the save replaces and the permission bits the new file gets. A symbolic link
// is saved through (the link stays, the document it names is replaced); something that is not a
// regular file, or a document the user may not write, is refused.
Result<std::uint16_t> resolveSaveTarget(App& app, std::string_view path) {
    auto real = ioRealPath(app.io, path, app.savePath.bytes);
    if (!real) {
        if (real.error() != Error::FileNotFound) return fail(real.error());
        (void)app.savePath.assign(path);
        return std::uint16_t{0666};
    }
    app.savePath.length = static_cast<std::uint32_t>(real->size());
    if (app.savePath.size() >= kMaxIoPath) return fail(Error::NameTooLong);
    FileStat stat = TRY(ioPathStat(app.io, app.savePath.view()));
    if (stat.kind == FileKind::directory) return fail(Error::IsDir);
    if (stat.kind != FileKind::regular) return fail(Error::InvalidVrsPath);
    // Replacing the file must not get round the user's say on writing it: a document they could not
    // write in place is not replaced either. Nothing is written through the probe.
    FileHandle probe =
        TRY(ioOpenFile(app.io, app.savePath.view(), {.access = FileAccess::write_only, .nonBlocking = true}));
    (void)ioClose(app.io, probe);
    return static_cast<std::uint16_t>(stat.mode & 0777);
}

Status startSave(App& app, std::string_view path) {
    std::uint16_t mode = TRY(resolveSaveTarget(app, path));
    std::string_view document = app.savePath.view();
    std::string_view folder = folderOf(document);
    std::array<char, 9> prefix = tempPrefixFor(document);
    removeStaleTemps(app, folder, {prefix.data(), prefix.size()});

    std::array<char, kTempNameBytes> name{};
    std::copy(prefix.begin(), prefix.end(), name.begin());
    std::copy(kTempSuffix.begin(), kTempSuffix.end(), name.end() - kTempSuffix.size());
    std::uint32_t random = 0;
    TRY(ioRandomBytes(app.io, {reinterpret_cast<std::uint8_t*>(&random), sizeof random}));
    writeHex8(random, name.data() + prefix.size());
    TRY(joinPath(app.tempPath, folder, {name.data(), name.size()}));
    auto created =
        ioCreateFile(app.io, app.tempPath.view(), {.mode = mode, .read = true, .truncate = false, .exclusive = true});
    if (!created) {
        app.tempPath.clear();  // not ours to remove
        return fail(created.error());
    }
    app.writeFile = *created;
    return {};
}

// Makes the temporary file the document: its length is the count the save reports, its bytes are
// on disk before the rename, and the rename is on disk before finish answers.
Status commitSave(App& app) {
    FileHandle file = std::exchange(app.writeFile, FileHandle{});
    Status status = ioSetLength(app.io, file, app.bytesWritten);
    if (status) status = ioSync(app.io, file);
    Status closed = ioClose(app.io, file);
    if (status && !closed) status = closed;
    if (status) status = ioRename(app.io, app.tempPath.view(), app.savePath.view());
    if (!status) return status;
    app.tempPath.clear();
    return ioSyncFolder(app.io, folderOf(app.savePath.view()));
}

}  // namespace

void endSave(App& app) {
    if (app.writeFile.valid()) (void)ioClose(app.io, std::exchange(app.writeFile, FileHandle{}));
    if (!app.tempPath.empty()) (void)ioDeleteFile(app.io, app.tempPath.view());
    app.tempPath.clear();
    app.savePath.clear();
    app.writeOwner = {};
    app.bytesWritten = 0;
}

Result<std::string_view> beginFile(App& app, const BridgeInvocation& call, std::span<char>) {
    std::string_view path = TRY(decodePayloadString(call.payload, std::span(app.text).first(kSavePathLimit)));
    if (!isVrsPath(path)) return fail(Error::InvalidVrsPath);
    FileOwner owner = TRY(ownerOf(call));
    // A new save replaces the one in progress, whichever web view began it; that one's later
    // appends then fail instead of landing in this document.
    endSave(app);
    Status started = startSave(app, path);
    if (!started) {
        endSave(app);
        return fail(started.error());
    }
    app.writeOwner = owner;
    return kOkReply;
}

Result<std::string_view> appendFile(App& app, const BridgeInvocation& call, std::span<char>) {
    std::string_view text = TRY(decodePayloadString(call.payload, app.text));
    std::size_t count = TRY(decodeBase64(text, std::span(app.bytes).first(kAppendBytesLimit)));
    if (!app.writeFile.valid() || !ownedBy(app.writeOwner, call)) return fail(Error::NoOpenFile);
    Status written = ioWriteAllAt(app.io, app.writeFile, {app.bytes.data(), count}, app.bytesWritten);
    if (!written) {
        // The save cannot be completed as the front-end sent it: drop it, the document stays.
        endSave(app);
        return fail(written.error());
    }
    app.bytesWritten += count;
    return kOkReply;
}

Result<std::string_view> finishFile(App& app, const BridgeInvocation& call, std::span<char> output) {
    if (!app.writeFile.valid()) {
        app.bytesWritten = 0;
        return writeBytesReply(output, 0);
    }
    if (!ownedBy(app.writeOwner, call)) return fail(Error::NoOpenFile);
    std::uint64_t count = app.bytesWritten;
    Status committed = commitSave(app);
    endSave(app);
    if (!committed) return fail(committed.error());
    return writeBytesReply(output, count);
}

Result<std::string_view> cancelFile(App& app, const BridgeInvocation& call, std::span<char>) {
    if (app.writeFile.valid() && !ownedBy(app.writeOwner, call)) return fail(Error::NoOpenFile);
    endSave(app);
    return kOkReply;
}

}  // namespace kelvo
