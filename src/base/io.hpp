#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// Every file, folder, clock, sleep and random-number service the program uses goes through this
// record of function pointers. Paths are UTF-8 bytes; relative paths are relative to the current
// folder. A path of 1,024 bytes or more fails with NameTooLong, one holding a NUL byte with
// BadPathName; an entry name inside an open folder (the "In" operations) may have 255 bytes.
// Operating-system failures map to named errors (AccessDenied, FileNotFound, ...).

inline constexpr std::size_t kMaxIoPath = 1024;
// Entry names inside a folder are shorter than this.
inline constexpr std::size_t kMaxIoName = 256;

struct FileHandle {
    std::int32_t value = -1;
    [[nodiscard]] bool valid() const { return value >= 0; }
    friend bool operator==(FileHandle, FileHandle) = default;
};

enum class FileAccess : std::uint8_t { read_only, write_only, read_write };

struct CreateFileFlags {
    std::uint16_t mode = 0666;  // permission bits before the umask
    bool read = false;          // read-write instead of write-only
    bool truncate = true;
    bool exclusive = false;  // fail with PathAlreadyExists when the file exists
    bool append = false;     // every write goes to the end of the file, whole
};

struct OpenFileFlags {
    FileAccess access = FileAccess::read_only;
    bool followSymlinks = true;  // false: a symbolic link as the last component fails
    bool append = false;
    // The open itself never waits (a FIFO without a writer, a device) and a terminal never becomes
    // the controlling one; what the caller then does with the file is up to it.
    bool nonBlocking = false;
    // The path must name a folder (NotDir otherwise), opened read-only so that the entry operations
    // below can work inside it.
    bool folder = false;
};

enum class FileKind : std::uint8_t { regular, directory, symlink, other };

struct FileStat {
    std::uint64_t size = 0;
    FileKind kind = FileKind::other;
    std::uint16_t mode = 0;  // permission bits
    // When the content last changed, in wall-clock nanoseconds since the Unix epoch.
    std::int64_t modifiedNs = 0;
};

struct IoOps {
    // Creates `path` and every missing parent folder; an existing folder is not an error.
    Status (*makePath)(void* context, std::string_view path, std::uint16_t mode);
    Result<FileHandle> (*createFile)(void* context, std::string_view path, CreateFileFlags flags);
    Result<FileHandle> (*openFile)(void* context, std::string_view path, OpenFileFlags flags);
    Result<FileStat> (*fileStat)(void* context, FileHandle file);
    // Stats a path; with followSymlinks false a symbolic link reports FileKind::symlink.
    Result<FileStat> (*pathStat)(void* context, std::string_view path, bool followSymlinks);
    Status (*fileClose)(void* context, FileHandle file);
    // Writes at `offset` without moving a file position; may write fewer bytes than asked.
    Result<std::size_t> (*fileWritePositional)(void* context, FileHandle file, std::span<const std::uint8_t> bytes,
                                               std::uint64_t offset);
    // Reads at `offset`; 0 at the end of the file.
    Result<std::size_t> (*fileReadPositional)(void* context, FileHandle file, std::span<std::uint8_t> buffer,
                                              std::uint64_t offset);
    // Writes at the file position (or at the end for files opened to append); may write fewer bytes.
    Result<std::size_t> (*fileWrite)(void* context, FileHandle file, std::span<const std::uint8_t> bytes);
    Status (*fileSync)(void* context, FileHandle file);
    // Replaces `to` by `from` in one step.
    Status (*rename)(void* context, std::string_view from, std::string_view to);
    Status (*deleteFile)(void* context, std::string_view path);
    // Calls `visit` once per entry name of a folder (without "." and ".."); stops early when it
    // returns false.
    Status (*listFolder)(void* context, std::string_view path, void* visitContext,
                         bool (*visit)(void* visitContext, std::string_view name));
    // Nanoseconds since the Unix epoch.
    std::int64_t (*wallClockNs)(void* context);
    // Nanoseconds of a clock that never goes back; only differences mean anything.
    std::uint64_t (*monotonicNs)(void* context);
    Status (*sleepNs)(void* context, std::uint64_t nanoseconds);
    Status (*randomBytes)(void* context, std::span<std::uint8_t> out);
    // Reads at the file position and moves it; 0 at the end of the file.
    Result<std::size_t> (*fileRead)(void* context, FileHandle file, std::span<std::uint8_t> buffer);
    // Cuts the file to `length` bytes, or extends it with zeros.
    Status (*fileSetLength)(void* context, FileHandle file, std::uint64_t length);
    // Makes the folder's entries (files created, renamed or removed in it) durable.
    Status (*syncFolder)(void* context, std::string_view path);
    // The absolute path of an existing `path` with every symbolic link, "." and ".." resolved,
    // written into `out`; NameTooLong when it does not fit.
    Result<std::string_view> (*realPath)(void* context, std::string_view path, std::span<char> out);
    // Sets the permission bits of an open file exactly as given (the umask plays no part).
    Status (*fileSetMode)(void* context, FileHandle file, std::uint16_t mode);
    // What the symbolic link at `path` holds, unresolved, written into `out`; NameTooLong when it
    // does not fit; a path that is no symbolic link fails.
    Result<std::string_view> (*readLink)(void* context, std::string_view path, std::span<char> out);

