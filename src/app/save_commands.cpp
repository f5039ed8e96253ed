// Saving a document: "vostra.file.begin", "vostra.file.append", "vostra.file.finish" and
// "vostra.file.cancel".
//
// The document itself is never written in place. begin creates a new temporary file beside it,
// appends go there, and finish syncs it, renames it over the document and syncs the folder. Until
// that rename the document is exactly what it was, whatever happens to the save: a cancel, a full
// disk, a crash. An unfinished save's temporary file is removed by cancel, by the next begin (also
// in a later process, for the same document) and when the application exits. The new document keeps
// the replaced one's permission bits, and no save makes a document too large to be read again.

#include <algorithm>
#include <array>
#include <utility>

#include "app/app.hpp"
#include "app/base64.hpp"
#include "app/command_support.hpp"
#include "app/payload_string.hpp"
#include "base/wyhash.hpp"

namespace kelvo {

namespace {

// Temporary names are "." + 8 hex digits of the document name's hash + 8 random hex digits + 8 hex
// digits that seal the first two + ".tmp". The hash makes a crashed save of the same document
// recognisable for clean-up; the seal keeps a file someone merely named that way out of it.
constexpr std::size_t kTempNameBytes = 1 + 8 + 8 + 8 + 4;
constexpr std::size_t kTempSealed = 1 + 8 + 8;
constexpr std::string_view kTempSuffix = ".tmp";
constexpr std::uint64_t kTempSeal = 0x7673'7472'6120'746dULL;
// As many links as the system itself follows in one path.
constexpr int kMaxLinkHops = 40;

bool isVrsPath(std::string_view path) {
    return path.size() >= 4 && path.ends_with(".vrs") && isPlainAbsolutePath(path);
}

std::size_t folderLength(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 ? 1 : slash;
}

std::string_view nameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }

void writeHex8(std::uint32_t value, char* out) {
    constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 7; i >= 0; --i) {
        out[i] = kDigits[value & 15];
        value >>= 4;
    }
}

