#include "base/memory_io.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/split_mix.hpp"

namespace kelvo {

namespace {

constexpr std::array<std::string_view, 21> kIoOpNames = {
    "make_path",       "create_file", "open_file",  "file_stat",   "path_stat", "close",       "write_positional",
    "read_positional", "write",       "read",       "sync",        "rename",    "delete_file", "list_folder",
    "sleep",           "random",      "set_length", "sync_folder", "real_path", "set_mode",    "read_link",
};

// Files in memory stop growing here, as a disk would fill up.
constexpr std::uint64_t kMaxMemoryFileSize = std::uint64_t{1} << 32;

bool pathMatches(const std::string& pattern, std::string_view path) {
    if (pattern.empty()) return true;
    if (pattern.back() == '*') return path.starts_with(std::string_view(pattern).substr(0, pattern.size() - 1));
    return path == pattern;
}

std::string parentOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == 0 || slash == std::string::npos) return "/";
    return path.substr(0, slash);
}

std::uint64_t splitMix64(std::uint64_t& state) { return splitMix64Finalize(state += 0x9e3779b97f4a7c15ULL); }

}  // namespace

std::string_view ioOpName(IoOp op) {
    auto index = static_cast<std::size_t>(op);
    return index < kIoOpNames.size() ? kIoOpNames[index] : "unknown";
}

// The operations of the interface; they reach into the record's private state.
struct MemoryIoAccess {
    using Node = MemoryIo::Node;
    using OpenFile = MemoryIo::OpenFile;
    using FileData = MemoryIo::FileData;
    using Guard = std::lock_guard<std::mutex>;

    static MemoryIo& self(void* context) { return *static_cast<MemoryIo*>(context); }

