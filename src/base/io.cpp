#include "base/io.hpp"

namespace kelvo {

Status ioCheckEntryName(std::string_view name) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != name.npos) {
        return fail(Error::BadPathName);
    }
    if (name.size() >= kMaxIoName) return fail(Error::NameTooLong);
    return {};
}

Status ioWriteAll(const Io& io, FileHandle file, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        std::size_t written = TRY(io.ops->fileWrite(io.context, file, bytes));
        if (written == 0) return fail(Error::WriteFailed);
        bytes = bytes.subspan(written < bytes.size() ? written : bytes.size());
    }
    return {};
}

Status ioWriteAllAt(const Io& io, FileHandle file, std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    while (!bytes.empty()) {
        std::size_t written = TRY(io.ops->fileWritePositional(io.context, file, bytes, offset));
        if (written == 0) return fail(Error::WriteFailed);
        if (written > bytes.size()) written = bytes.size();
        bytes = bytes.subspan(written);
        offset += written;
    }
    return {};
}

Result<std::size_t> ioReadAllAt(const Io& io, FileHandle file, std::span<std::uint8_t> buffer, std::uint64_t offset) {
    std::size_t total = 0;
    while (total < buffer.size()) {
        std::size_t read = TRY(io.ops->fileReadPositional(io.context, file, buffer.subspan(total), offset + total));
        if (read == 0) break;
        total += read;
    }
    return total;
}

}  // namespace kelvo
