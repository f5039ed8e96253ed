#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"
#include "base/fixed.hpp"
#include "base/io.hpp"

namespace kelvo {

// Writing a file that others read while it changes: the bytes go to "<path>.tmp", which is then
// renamed over `path`, so a reader sees the old content or the whole new content, never a part.
// The temporary file is created exclusively, so a file or symbolic link planted under its name is
// never written through: a stale one is removed (the link itself, not what it points at) and the
// creation tried once more.

inline constexpr std::string_view kReplacementSuffix = ".tmp";

struct ReplacementFile {
    FileHandle file;
    InlineBytes<kMaxIoPath> temporaryPath;
};

// Creates the temporary file of `path` with the permission bits `mode`.
Status beginReplacement(const Io& io, std::string_view path, std::uint16_t mode, ReplacementFile& out);
// Closes the temporary file and, when `written` and the close succeeded, renames it over `path`.
// On any failure the temporary file is removed and the first error is returned.
Status finishReplacement(const Io& io, ReplacementFile& replacement, std::string_view path, Status written);
// The whole of `content` as the new content of `path`.
Status replaceFileContent(const Io& io, std::string_view path, std::string_view content, std::uint16_t mode);

}  // namespace kelvo