    static Result<std::string> resolve(const MemoryIo& m, std::string_view path) {
        if (path.size() >= kMaxIoPath) return fail(Error::NameTooLong);
        if (path.find('\0') != std::string_view::npos) return fail(Error::BadPathName);
        if (path.empty()) return fail(Error::FileNotFound);
        std::string out = path[0] == '/' || m.currentFolder_ == "/" ? std::string() : m.currentFolder_;
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string_view::npos) end = path.size();
            std::string_view part = path.substr(start, end - start);
            start = end + 1;
            if (part.empty() || part == ".") continue;
            if (part == "..") {
                auto slash = out.rfind('/');
                out.erase(slash == std::string::npos ? 0 : slash);
                continue;
            }
            out += '/';
            out += part;
        }
        if (out.empty()) out = "/";
        return out;
    }

    // The parent folder of `path` must exist: a missing ancestor is FileNotFound, a file where a
    // folder should be is NotDir.
    static Status checkParent(const MemoryIo& m, const std::string& path) {
        std::string ancestor = parentOf(path);
        bool direct = true;
        for (;;) {
            auto found = m.nodes_.find(ancestor);
            if (found != m.nodes_.end()) {
                if (found->second.kind != FileKind::directory) return fail(Error::NotDir);
                return direct ? Status{} : fail(Error::FileNotFound);
            }
            direct = false;
            ancestor = parentOf(ancestor);
        }
    }

    // The node at `path`: FileNotFound when it is missing, or the error of its parent (a missing
    // ancestor, or a file where a folder should be).
    static Result<std::map<std::string, Node>::iterator> findNode(MemoryIo& m, const std::string& path) {
        auto found = m.nodes_.find(path);
        if (found == m.nodes_.end()) {
            TRY(checkParent(m, path));
            return fail(Error::FileNotFound);
        }
        return found;
    }

    // Paths below a folder share the prefix "<folder>/" and are contiguous in the sorted map from
    // there on (a sibling such as "<folder> b" sorts before the prefix, not among its paths).
    static std::string childPrefix(const std::string& folder) { return folder == "/" ? "/" : folder + "/"; }

    static std::map<std::string, Node>::const_iterator firstBelow(const MemoryIo& m, const std::string& folder) {
        auto it = m.nodes_.lower_bound(childPrefix(folder));
        if (it != m.nodes_.end() && it->first == "/") ++it;
        return it;
    }

    static bool hasChildren(const MemoryIo& m, const std::string& folder) {
        auto it = firstBelow(m, folder);
        return it != m.nodes_.end() && it->first.starts_with(childPrefix(folder));
    }

    // Counts the call against every matching fault and returns the first that fires now.
    static IoFault* takeFault(MemoryIo& m, IoOp op, std::string_view path, std::string_view target = {}) {
        IoFault* firing = nullptr;
        for (auto& fault : m.faults_) {
            if (fault.op != op) continue;
            if (!pathMatches(fault.path, path) && (target.empty() || !pathMatches(fault.path, target))) continue;
            ++fault.seen;
            bool armed = fault.seen > fault.after && (fault.times == 0 || fault.seen <= fault.after + fault.times);
            if (armed && firing == nullptr) firing = &fault;
        }
        return firing;
    }

    static void record(MemoryIo& m, IoOp op, std::string_view path, std::string_view target,
                       std::optional<Error> error) {
        if (m.recordCalls_) m.calls_.push_back(IoCall{op, std::string(path), std::string(target), error});
    }

    template <class T>
    static Result<T> logged(MemoryIo& m, IoOp op, std::string_view path, Result<T> result,
                            std::string_view target = {}) {
        record(m, op, path, target, result ? std::nullopt : std::optional<Error>(result.error()));
        return result;
    }

    // Resolves `path` and applies the faults planned for it; the result is the resolved path.
    static Result<std::string> enter(MemoryIo& m, IoOp op, std::string_view path) {
        auto resolved = resolve(m, path);
        if (!resolved) return resolved;
        if (IoFault* fault = takeFault(m, op, *resolved)) return fail(fault->error);
        return resolved;
    }

    // The whole path of the entry `name` of the folder open as `folder`; the folder's own path does
    // not count against the path limit, only the name against the name limit.
    static Result<std::string> resolveIn(const MemoryIo& m, FileHandle folder, std::string_view name) {
        TRY(ioCheckEntryName(name));
        auto found = m.open_.find(folder.value);
        if (found == m.open_.end()) return fail(Error::Unexpected);
        if (!found->second.folder) return fail(Error::NotDir);
        return childPrefix(found->second.path) + std::string(name);
    }

    static Result<std::string> enterIn(MemoryIo& m, IoOp op, FileHandle folder, std::string_view name) {
        std::string resolved = TRY(resolveIn(m, folder, name));
        if (IoFault* fault = takeFault(m, op, resolved)) return fail(fault->error);
        return resolved;
    }

    static std::string resolvedInOr(const MemoryIo& m, FileHandle folder, std::string_view name) {
        auto resolved = resolveIn(m, folder, name);
        return resolved ? *resolved : std::string(name);
    }

    static Status makeFolders(MemoryIo& m, const std::string& path, std::uint16_t mode) {
        std::size_t at = 0;
        while (at != std::string::npos) {
            at = path.find('/', at + 1);
            std::string prefix = path.substr(0, at);
            auto found = m.nodes_.find(prefix);
            if (found == m.nodes_.end()) {
                m.nodes_.emplace(prefix, Node{FileKind::directory, mode, nullptr});
            } else if (found->second.kind != FileKind::directory) {
                return fail(Error::NotDir);
            }
        }
        return {};
    }

    static Status makePath(void* context, std::string_view path, std::uint16_t mode) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto resolved = enter(m, IoOp::make_path, path);
        if (!resolved) return logged<void>(m, IoOp::make_path, path, fail(resolved.error()));
        return logged<void>(m, IoOp::make_path, *resolved,
                            *resolved == "/" ? Status{} : makeFolders(m, *resolved, mode));
    }

    // Opening a file that is already there asks its owner's permission bits, as the system asks
    // them of a user (not root) who owns every file.
    static Status checkAccess(const Node& node, bool read, bool write) {
        if (node.kind == FileKind::directory) return {};
        if ((read && (node.mode & 0400) == 0) || (write && (node.mode & 0200) == 0)) return fail(Error::AccessDenied);
        return {};
    }

    static Result<FileHandle> openNode(MemoryIo& m, const std::string& path, Node& node, bool read, bool write,
                                       bool append) {
        if (node.kind == FileKind::directory && write) return fail(Error::IsDir);
        std::int32_t handle = m.nextHandle_++;
        m.open_.emplace(handle,
                        OpenFile{path, node.data, node.kind == FileKind::directory, read, write, append, 0, node.mode});
        return FileHandle{handle};
    }

    static Result<FileHandle> createFileLocked(MemoryIo& m, std::string_view rawPath, CreateFileFlags flags) {
        std::string path = TRY(enter(m, IoOp::create_file, rawPath));
        return createResolved(m, path, flags);
    }

    static Result<FileHandle> createResolved(MemoryIo& m, const std::string& path, CreateFileFlags flags) {
        auto found = m.nodes_.find(path);
        if (found == m.nodes_.end()) {
            TRY(checkParent(m, path));
            found = m.nodes_.emplace(path, Node{FileKind::regular, flags.mode, std::make_shared<FileData>()}).first;
            found->second.data->modifiedNs = m.wallClockNs_;
        } else {
            if (flags.exclusive) return fail(Error::PathAlreadyExists);
            if (found->second.kind == FileKind::directory) return fail(Error::IsDir);
            TRY(checkAccess(found->second, flags.read, true));
            if (flags.truncate) {
                found->second.data->clear();
                found->second.data->modifiedNs = m.wallClockNs_;
            }
        }
        return openNode(m, path, found->second, flags.read, true, flags.append);
    }

    static Result<FileHandle> createFile(void* context, std::string_view path, CreateFileFlags flags) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = createFileLocked(m, path, flags);
        return logged(m, IoOp::create_file, resolvedOr(m, path), result);
    }

    static std::string resolvedOr(const MemoryIo& m, std::string_view path) {
        auto resolved = resolve(m, path);
        return resolved ? *resolved : std::string(path);
    }

    static Result<FileHandle> openFileLocked(MemoryIo& m, std::string_view rawPath, OpenFileFlags flags) {
        std::string path = TRY(enter(m, IoOp::open_file, rawPath));
        return openResolved(m, path, flags);
    }

    static Result<FileHandle> openResolved(MemoryIo& m, const std::string& path, OpenFileFlags flags) {
        auto found = TRY(findNode(m, path));
        if (flags.folder) {
            if (found->second.kind != FileKind::directory) return fail(Error::NotDir);
            return openNode(m, path, found->second, true, false, false);
        }
        bool read = flags.access != FileAccess::write_only;
        bool write = flags.access != FileAccess::read_only;
        TRY(checkAccess(found->second, read, write));
        return openNode(m, path, found->second, read, write, flags.append);
    }

    static Result<FileHandle> createFileIn(void* context, FileHandle folder, std::string_view name,
                                           CreateFileFlags flags) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<FileHandle> {
            std::string path = TRY(enterIn(m, IoOp::create_file, folder, name));
            return createResolved(m, path, flags);
        }();
        return logged(m, IoOp::create_file, resolvedInOr(m, folder, name), result);
    }

    static Result<FileHandle> openFileIn(void* context, FileHandle folder, std::string_view name, OpenFileFlags flags) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<FileHandle> {
            std::string path = TRY(enterIn(m, IoOp::open_file, folder, name));
            return openResolved(m, path, flags);
        }();
        return logged(m, IoOp::open_file, resolvedInOr(m, folder, name), result);
    }

    static Result<FileHandle> openFile(void* context, std::string_view path, OpenFileFlags flags) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = openFileLocked(m, path, flags);
        return logged(m, IoOp::open_file, resolvedOr(m, path), result);
    }

    // Looks up an open file and applies the faults planned for its path.
    static Result<OpenFile*> enterFile(MemoryIo& m, IoOp op, FileHandle file, IoFault** fault = nullptr) {
        auto found = m.open_.find(file.value);
        if (found == m.open_.end()) return fail(Error::Unexpected);
        if (IoFault* planned = takeFault(m, op, found->second.path)) {
            if (fault != nullptr && planned->writeAtMost) {
                *fault = planned;
            } else {
                return fail(planned->error);
            }
        }
        return &found->second;
    }

    static std::string pathOf(const MemoryIo& m, FileHandle file) {
        auto found = m.open_.find(file.value);
        return found == m.open_.end() ? std::string() : found->second.path;
    }

    static Result<FileStat> fileStat(void* context, FileHandle file) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<FileStat> {
            OpenFile* open = TRY(enterFile(m, IoOp::file_stat, file));
            if (open->folder) return FileStat{0, FileKind::directory, open->mode};
            return FileStat{open->data->size(), FileKind::regular, open->mode, open->data->modifiedNs};
        }();
        return logged(m, IoOp::file_stat, pathOf(m, file), result);
    }

    static Result<FileStat> statResolved(MemoryIo& m, const std::string& resolved) {
        auto found = TRY(findNode(m, resolved));
        const Node& node = found->second;
        if (node.kind == FileKind::directory) return FileStat{0, FileKind::directory, node.mode};
        return FileStat{node.data->size(), node.kind, node.mode, node.data->modifiedNs};
    }

    static Result<FileStat> pathStat(void* context, std::string_view path, bool) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<FileStat> {
            std::string resolved = TRY(enter(m, IoOp::path_stat, path));
            return statResolved(m, resolved);
        }();
        return logged(m, IoOp::path_stat, resolvedOr(m, path), result);
    }

    static Result<FileStat> entryStat(void* context, FileHandle folder, std::string_view name, bool) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<FileStat> {
            std::string resolved = TRY(enterIn(m, IoOp::path_stat, folder, name));
            return statResolved(m, resolved);
        }();
        return logged(m, IoOp::path_stat, resolvedInOr(m, folder, name), result);
    }

    static Status close(void* context, FileHandle file) {
        auto& m = self(context);
        Guard guard(m.lock_);
        std::string path = pathOf(m, file);
        auto found = m.open_.find(file.value);
        if (found == m.open_.end()) return logged<void>(m, IoOp::close, path, fail(Error::Unexpected));
        // The handle is released even when the close reports a failure, as with POSIX close.
        IoFault* fault = takeFault(m, IoOp::close, path);
        m.open_.erase(found);
        return logged<void>(m, IoOp::close, path, fault ? Status(fail(fault->error)) : Status{});
    }

    static Result<std::size_t> writeBytes(const MemoryIo& m, OpenFile& open, std::span<const std::uint8_t> bytes,
                                          std::uint64_t offset, IoFault* shortWrite) {
        if (open.folder) return fail(Error::IsDir);
        if (!open.canWrite) return fail(Error::Unexpected);
        std::size_t count = bytes.size();
        if (shortWrite != nullptr) count = std::min(count, *shortWrite->writeAtMost);
        if (offset + count > kMaxMemoryFileSize) return fail(Error::NoSpaceLeft);
        auto& data = *open.data;
        if (data.size() < offset + count) data.resize(offset + count);
        if (count > 0) std::memcpy(data.data() + offset, bytes.data(), count);
        data.modifiedNs = m.wallClockNs_;
        return count;
    }

    static Result<std::size_t> writePositional(void* context, FileHandle file, std::span<const std::uint8_t> bytes,
                                               std::uint64_t offset) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<std::size_t> {
            IoFault* shortWrite = nullptr;
            OpenFile* open = TRY(enterFile(m, IoOp::write_positional, file, &shortWrite));
            return writeBytes(m, *open, bytes, offset, shortWrite);
        }();
        return logged(m, IoOp::write_positional, pathOf(m, file), result);
    }

    static Result<std::size_t> write(void* context, FileHandle file, std::span<const std::uint8_t> bytes) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<std::size_t> {
            IoFault* shortWrite = nullptr;
            OpenFile* open = TRY(enterFile(m, IoOp::write, file, &shortWrite));
            if (open->folder) return fail(Error::IsDir);
            std::uint64_t offset = open->append ? open->data->size() : open->position;
            std::size_t written = TRY(writeBytes(m, *open, bytes, offset, shortWrite));
            open->position = offset + written;
            return written;
        }();
        return logged(m, IoOp::write, pathOf(m, file), result);
    }

    static Result<std::size_t> readBytes(const OpenFile& open, std::span<std::uint8_t> buffer, std::uint64_t offset) {
        if (open.folder) return fail(Error::IsDir);
        if (!open.canRead) return fail(Error::Unexpected);
        const auto& data = *open.data;
        if (offset >= data.size()) return std::size_t{0};
        std::size_t count = std::min<std::uint64_t>(buffer.size(), data.size() - offset);
        if (count > 0) std::memcpy(buffer.data(), data.data() + offset, count);
        return count;
    }

    static Result<std::size_t> readPositional(void* context, FileHandle file, std::span<std::uint8_t> buffer,
                                              std::uint64_t offset) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<std::size_t> {
            OpenFile* open = TRY(enterFile(m, IoOp::read_positional, file));
            return readBytes(*open, buffer, offset);
        }();
        return logged(m, IoOp::read_positional, pathOf(m, file), result);
    }

    static Result<std::size_t> read(void* context, FileHandle file, std::span<std::uint8_t> buffer) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<std::size_t> {
            OpenFile* open = TRY(enterFile(m, IoOp::read, file));
            std::size_t count = TRY(readBytes(*open, buffer, open->position));
            open->position += count;
            return count;
        }();
        return logged(m, IoOp::read, pathOf(m, file), result);
    }

    static Status sync(void* context, FileHandle file) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Status {
            TRY(enterFile(m, IoOp::sync, file));
            return {};
        }();
        return logged<void>(m, IoOp::sync, pathOf(m, file), result);
    }

    static Status setLength(void* context, FileHandle file, std::uint64_t length) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Status {
            OpenFile* open = TRY(enterFile(m, IoOp::set_length, file));
            if (open->folder) return fail(Error::IsDir);
            if (!open->canWrite) return fail(Error::Unexpected);
            if (length > kMaxMemoryFileSize) return fail(Error::NoSpaceLeft);
            open->data->resize(length);
            open->data->modifiedNs = m.wallClockNs_;
            return {};
        }();
        return logged<void>(m, IoOp::set_length, pathOf(m, file), result);
    }

    static Status setMode(void* context, FileHandle file, std::uint16_t mode) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Status {
            OpenFile* open = TRY(enterFile(m, IoOp::set_mode, file));
            open->mode = mode;
            // The node the file was opened as, unless it was removed or replaced since.
            auto node = m.nodes_.find(open->path);
            bool same = node != m.nodes_.end() &&
                        (open->folder ? node->second.kind == FileKind::directory : node->second.data == open->data);
            if (same) node->second.mode = mode;
            return {};
        }();
        return logged<void>(m, IoOp::set_mode, pathOf(m, file), result);
    }

    // There are no symbolic links in memory: every existing path is something else.
    static Result<std::string_view> readLink(void* context, std::string_view path, std::span<char>) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<std::string_view> {
            std::string resolved = TRY(enter(m, IoOp::read_link, path));
            TRY(findNode(m, resolved));
            return fail(Error::Unexpected);
        }();
        return logged(m, IoOp::read_link, resolvedOr(m, path), result);
    }

    static Status syncFolder(void* context, std::string_view path) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Status {
            std::string resolved = TRY(enter(m, IoOp::sync_folder, path));
            auto found = TRY(findNode(m, resolved));
            if (found->second.kind != FileKind::directory) return fail(Error::NotDir);
            return {};
        }();
        return logged<void>(m, IoOp::sync_folder, resolvedOr(m, path), result);
    }

    // There are no symbolic links in memory: the real path is the resolved path of a node that exists.
    static Result<std::string_view> realPath(void* context, std::string_view path, std::span<char> out) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Result<std::string_view> {
            std::string resolved = TRY(enter(m, IoOp::real_path, path));
            TRY(findNode(m, resolved));
            if (resolved.size() > out.size()) return fail(Error::NameTooLong);
            std::memcpy(out.data(), resolved.data(), resolved.size());
            return std::string_view(out.data(), resolved.size());
        }();
        return logged(m, IoOp::real_path, resolvedOr(m, path), result);
    }

    static Status renameLocked(MemoryIo& m, const std::string& from, const std::string& to) {
        auto source = TRY(findNode(m, from));
        if (from == to) return {};
        TRY(checkParent(m, to));
        bool folder = source->second.kind == FileKind::directory;
        if (folder && (to.starts_with(from + "/") || from == "/")) return fail(Error::Unexpected);
        auto target = m.nodes_.find(to);
        if (target != m.nodes_.end()) {
            bool targetFolder = target->second.kind == FileKind::directory;
            if (!folder && targetFolder) return fail(Error::IsDir);
            if (folder && !targetFolder) return fail(Error::NotDir);
            if (targetFolder && hasChildren(m, to)) return fail(Error::PathAlreadyExists);
            m.nodes_.erase(target);
        }
        // Move the node and, for a folder, everything below it.
        std::vector<std::pair<std::string, Node>> moved;
        moved.emplace_back(to, std::move(source->second));
        m.nodes_.erase(source);
        if (folder) {
            std::string prefix = childPrefix(from);
            for (auto it = m.nodes_.lower_bound(prefix); it != m.nodes_.end() && it->first.starts_with(prefix);) {
                moved.emplace_back(to + it->first.substr(from.size()), std::move(it->second));
                it = m.nodes_.erase(it);
            }
        }
        for (auto& [path, node] : moved) m.nodes_.insert_or_assign(path, std::move(node));
        return {};
    }

    static Status renameIn(void* context, FileHandle folder, std::string_view fromName, std::string_view toName) {
        auto& m = self(context);
        Guard guard(m.lock_);
        std::string from = resolvedInOr(m, folder, fromName);
        std::string to = resolvedInOr(m, folder, toName);
        auto result = [&]() -> Status {
            std::string source = TRY(resolveIn(m, folder, fromName));
            std::string target = TRY(resolveIn(m, folder, toName));
            if (IoFault* fault = takeFault(m, IoOp::rename, source, target)) return fail(fault->error);
            return renameLocked(m, source, target);
        }();
        return logged<void>(m, IoOp::rename, from, result, to);
    }

    static Status rename(void* context, std::string_view fromPath, std::string_view toPath) {
        auto& m = self(context);
        Guard guard(m.lock_);
        std::string from = resolvedOr(m, fromPath);
        std::string to = resolvedOr(m, toPath);
        auto result = [&]() -> Status {
            std::string source = TRY(resolve(m, fromPath));
            std::string target = TRY(resolve(m, toPath));
            if (IoFault* fault = takeFault(m, IoOp::rename, source, target)) return fail(fault->error);
            return renameLocked(m, source, target);
        }();
        return logged<void>(m, IoOp::rename, from, result, to);
    }

    static Status deleteResolved(MemoryIo& m, const std::string& resolved) {
        auto found = TRY(findNode(m, resolved));
        if (found->second.kind == FileKind::directory) return fail(Error::IsDir);
        m.nodes_.erase(found);
        return {};
    }

    static Status deleteFile(void* context, std::string_view path) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Status {
            std::string resolved = TRY(enter(m, IoOp::delete_file, path));
            return deleteResolved(m, resolved);
        }();
        return logged<void>(m, IoOp::delete_file, resolvedOr(m, path), result);
    }

    static Status deleteFileIn(void* context, FileHandle folder, std::string_view name) {
        auto& m = self(context);
        Guard guard(m.lock_);
        auto result = [&]() -> Status {
            std::string resolved = TRY(enterIn(m, IoOp::delete_file, folder, name));
            return deleteResolved(m, resolved);
        }();
        return logged<void>(m, IoOp::delete_file, resolvedInOr(m, folder, name), result);
    }

    static Result<std::vector<std::string>> folderNames(MemoryIo& m, std::string_view path) {
        std::string folder = TRY(enter(m, IoOp::list_folder, path));
        auto found = TRY(findNode(m, folder));
        if (found->second.kind != FileKind::directory) return fail(Error::NotDir);
        std::string prefix = childPrefix(folder);
        std::vector<std::string> names;
        for (auto it = firstBelow(m, folder); it != m.nodes_.end() && it->first.starts_with(prefix); ++it) {
            std::string_view rest = std::string_view(it->first).substr(prefix.size());
            if (!rest.empty() && rest.find('/') == std::string_view::npos) names.emplace_back(rest);
        }
        return names;
    }

    static Status listFolder(void* context, std::string_view path, void* visitContext,
                             bool (*visit)(void* visitContext, std::string_view name)) {
        auto& m = self(context);
        Result<std::vector<std::string>> names;
        {
            Guard guard(m.lock_);
            names = folderNames(m, path);
            record(m, IoOp::list_folder, resolvedOr(m, path), {},
                   names ? std::nullopt : std::optional<Error>(names.error()));
        }
        if (!names) return fail(names.error());
        // The visitor runs without the lock, so it may call back into the I/O interface.
        for (const auto& name : *names) {
            if (!visit(visitContext, name)) break;
        }
        return {};
    }

    static std::int64_t wallClock(void* context) {
        auto& m = self(context);
        Guard guard(m.lock_);
        return m.wallClockNs_;
    }

    static std::uint64_t monotonic(void* context) {
        auto& m = self(context);
        Guard guard(m.lock_);
        return m.monotonicNs_;
    }

    static Status sleep(void* context, std::uint64_t nanoseconds) {
        auto& m = self(context);
        Guard guard(m.lock_);
        if (IoFault* fault = takeFault(m, IoOp::sleep, "")) {
            return logged<void>(m, IoOp::sleep, "", fail(fault->error));
        }
        m.wallClockNs_ += static_cast<std::int64_t>(nanoseconds);
        m.monotonicNs_ += nanoseconds;
        return logged<void>(m, IoOp::sleep, "", Status{});
    }

    static Status random(void* context, std::span<std::uint8_t> out) {
        auto& m = self(context);
        Guard guard(m.lock_);
        if (IoFault* fault = takeFault(m, IoOp::random, "")) {
            return logged<void>(m, IoOp::random, "", fail(fault->error));
        }
        for (std::size_t i = 0; i < out.size(); i += 8) {
            std::uint64_t word = splitMix64(m.randomState_);
            std::size_t take = std::min<std::size_t>(8, out.size() - i);
            for (std::size_t b = 0; b < take; ++b) out[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
        }
        return logged<void>(m, IoOp::random, "", Status{});
    }

    static constexpr IoOps kOps = {
        .makePath = makePath,
        .createFile = createFile,
        .openFile = openFile,
        .fileStat = fileStat,
        .pathStat = pathStat,
        .fileClose = close,
        .fileWritePositional = writePositional,
        .fileReadPositional = readPositional,
        .fileWrite = write,
        .fileSync = sync,
        .rename = rename,
        .deleteFile = deleteFile,
        .listFolder = listFolder,
        .wallClockNs = wallClock,
        .monotonicNs = monotonic,
        .sleepNs = sleep,
        .randomBytes = random,
        .fileRead = read,
        .fileSetLength = setLength,
        .syncFolder = syncFolder,
        .realPath = realPath,
        .fileSetMode = setMode,
        .readLink = readLink,
        .createFileIn = createFileIn,
        .openFileIn = openFileIn,
        .entryStat = entryStat,
        .renameIn = renameIn,
        .deleteFileIn = deleteFileIn,
    };
};

