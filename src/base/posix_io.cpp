#include "base/posix_io.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kelvo {

namespace {

struct ErrnoName {
    int errnoValue;
    Error error;
};

constexpr std::array<ErrnoName, 14> kErrnoNames = {{
    {EACCES, Error::AccessDenied},
    {EPERM, Error::AccessDenied},
    {ENOENT, Error::FileNotFound},
    {ENOSPC, Error::NoSpaceLeft},
    {EDQUOT, Error::DiskQuota},
    {EISDIR, Error::IsDir},
    {ENOTDIR, Error::NotDir},
    {ENAMETOOLONG, Error::NameTooLong},
    {EROFS, Error::ReadOnlyFileSystem},
    {EIO, Error::InputOutput},
    {EEXIST, Error::PathAlreadyExists},
    // rename reports a non-empty target folder as either of the two.
    {ENOTEMPTY, Error::PathAlreadyExists},
    {ENOMEM, Error::SystemResources},
    {ELOOP, Error::SymLinkLoop},
}};

tl::unexpected<Error> failErrno() { return fail(errorFromErrno(errno)); }

// A NUL-terminated copy of a path; paths of kMaxIoPath bytes or more and paths holding a NUL
// byte are refused before the system sees them.
struct CPath {
    std::array<char, kMaxIoPath> bytes;
};

Status toCPath(std::string_view path, CPath& out) {
    if (path.size() >= kMaxIoPath) return fail(Error::NameTooLong);
    if (path.find('\0') != std::string_view::npos) return fail(Error::BadPathName);
    std::memcpy(out.bytes.data(), path.data(), path.size());
    out.bytes[path.size()] = '\0';
    return {};
}

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) return FileKind::regular;
    if (S_ISDIR(mode)) return FileKind::directory;
    if (S_ISLNK(mode)) return FileKind::symlink;
    return FileKind::other;
}

FileStat statOf(const struct stat& info) {
    const std::int64_t modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                                    static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return FileStat{static_cast<std::uint64_t>(info.st_size), kindOf(info.st_mode),
                    static_cast<std::uint16_t>(info.st_mode & 07777), modifiedNs};
}

// Creates one folder; an existing folder counts as success, an existing non-folder as NotDir.
Status makeOneFolder(const char* path, std::uint16_t mode) {
    while (::mkdir(path, mode) != 0) {
        if (errno == EINTR) continue;
        if (errno != EEXIST) return failErrno();
        struct stat info;
        if (::stat(path, &info) != 0) return failErrno();
        if (!S_ISDIR(info.st_mode)) return fail(Error::NotDir);
        return {};
    }
    return {};
}

Status posixMakePath(void*, std::string_view path, std::uint16_t mode) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    auto whole = makeOneFolder(cpath.bytes.data(), mode);
    if (whole || whole.error() != Error::FileNotFound) return whole;
    // Some parent is missing: create every prefix that ends before a separator, from the top.
    for (std::size_t i = 1; i < path.size(); ++i) {
        if (path[i] != '/' || path[i - 1] == '/') continue;
        cpath.bytes[i] = '\0';
        auto step = makeOneFolder(cpath.bytes.data(), mode);
        cpath.bytes[i] = '/';
        if (!step) return step;
    }
    return makeOneFolder(cpath.bytes.data(), mode);
}

Result<FileHandle> openAt(int folder, const char* path, int flags, std::uint16_t mode) {
    for (;;) {
        int fd = ::openat(folder, path, flags | O_CLOEXEC, static_cast<mode_t>(mode));
        if (fd >= 0) return FileHandle{fd};
        if (errno != EINTR) return failErrno();
    }
}

Result<FileHandle> openPath(std::string_view path, int flags, std::uint16_t mode) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    return openAt(AT_FDCWD, cpath.bytes.data(), flags, mode);
}

// A NUL-terminated copy of one entry name of a folder.
struct CName {
    std::array<char, kMaxIoName> bytes;
};

Status toCName(std::string_view name, CName& out) {
    TRY(ioCheckEntryName(name));
    std::memcpy(out.bytes.data(), name.data(), name.size());
    out.bytes[name.size()] = '\0';
    return {};
}

int createFlags(const CreateFileFlags& flags) {
    int mode = O_CREAT | (flags.read ? O_RDWR : O_WRONLY);
    if (flags.truncate) mode |= O_TRUNC;
    if (flags.exclusive) mode |= O_EXCL;
    if (flags.append) mode |= O_APPEND;
    return mode;
}