    // Entry operations inside a folder opened with OpenFileFlags::folder. `name` is one entry of
    // that folder (not empty, no '/', neither "." nor ".."; BadPathName otherwise), so however long
    // the folder's own path is, only the name counts against the limits (NameTooLong above 255
    // bytes); names from listFolder are such names.
    Result<FileHandle> (*createFileIn)(void* context, FileHandle folder, std::string_view name, CreateFileFlags flags);
    Result<FileHandle> (*openFileIn)(void* context, FileHandle folder, std::string_view name, OpenFileFlags flags);
    Result<FileStat> (*entryStat)(void* context, FileHandle folder, std::string_view name, bool followSymlinks);
    // Replaces the entry `to` by the entry `from` in one step.
    Status (*renameIn)(void* context, FileHandle folder, std::string_view from, std::string_view to);
    Status (*deleteFileIn)(void* context, FileHandle folder, std::string_view name);
};

struct Io {
    void* context = nullptr;
    const IoOps* ops = nullptr;

    [[nodiscard]] bool present() const { return ops != nullptr; }
};

// Thin callers, so code reads `ioWriteAll(io, file, bytes)` rather than poking the table.
inline Status ioMakePath(const Io& io, std::string_view path, std::uint16_t mode = 0755) {
    return io.ops->makePath(io.context, path, mode);
}
inline Result<FileHandle> ioCreateFile(const Io& io, std::string_view path, CreateFileFlags flags = {}) {
    return io.ops->createFile(io.context, path, flags);
}
inline Result<FileHandle> ioOpenFile(const Io& io, std::string_view path, OpenFileFlags flags = {}) {
    return io.ops->openFile(io.context, path, flags);
}
inline Result<FileStat> ioFileStat(const Io& io, FileHandle file) { return io.ops->fileStat(io.context, file); }
inline Result<FileStat> ioPathStat(const Io& io, std::string_view path, bool followSymlinks = true) {
    return io.ops->pathStat(io.context, path, followSymlinks);
}
inline Status ioClose(const Io& io, FileHandle file) { return io.ops->fileClose(io.context, file); }
inline Status ioSync(const Io& io, FileHandle file) { return io.ops->fileSync(io.context, file); }
inline Status ioSetLength(const Io& io, FileHandle file, std::uint64_t length) {
    return io.ops->fileSetLength(io.context, file, length);
}
inline Status ioSyncFolder(const Io& io, std::string_view path) { return io.ops->syncFolder(io.context, path); }
inline Result<std::string_view> ioRealPath(const Io& io, std::string_view path, std::span<char> out) {
    return io.ops->realPath(io.context, path, out);
}
inline Status ioSetMode(const Io& io, FileHandle file, std::uint16_t mode) {
    return io.ops->fileSetMode(io.context, file, mode);
}
inline Result<std::string_view> ioReadLink(const Io& io, std::string_view path, std::span<char> out) {
    return io.ops->readLink(io.context, path, out);
}
inline Result<FileHandle> ioCreateFileIn(const Io& io, FileHandle folder, std::string_view name,
                                         CreateFileFlags flags = {}) {
    return io.ops->createFileIn(io.context, folder, name, flags);
}
inline Result<FileHandle> ioOpenFileIn(const Io& io, FileHandle folder, std::string_view name,
                                       OpenFileFlags flags = {}) {
    return io.ops->openFileIn(io.context, folder, name, flags);
}
inline Result<FileStat> ioEntryStat(const Io& io, FileHandle folder, std::string_view name,
                                    bool followSymlinks = true) {
    return io.ops->entryStat(io.context, folder, name, followSymlinks);
}
inline Status ioRenameIn(const Io& io, FileHandle folder, std::string_view from, std::string_view to) {
    return io.ops->renameIn(io.context, folder, from, to);
}
inline Status ioDeleteFileIn(const Io& io, FileHandle folder, std::string_view name) {
    return io.ops->deleteFileIn(io.context, folder, name);
}
// Whether `name` can name one entry of an open folder (the rule the "In" operations apply):
// BadPathName when it is empty, "." or "..", or holds a '/' or a NUL byte; NameTooLong from
// kMaxIoName bytes on.
Status ioCheckEntryName(std::string_view name);

