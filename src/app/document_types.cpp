#include "app/document_types.hpp"

namespace kelvo {

namespace {

constexpr std::array<std::string_view, 1> kDocumentExtensions = {"vrs"};

constexpr std::array<DialogFileFilter, 2> kDocumentFileTypes = {{
    {"Vostra Studio documents", kDocumentExtensions},
    {"Files Vostra Studio reads", kReadableExtensions},
}};

}  // namespace

std::span<const DialogFileFilter> documentFileTypes() { return kDocumentFileTypes; }

}  // namespace kelvo
