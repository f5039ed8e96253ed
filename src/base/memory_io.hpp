#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/io.hpp"

namespace kelvo {

// The operations of the I/O interface, as fault injection and the call log name them.
enum class IoOp : std::uint8_t {
    make_path,
    create_file,
    open_file,
    file_stat,
    path_stat,
    close,
    write_positional,
    read_positional,
    write,
    read,
    sync,
    rename,
    delete_file,
    list_folder,
    sleep,
    random,
    set_length,
    sync_folder,
    real_path,
    set_mode,
    read_link,
};

std::string_view ioOpName(IoOp op);

// One planned failure. A call matches when its operation is `op` and its path matches `path`:
// "" matches every path, a path ending in '*' matches every path that starts with the rest, any
// other path matches exactly. Operations on an open file match the path the file was opened at;
// rename matches its source or its target. The entry operations inside an open folder count as the
// operations they stand for (createFileIn as create_file, renameIn as rename, entryStat as
// path_stat, ...) on the entry's whole path. The first `after` matching calls succeed, then the
// next `times` matching calls fail (0: every later one).
struct IoFault {
    IoOp op = IoOp::write;
    std::string path;
    Error error = Error::Unexpected;
    std::uint32_t after = 0;
    std::uint32_t times = 1;
    // Writes only: instead of failing, write at most this many bytes and report that count
    // (0 is a write that makes no progress).
    std::optional<std::size_t> writeAtMost;
    std::uint32_t seen = 0;  // matching calls so far
};

// One call the in-memory I/O received, in order. `path` is the resolved path (for open files the
// path they were opened at); `target` is the target of a rename.
struct IoCall {
    IoOp op = IoOp::make_path;
    std::string path;
    std::string target;
    std::optional<Error> error;  // set when the call failed
};

// An in-memory file system with a settable clock, deterministic random bytes and per-path,
// per-operation fault injection, for tests:
//
//     MemoryIo memory;
//     memory.putFile("/home/me/state.txt", "old");
//     memory.failOn(IoOp::rename, "/home/me/state.txt", Error::AccessDenied);
//     Io io = memoryIo(memory);
//
// Paths are resolved against the current folder ("/" unless set); "." and ".." components are
// folded. The limits and errors follow the POSIX implementation (NameTooLong, BadPathName,
// FileNotFound, NotDir, IsDir, PathAlreadyExists). There is no umask: a created file has the mode
// it was created with. Opening a file that exists (for reading, writing or both, also through a
// create that does not make it) needs its owner's read or write bit, else AccessDenied, as for a
// user who owns every file and is not root; folders' bits are not asked. There are no symbolic
// links either. Every member is safe to call from any thread.
class MemoryIo {
public:
    MemoryIo();

    // Set-up. putFile creates missing parent folders and replaces an existing file, giving it the
    // permission bits `mode`.
    void putFile(std::string_view path, std::string_view content, std::uint16_t mode = 0644);
    void putFolder(std::string_view path);
    void setCurrentFolder(std::string_view path);

    // Inspection.
    [[nodiscard]] std::optional<std::string> fileText(std::string_view path) const;
    [[nodiscard]] bool exists(std::string_view path) const;
    [[nodiscard]] bool isFolder(std::string_view path) const;
    // Every file and folder path, sorted ("/" is left out).
    [[nodiscard]] std::vector<std::string> paths() const;
    // The permission bits of a file or folder; none when nothing is there.
    [[nodiscard]] std::optional<std::uint16_t> mode(std::string_view path) const;
    [[nodiscard]] std::size_t openFileCount() const;

    // Faults.
    void addFault(IoFault fault);
    // Fails matching calls of `op` on `path` with `error` after `after` successful ones, `times` times.
    void failOn(IoOp op, std::string_view path, Error error, std::uint32_t after = 0, std::uint32_t times = 1);
    // Makes matching writes short: each writes at most `atMost` bytes, `times` times (0: always).
    void shortWrites(std::string_view path, std::size_t atMost, std::uint32_t times = 0);
    void clearFaults();

    // The call log.
    [[nodiscard]] std::vector<IoCall> calls() const;
    [[nodiscard]] std::size_t callCount(IoOp op, std::string_view path = "") const;
    void clearCalls();
    void setRecordCalls(bool record);

    // Clocks: they move only when set, advanced, or when something sleeps (which advances both).
    // A file's modification time is the wall clock when its content last changed.
    void setWallClockNs(std::int64_t nanoseconds);
    void setMonotonicNs(std::uint64_t nanoseconds);
    void advanceClocks(std::uint64_t nanoseconds);
    [[nodiscard]] std::int64_t wallClockNs() const;
    [[nodiscard]] std::uint64_t monotonicNs() const;
    // Restarts the random byte stream from `seed`.
    void setRandomSeed(std::uint64_t seed);

private:
    friend struct MemoryIoAccess;

    // A file's content and the time it last changed, shared with open files as an inode is.
    struct FileData : std::vector<std::uint8_t> {
        std::int64_t modifiedNs = 0;
    };
    struct Node {
        FileKind kind = FileKind::regular;
        std::uint16_t mode = 0;
        std::shared_ptr<FileData> data;
    };
    struct OpenFile {
        std::string path;
        std::shared_ptr<FileData> data;
        bool folder = false;
        bool canRead = false;
        bool canWrite = false;
        bool append = false;
        std::uint64_t position = 0;
        std::uint16_t mode = 0;
    };

    mutable std::mutex lock_;
    std::map<std::string, Node> nodes_;
    std::map<std::int32_t, OpenFile> open_;
    std::int32_t nextHandle_ = 3;
    std::string currentFolder_ = "/";
    std::vector<IoFault> faults_;
    std::vector<IoCall> calls_;
    bool recordCalls_ = true;
    std::int64_t wallClockNs_ = 1'700'000'000'000'000'000;
    std::uint64_t monotonicNs_ = 1'000'000'000;
    std::uint64_t randomState_ = 0;
};

// The I/O interface over `memory`, which must outlive every use of the result.
Io memoryIo(MemoryIo& memory);

}  // namespace kelvo
