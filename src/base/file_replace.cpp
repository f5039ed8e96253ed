#include "base/file_replace.hpp"

namespace kelvo {

Status beginReplacement(const Io& io, std::string_view path, std::uint16_t mode, ReplacementFile& out) {
    out = ReplacementFile{};
    if (!out.temporaryPath.assign(path) || !out.temporaryPath.append(kReplacementSuffix)) {
        return fail(Error::NameTooLong);
    }
    const CreateFileFlags flags{.mode = mode, .read = false, .truncate = true, .exclusive = true, .append = false};
    Result<FileHandle> file = ioCreateFile(io, out.temporaryPath.view(), flags);
    if (!file && file.error() == Error::PathAlreadyExists) {
        TRY(ioDeleteFile(io, out.temporaryPath.view()));
        file = ioCreateFile(io, out.temporaryPath.view(), flags);
    }
    if (!file) return fail(file.error());
    out.file = *file;
    return {};
}

Status finishReplacement(const Io& io, ReplacementFile& replacement, std::string_view path, Status written) {
    Status closed = ioClose(io, replacement.file);
    replacement.file = FileHandle{};
    if (written && !closed) written = closed;
    if (written) written = ioRename(io, replacement.temporaryPath.view(), path);
    if (!written) (void)ioDeleteFile(io, replacement.temporaryPath.view());
    return written;
}

Status replaceFileContent(const Io& io, std::string_view path, std::string_view content, std::uint16_t mode) {
    ReplacementFile replacement;
    TRY(beginReplacement(io, path, mode, replacement));
    return finishReplacement(io, replacement, path, ioWriteAll(io, replacement.file, asBytes(content)));
}

}  // namespace kelvo