MemoryIo::MemoryIo() { nodes_.emplace("/", Node{FileKind::directory, 0755, nullptr}); }

void MemoryIo::putFile(std::string_view path, std::string_view content, std::uint16_t mode) {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    if (!resolved || *resolved == "/") return;
    if (!MemoryIoAccess::makeFolders(*this, parentOf(*resolved), 0755)) return;
    auto data = std::make_shared<FileData>();
    data->assign(content.begin(), content.end());
    data->modifiedNs = wallClockNs_;
    auto found = nodes_.find(*resolved);
    if (found != nodes_.end() && found->second.kind == FileKind::regular) {
        *found->second.data = std::move(*data);
        found->second.mode = mode;
    } else {
        nodes_.insert_or_assign(*resolved, Node{FileKind::regular, mode, std::move(data)});
    }
}

void MemoryIo::putFolder(std::string_view path) {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    if (resolved && *resolved != "/") (void)MemoryIoAccess::makeFolders(*this, *resolved, 0755);
}

void MemoryIo::setCurrentFolder(std::string_view path) {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    if (resolved) currentFolder_ = *resolved;
}

std::optional<std::string> MemoryIo::fileText(std::string_view path) const {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    if (!resolved) return std::nullopt;
    auto found = nodes_.find(*resolved);
    if (found == nodes_.end() || found->second.kind != FileKind::regular) return std::nullopt;
    return std::string(found->second.data->begin(), found->second.data->end());
}

