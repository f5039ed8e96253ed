#pragma once

// The kinds of files Vostra Studio works with, as its open dialogs offer them.

#include <array>
#include <span>
#include <string_view>

#include "platform/types/service_records.hpp"

namespace kelvo {

// The extensions "vostra.file.read.begin" reads, compared without regard to ASCII case.
inline constexpr std::array<std::string_view, 9> kReadableExtensions = {"png",  "jpg",  "vrs", "heic", "heif",
                                                                        "webp", "jpeg", "pdf", "txt"};

// "Vostra Studio documents" (".vrs"), then "Files Vostra Studio reads" (every readable kind).
std::span<const DialogFileFilter> documentFileTypes();

}  // namespace kelvo