int openFlags(const OpenFileFlags& flags) {
    int mode = flags.access == FileAccess::read_only    ? O_RDONLY
               : flags.access == FileAccess::write_only ? O_WRONLY
                                                        : O_RDWR;
    if (flags.folder) mode = O_RDONLY | O_DIRECTORY;
    if (!flags.followSymlinks) mode |= O_NOFOLLOW;
    if (flags.append) mode |= O_APPEND;
    if (flags.nonBlocking) mode |= O_NONBLOCK | O_NOCTTY;
    return mode;
}

Result<FileHandle> posixCreateFile(void*, std::string_view path, CreateFileFlags flags) {
    return openPath(path, createFlags(flags), flags.mode);
}

Result<FileHandle> posixOpenFile(void*, std::string_view path, OpenFileFlags flags) {
    return openPath(path, openFlags(flags), 0);
}

Result<FileHandle> posixCreateFileIn(void*, FileHandle folder, std::string_view name, CreateFileFlags flags) {
    CName cname;
    TRY(toCName(name, cname));
    return openAt(folder.value, cname.bytes.data(), createFlags(flags), flags.mode);
}

Result<FileHandle> posixOpenFileIn(void*, FileHandle folder, std::string_view name, OpenFileFlags flags) {
    CName cname;
    TRY(toCName(name, cname));
    return openAt(folder.value, cname.bytes.data(), openFlags(flags), 0);
}

Result<FileStat> posixFileStat(void*, FileHandle file) {
    struct stat info;
    if (::fstat(file.value, &info) != 0) return failErrno();
    return statOf(info);
}

Result<FileStat> posixPathStat(void*, std::string_view path, bool followSymlinks) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    struct stat info;
    int result = followSymlinks ? ::stat(cpath.bytes.data(), &info) : ::lstat(cpath.bytes.data(), &info);
    if (result != 0) return failErrno();
    return statOf(info);
}