bool MemoryIo::exists(std::string_view path) const {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    return resolved && nodes_.contains(*resolved);
}

bool MemoryIo::isFolder(std::string_view path) const {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    if (!resolved) return false;
    auto found = nodes_.find(*resolved);
    return found != nodes_.end() && found->second.kind == FileKind::directory;
}

std::vector<std::string> MemoryIo::paths() const {
    std::lock_guard guard(lock_);
    std::vector<std::string> out;
    for (const auto& [path, node] : nodes_) {
        if (path != "/") out.push_back(path);
    }
    return out;
}

std::optional<std::uint16_t> MemoryIo::mode(std::string_view path) const {
    std::lock_guard guard(lock_);
    auto resolved = MemoryIoAccess::resolve(*this, path);
    if (!resolved) return std::nullopt;
    auto found = nodes_.find(*resolved);
    if (found == nodes_.end()) return std::nullopt;
    return found->second.mode;
}

std::size_t MemoryIo::openFileCount() const {
    std::lock_guard guard(lock_);
    return open_.size();
}

void MemoryIo::addFault(IoFault fault) {
    std::lock_guard guard(lock_);
    if (!fault.path.empty() && fault.path.back() != '*') {
        auto resolved = MemoryIoAccess::resolve(*this, fault.path);
        if (resolved) fault.path = *resolved;
    }
    fault.seen = 0;
    faults_.push_back(std::move(fault));
}

