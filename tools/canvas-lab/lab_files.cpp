#include "lab_files.hpp"

#include <cstdio>

#include "widgets/widget_tree_text.hpp"

namespace kelvo {

namespace {

constexpr std::uint64_t kMaxTreeFileBytes = 16u << 20;

}  // namespace

int labFailed(std::string_view what, std::string_view path, Error error) {
    std::fprintf(stderr, "kelvo-canvas-lab: %.*s %.*s: %.*s\n", static_cast<int>(what.size()), what.data(),
                 static_cast<int>(path.size()), path.data(), static_cast<int>(errorName(error).size()),
                 errorName(error).data());
    return 1;
}

Result<std::vector<std::uint8_t>> readWholeFile(const Io& io, std::string_view path) {
    // Opened without waiting, as automation opens command files: a FIFO or a device under the
    // name must not hold the lab up; only a regular file is read.
    OpenFileFlags flags;
    flags.nonBlocking = true;
    FileHandle file = TRY(ioOpenFile(io, path, flags));
    auto read = [&]() -> Result<std::vector<std::uint8_t>> {
        FileStat stat = TRY(ioFileStat(io, file));
        if (stat.kind == FileKind::directory) return fail(Error::IsDir);
        if (stat.kind != FileKind::regular) return fail(Error::InvalidReadablePath);
        if (stat.size > kMaxTreeFileBytes) return fail(Error::WidgetTextTooLarge);  // far more than a tree can hold
        std::vector<std::uint8_t> bytes(stat.size);
        std::size_t length = TRY(ioReadAllAt(io, file, bytes, 0));
        bytes.resize(length);
        return bytes;
    };
    auto bytes = read();
    (void)ioClose(io, file);
    return bytes;
}

bool readTreeFile(const Io& io, std::string_view path, WidgetTreeStorage& out) {
    auto text = readWholeFile(io, path);
    if (!text) {
        labFailed("cannot read", path, text.error());
        return false;
    }
    std::uint32_t line = 0;
    if (Status status = parseWidgetTreeText(asText(*text), out, &line); !status) {
        std::fprintf(stderr, "kelvo-canvas-lab: %.*s:%u: %.*s\n", static_cast<int>(path.size()), path.data(), line,
                     static_cast<int>(errorName(status.error()).size()), errorName(status.error()).data());
        return false;
    }
    return true;
}

}  // namespace kelvo