Result<FileStat> posixEntryStat(void*, FileHandle folder, std::string_view name, bool followSymlinks) {
    CName cname;
    TRY(toCName(name, cname));
    struct stat info;
    if (::fstatat(folder.value, cname.bytes.data(), &info, followSymlinks ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
        return failErrno();
    }
    return statOf(info);
}

Status posixClose(void*, FileHandle file) {
    // The descriptor is released even when close is interrupted, so EINTR is not retried.
    if (::close(file.value) != 0 && errno != EINTR) return failErrno();
    return {};
}

Result<std::size_t> posixWritePositional(void*, FileHandle file, std::span<const std::uint8_t> bytes,
                                         std::uint64_t offset) {
    for (;;) {
        ssize_t written = ::pwrite(file.value, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written >= 0) return static_cast<std::size_t>(written);
        if (errno != EINTR) return failErrno();
    }
}

Result<std::size_t> posixReadPositional(void*, FileHandle file, std::span<std::uint8_t> buffer, std::uint64_t offset) {
    for (;;) {
        ssize_t read = ::pread(file.value, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (read >= 0) return static_cast<std::size_t>(read);
        if (errno != EINTR) return failErrno();
    }
}

Result<std::size_t> posixWrite(void*, FileHandle file, std::span<const std::uint8_t> bytes) {
    for (;;) {
        ssize_t written = ::write(file.value, bytes.data(), bytes.size());
        if (written >= 0) return static_cast<std::size_t>(written);
        if (errno != EINTR) return failErrno();
    }
}

Result<std::size_t> posixRead(void*, FileHandle file, std::span<std::uint8_t> buffer) {
    for (;;) {
        ssize_t read = ::read(file.value, buffer.data(), buffer.size());
        if (read >= 0) return static_cast<std::size_t>(read);
        if (errno != EINTR) return failErrno();
    }
}

Status posixSync(void*, FileHandle file) {
    while (::fsync(file.value) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixSetLength(void*, FileHandle file, std::uint64_t length) {
    while (::ftruncate(file.value, static_cast<off_t>(length)) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixSyncFolder(void*, std::string_view path) {
    FileHandle folder = TRY(openPath(path, O_RDONLY | O_DIRECTORY, 0));
    Status synced;
    while (::fsync(folder.value) != 0) {
        if (errno == EINTR) continue;
        // A file system that cannot sync folders says so with EINVAL; there is nothing more to do.
        if (errno != EINVAL) synced = failErrno();
        break;
    }
    ::close(folder.value);
    return synced;
}

Result<std::string_view> posixRealPath(void*, std::string_view path, std::span<char> out) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    char* resolved = ::realpath(cpath.bytes.data(), nullptr);
    if (resolved == nullptr) return failErrno();
    std::size_t length = std::strlen(resolved);
    bool fits = length <= out.size();
    if (fits) std::memcpy(out.data(), resolved, length);
    std::free(resolved);
    if (!fits) return fail(Error::NameTooLong);
    return std::string_view(out.data(), length);
}

Status posixRename(void*, std::string_view from, std::string_view to) {
    CPath fromPath;
    CPath toPath;
    TRY(toCPath(from, fromPath));
    TRY(toCPath(to, toPath));
    while (::rename(fromPath.bytes.data(), toPath.bytes.data()) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixRenameIn(void*, FileHandle folder, std::string_view from, std::string_view to) {
    CName fromName;
    CName toName;
    TRY(toCName(from, fromName));
    TRY(toCName(to, toName));
    while (::renameat(folder.value, fromName.bytes.data(), folder.value, toName.bytes.data()) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixDeleteFileIn(void*, FileHandle folder, std::string_view name) {
    CName cname;
    TRY(toCName(name, cname));
    while (::unlinkat(folder.value, cname.bytes.data(), 0) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixSetMode(void*, FileHandle file, std::uint16_t mode) {
    while (::fchmod(file.value, static_cast<mode_t>(mode)) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Result<std::string_view> posixReadLink(void*, std::string_view path, std::span<char> out) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    // One byte more than the caller can take tells a link that fits from one that was cut.
    std::array<char, kMaxIoPath + 1> target;
    ssize_t length = ::readlink(cpath.bytes.data(), target.data(), target.size());
    if (length < 0) return failErrno();
    auto size = static_cast<std::size_t>(length);
    if (size >= target.size() || size > out.size()) return fail(Error::NameTooLong);
    std::memcpy(out.data(), target.data(), size);
    return std::string_view(out.data(), size);
}

Status posixDeleteFile(void*, std::string_view path) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    while (::unlink(cpath.bytes.data()) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixListFolder(void*, std::string_view path, void* visitContext,
                       bool (*visit)(void* visitContext, std::string_view name)) {
    CPath cpath;
    TRY(toCPath(path, cpath));
    DIR* folder = ::opendir(cpath.bytes.data());
    if (folder == nullptr) return failErrno();
    Status result;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (entry == nullptr) {
            if (errno != 0) result = failErrno();
            break;
        }
        std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        if (!visit(visitContext, name)) break;
    }
    ::closedir(folder);
    return result;
}

std::int64_t clockNs(clockid_t clock) {
    struct timespec now;
    if (::clock_gettime(clock, &now) != 0) return 0;
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t posixWallClockNs(void*) { return clockNs(CLOCK_REALTIME); }

std::uint64_t posixMonotonicNs(void*) { return static_cast<std::uint64_t>(clockNs(CLOCK_MONOTONIC)); }

Status posixSleepNs(void*, std::uint64_t nanoseconds) {
    struct timespec remaining;
    remaining.tv_sec = static_cast<time_t>(nanoseconds / 1'000'000'000);
    remaining.tv_nsec = static_cast<long>(nanoseconds % 1'000'000'000);
    while (::nanosleep(&remaining, &remaining) != 0) {
        if (errno != EINTR) return failErrno();
    }
    return {};
}

Status posixRandomBytes(void*, std::span<std::uint8_t> out) {
    while (!out.empty()) {
        ssize_t got = ::getrandom(out.data(), out.size(), 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return failErrno();
        }
        out = out.subspan(static_cast<std::size_t>(got));
    }
    return {};
}

constexpr IoOps kPosixOps = {
    .makePath = posixMakePath,
    .createFile = posixCreateFile,
    .openFile = posixOpenFile,
    .fileStat = posixFileStat,
    .pathStat = posixPathStat,
    .fileClose = posixClose,
    .fileWritePositional = posixWritePositional,
    .fileReadPositional = posixReadPositional,
    .fileWrite = posixWrite,
    .fileSync = posixSync,
    .rename = posixRename,
    .deleteFile = posixDeleteFile,
    .listFolder = posixListFolder,
    .wallClockNs = posixWallClockNs,
    .monotonicNs = posixMonotonicNs,
    .sleepNs = posixSleepNs,
    .randomBytes = posixRandomBytes,
    .fileRead = posixRead,
    .fileSetLength = posixSetLength,
    .syncFolder = posixSyncFolder,
    .realPath = posixRealPath,
    .fileSetMode = posixSetMode,
    .readLink = posixReadLink,
    .createFileIn = posixCreateFileIn,
    .openFileIn = posixOpenFileIn,
    .entryStat = posixEntryStat,
    .renameIn = posixRenameIn,
    .deleteFileIn = posixDeleteFileIn,
};

}  // namespace

Error errorFromErrno(int errnoValue) {
    for (const auto& entry : kErrnoNames) {
        if (entry.errnoValue == errnoValue) return entry.error;
    }
    return Error::Unexpected;
}

Io posixIo() { return Io{nullptr, &kPosixOps}; }

}  // namespace kelvo