void MemoryIo::failOn(IoOp op, std::string_view path, Error error, std::uint32_t after, std::uint32_t times) {
    addFault(IoFault{op, std::string(path), error, after, times, std::nullopt, 0});
}

void MemoryIo::shortWrites(std::string_view path, std::size_t atMost, std::uint32_t times) {
    addFault(IoFault{IoOp::write, std::string(path), Error::WriteFailed, 0, times, atMost, 0});
    addFault(IoFault{IoOp::write_positional, std::string(path), Error::WriteFailed, 0, times, atMost, 0});
}

void MemoryIo::clearFaults() {
    std::lock_guard guard(lock_);
    faults_.clear();
}

std::vector<IoCall> MemoryIo::calls() const {
    std::lock_guard guard(lock_);
    return calls_;
}

std::size_t MemoryIo::callCount(IoOp op, std::string_view path) const {
    std::lock_guard guard(lock_);
    std::string pattern(path);
    if (!pattern.empty() && pattern.back() != '*') {
        auto resolved = MemoryIoAccess::resolve(*this, pattern);
        if (resolved) pattern = *resolved;
    }
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const IoCall& call) {
        return call.op == op && (pathMatches(pattern, call.path) ||
                                 (!call.target.empty() && !pattern.empty() && pathMatches(pattern, call.target)));
    }));
}