bool isHex8(std::string_view digits) {
    return digits.size() == 8 && std::all_of(digits.begin(), digits.end(),
                                             [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::uint32_t sealOf(std::string_view sealed) { return static_cast<std::uint32_t>(wyhash(sealed, kTempSeal)); }

// The temporary-name prefix of a document: "." and the hash of its name.
std::array<char, 9> tempPrefixFor(std::string_view name) {
    std::array<char, 9> prefix{'.'};
    writeHex8(static_cast<std::uint32_t>(wyhash(name)), prefix.data() + 1);
    return prefix;
}

std::array<char, kTempNameBytes> tempNameFor(std::string_view prefix, std::uint32_t random) {
    std::array<char, kTempNameBytes> name{};
    std::copy(prefix.begin(), prefix.end(), name.begin());
    writeHex8(random, name.data() + prefix.size());
    writeHex8(sealOf({name.data(), kTempSealed}), name.data() + kTempSealed);
    std::copy(kTempSuffix.begin(), kTempSuffix.end(), name.end() - kTempSuffix.size());
    return name;
}

// Whether `name` is a temporary file a save of the document with this prefix made.
bool isTempNameOf(std::string_view name, std::string_view prefix) {
    if (name.size() != kTempNameBytes || !name.starts_with(prefix) || !name.ends_with(kTempSuffix)) return false;
    std::string_view random = name.substr(prefix.size(), 8);
    std::string_view seal = name.substr(kTempSealed, 8);
    if (!isHex8(random) || !isHex8(seal)) return false;
    std::array<char, 8> expected{};
    writeHex8(sealOf(name.substr(0, kTempSealed)), expected.data());
    return seal == std::string_view(expected.data(), expected.size());
}

// Removes temporary files an earlier, unfinished save of the same document left behind. Should
// another process be saving the same document at this moment, its finish fails to find its file
// and reports the error; the document is never touched.
void removeStaleTemps(App& app) {
    std::array<char, 9> prefix = tempPrefixFor(app.saveName.view());
    struct Sweep {
        App* app;
        std::string_view prefix;
    } sweep{&app, {prefix.data(), prefix.size()}};
    (void)ioListFolder(app.io, app.saveFolderPath.view(), &sweep, [](void* context, std::string_view name) {
        auto& s = *static_cast<Sweep*>(context);
        if (isTempNameOf(name, s.prefix)) (void)ioDeleteFileIn(s.app->io, s.app->saveFolder, name);
        return true;
    });
}

// Follows symbolic links from `path` to the file the save replaces, or creates: a link whose
// target does not exist yet leads to that target, so the save writes the target and the link
// stays. The file's folder and name go to `saveFolderPath` and `saveName`.
Status resolveSaveTarget(App& app, std::string_view path) {
    InlineBytes<kMaxIoPath>& current = app.saveFolderPath;  // the whole path until the end
    if (!current.assign(path)) return fail(Error::NameTooLong);
    for (int hops = 0;; ++hops) {
        auto stat = ioPathStat(app.io, current.view(), false);
        if (!stat && stat.error() == Error::FileNotFound) break;
        if (!stat) return fail(stat.error());
        if (stat->kind == FileKind::directory) return fail(Error::IsDir);
        if (stat->kind != FileKind::symlink) break;
        if (hops == kMaxLinkHops) return fail(Error::SymLinkLoop);
        std::string_view target = TRY(ioReadLink(app.io, current.view(), app.linkText));
        if (target.starts_with('/')) {
            (void)current.assign(target);
        } else {
            // A relative target starts in the link's own folder.
            current.length = static_cast<std::uint32_t>(folderLength(current.view()));
            bool fits = (current.view().ends_with('/') || current.append("/")) && current.append(target);
            if (!fits) return fail(Error::NameTooLong);
        }
        if (current.size() >= kMaxIoPath) return fail(Error::NameTooLong);
    }
    std::string_view name = nameOf(current.view());
    // A dangling link may name a folder's path ("missing/", "..") rather than a file.
    if (name.empty() || name == "." || name == "..") return fail(Error::InvalidVrsPath);
    if (!app.saveName.assign(name)) return fail(Error::NameTooLong);
    current.length = static_cast<std::uint32_t>(folderLength(current.view()));
    return {};
}

// The permission bits a save gives its new file: the replaced document's, or the usual bits for
// a new file (0666 less the umask) when there is no document yet.
struct SaveMode {
    bool kept = false;
    std::uint16_t bits = 0666;
};

// Something that is not a regular file, or a document the user may not write, is refused.
Result<SaveMode> existingDocumentMode(App& app) {
    auto stat = ioEntryStat(app.io, app.saveFolder, app.saveName.view());
    if (!stat && stat.error() == Error::FileNotFound) return SaveMode{};
    if (!stat) return fail(stat.error());
    if (stat->kind == FileKind::directory) return fail(Error::IsDir);
    if (stat->kind != FileKind::regular) return fail(Error::InvalidVrsPath);
    // Replacing the file must not get round the user's say on writing it: a document they could not
    // write in place is not replaced either. Nothing is written through the probe.
    FileHandle probe = TRY(ioOpenFileIn(app.io, app.saveFolder, app.saveName.view(),
                                        {.access = FileAccess::write_only, .nonBlocking = true}));
    (void)ioClose(app.io, probe);
    return SaveMode{true, static_cast<std::uint16_t>(stat->mode & 0777)};
}

Status startSave(App& app, std::string_view path) {
    TRY(resolveSaveTarget(app, path));
    app.saveFolder = TRY(ioOpenFile(app.io, app.saveFolderPath.view(), {.folder = true}));
    SaveMode mode = TRY(existingDocumentMode(app));
    removeStaleTemps(app);

    std::uint32_t random = 0;
    TRY(ioRandomBytes(app.io, {reinterpret_cast<std::uint8_t*>(&random), sizeof random}));
    std::array<char, 9> prefix = tempPrefixFor(app.saveName.view());
    std::array<char, kTempNameBytes> name = tempNameFor({prefix.data(), prefix.size()}, random);
    std::string_view tempName(name.data(), name.size());
    app.writeFile = TRY(ioCreateFileIn(app.io, app.saveFolder, tempName,
                                       {.mode = mode.bits, .read = true, .truncate = false, .exclusive = true}));
    (void)app.tempName.assign(tempName);  // ours to remove from here on
    // The umask narrowed the bits the file was created with; the replaced document's come back.
    if (mode.kept) TRY(ioSetMode(app.io, app.writeFile, mode.bits));
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
    if (status) status = ioRenameIn(app.io, app.saveFolder, app.tempName.view(), app.saveName.view());
    if (!status) return status;
    app.tempName.clear();
    return ioSyncFolder(app.io, app.saveFolderPath.view());
}

}  // namespace

void endSave(App& app) {
    if (app.writeFile.valid()) (void)ioClose(app.io, std::exchange(app.writeFile, FileHandle{}));
    if (!app.tempName.empty()) (void)ioDeleteFileIn(app.io, app.saveFolder, app.tempName.view());
    if (app.saveFolder.valid()) (void)ioClose(app.io, std::exchange(app.saveFolder, FileHandle{}));
    app.tempName.clear();
    app.saveName.clear();
    app.saveFolderPath.clear();
    app.writeOwner = {};
    app.bytesWritten = 0;
}

Result<std::string_view> beginFile(App& app, const BridgeInvocation& call, std::span<char>) {
    std::string_view path = TRY(decodePayloadPath(call.payload, std::span(app.text).first(kSavePathLimit)));
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
    if (count > kReadableFileLimit - app.bytesWritten) {
        // Such a document could never be opened again: the save ends here, the document stays.
        endSave(app);
        return fail(Error::VrsFileTooLarge);
    }
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
