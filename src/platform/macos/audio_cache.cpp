#include "platform/macos/audio_cache.hpp"

#include <memory>

namespace kelvo {

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

bool isSchemeByte(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

std::optional<FileStat> statOf(const Io& io, std::string_view path) {
    Result<FileStat> stat = ioPathStat(io, path);
    if (!stat) return std::nullopt;
    return *stat;
}

// Copies `from` to a new `to` and deletes `from`: the move when the two lie on different file
// systems. A failed copy leaves no `to`.
Status copyThenDelete(const Io& io, std::string_view from, std::string_view to) {
    const FileHandle source = TRY(ioOpenFile(io, from));
    Result<FileHandle> target = ioCreateFile(io, to);
    if (!target) {
        (void)ioClose(io, source);
        return fail(target.error());
    }
    auto chunk = std::make_unique<std::uint8_t[]>(kCopyChunk);
    Status copied;
    for (;;) {
        Result<std::size_t> read = ioRead(io, source, {chunk.get(), kCopyChunk});
        if (!read) {
            copied = fail(read.error());
            break;
        }
        if (*read == 0) break;
        copied = ioWriteAll(io, *target, {chunk.get(), *read});
        if (!copied) break;
    }
    (void)ioClose(io, source);
    Status closed = ioClose(io, *target);
    if (copied && !closed) copied = closed;
    if (!copied) {
        (void)ioDeleteFile(io, to);
        return copied;
    }
    (void)ioDeleteFile(io, from);
    return {};
}

Status moveFile(const Io& io, std::string_view from, std::string_view to) {
    if (ioRename(io, from, to)) return {};
    return copyThenDelete(io, from, to);
}

}  // namespace

bool isAudioUrlText(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    for (std::size_t i = 0; i < colon; ++i) {
        if (!isSchemeByte(text[i], i == 0)) return false;
    }
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return false;
    }
    return true;
}

std::string resolveAudioPath(const Io& io, std::string_view path, const std::optional<std::string>& resourceFolder) {
    if (path.empty() || path.front() == '/' || !resourceFolder) return std::string(path);
    std::string inBundle = *resourceFolder;
    if (!inBundle.ends_with('/')) inBundle.push_back('/');
    inBundle.append(path);
    std::optional<FileStat> stat = statOf(io, inBundle);
    if (stat && stat->kind != FileKind::directory) return inBundle;
    return std::string(path);
}

void keepAudioCacheDownload(const Io& io, const standin::DownloadResult& result, std::string_view cachePath,
                            std::uint64_t expectedBytes) {
    if (!result.completed || result.file.empty() || cachePath.empty()) return;
    if (result.httpStatus && *result.httpStatus != 200) return;
    const std::size_t slash = cachePath.rfind('/');
    if (slash != std::string_view::npos && slash > 0) (void)ioMakePath(io, cachePath.substr(0, slash));
    std::string part(cachePath);
    part.append(".part");
    (void)ioDeleteFile(io, part);
    if (!moveFile(io, result.file, part)) return;
    const std::optional<FileStat> stat = statOf(io, part);
    const std::uint64_t size = stat ? stat->size : 0;
    if (expectedBytes == 0 || size == expectedBytes) {
        (void)ioDeleteFile(io, cachePath);
        if (ioRename(io, part, cachePath)) return;
    }
    (void)ioDeleteFile(io, part);
}

}  // namespace kelvo
