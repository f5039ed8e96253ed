#pragma once

// Private to src/platform/macos: the files behind audio loading. Which text counts as a URL, where
// a relative audio path leads, and what a finished cache download leaves behind: the download
// goes to "<cache>.part" first and replaces the cache file only when it is complete and of the
// expected size, so a cache file is never half written.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/io.hpp"
#include "platform/standin/standin.hpp"

namespace kelvo {

// Text that parses as a URL with a scheme: a letter, then letters, digits, "+", "-" or "." up to
// a ":", and no white space or control character anywhere.
bool isAudioUrlText(std::string_view text);

// The file an audio path names: an empty or absolute path as it is; a relative one inside the
// bundle's resource folder when a file (not a folder) is there, else as it is.
std::string resolveAudioPath(const Io& io, std::string_view path, const std::optional<std::string>& resourceFolder);

// Keeps a finished download as the cache file: nothing for an error or an HTTP status other than
// 200; otherwise the download becomes "<cachePath>.part", and the part replaces the cache file
// when `expectedBytes` is 0 or its size, else is deleted. Touches files only; any thread.
void keepAudioCacheDownload(const Io& io, const standin::DownloadResult& result, std::string_view cachePath,
                            std::uint64_t expectedBytes);

}  // namespace kelvo