void MemoryIo::clearCalls() {
    std::lock_guard guard(lock_);
    calls_.clear();
}

void MemoryIo::setRecordCalls(bool record) {
    std::lock_guard guard(lock_);
    recordCalls_ = record;
}

void MemoryIo::setWallClockNs(std::int64_t nanoseconds) {
    std::lock_guard guard(lock_);
    wallClockNs_ = nanoseconds;
}

void MemoryIo::setMonotonicNs(std::uint64_t nanoseconds) {
    std::lock_guard guard(lock_);
    monotonicNs_ = nanoseconds;
}

void MemoryIo::advanceClocks(std::uint64_t nanoseconds) {
    std::lock_guard guard(lock_);
    wallClockNs_ += static_cast<std::int64_t>(nanoseconds);
    monotonicNs_ += nanoseconds;
}

std::int64_t MemoryIo::wallClockNs() const {
    std::lock_guard guard(lock_);
    return wallClockNs_;
}

std::uint64_t MemoryIo::monotonicNs() const {
    std::lock_guard guard(lock_);
    return monotonicNs_;
}

void MemoryIo::setRandomSeed(std::uint64_t seed) {
    std::lock_guard guard(lock_);
    randomState_ = seed;
}

Io memoryIo(MemoryIo& memory) { return Io{&memory, &MemoryIoAccess::kOps}; }

}  // namespace kelvo