inline Status ioRename(const Io& io, std::string_view from, std::string_view to) {
    return io.ops->rename(io.context, from, to);
}
inline Status ioDeleteFile(const Io& io, std::string_view path) { return io.ops->deleteFile(io.context, path); }
inline Result<std::size_t> ioWrite(const Io& io, FileHandle file, std::span<const std::uint8_t> bytes) {
    return io.ops->fileWrite(io.context, file, bytes);
}
inline Result<std::size_t> ioRead(const Io& io, FileHandle file, std::span<std::uint8_t> buffer) {
    return io.ops->fileRead(io.context, file, buffer);
}
inline Result<std::size_t> ioReadAt(const Io& io, FileHandle file, std::span<std::uint8_t> buffer,
                                    std::uint64_t offset) {
    return io.ops->fileReadPositional(io.context, file, buffer, offset);
}
inline Status ioListFolder(const Io& io, std::string_view path, void* visitContext,
                           bool (*visit)(void* visitContext, std::string_view name)) {
    return io.ops->listFolder(io.context, path, visitContext, visit);
}
inline std::int64_t ioWallClockNs(const Io& io) { return io.ops->wallClockNs(io.context); }
inline std::uint64_t ioMonotonicNs(const Io& io) { return io.ops->monotonicNs(io.context); }
inline Status ioSleepNs(const Io& io, std::uint64_t nanoseconds) { return io.ops->sleepNs(io.context, nanoseconds); }
inline Status ioRandomBytes(const Io& io, std::span<std::uint8_t> out) { return io.ops->randomBytes(io.context, out); }

// Writes every byte (looping over short writes); a write that makes no progress is WriteFailed.
Status ioWriteAll(const Io& io, FileHandle file, std::span<const std::uint8_t> bytes);
// The same with positional writes from `offset` on.
Status ioWriteAllAt(const Io& io, FileHandle file, std::span<const std::uint8_t> bytes, std::uint64_t offset);
// Reads up to `buffer.size()` bytes from `offset`, looping until the buffer is full or the file
// ends; returns the count read.
Result<std::size_t> ioReadAllAt(const Io& io, FileHandle file, std::span<std::uint8_t> buffer, std::uint64_t offset);

inline std::span<const std::uint8_t> asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}
inline std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace kelvo
