#include "base/error.hpp"

#include <array>

namespace kelvo {

namespace {
constexpr std::array<std::string_view, kErrorCount> kErrorNames = {
#define KELVO_ERROR(name) std::string_view(#name),
#include "base/error_names.def"
#undef KELVO_ERROR
};
}  // namespace

std::string_view errorName(Error error) {
    auto index = static_cast<std::size_t>(error);
    if (index >= kErrorNames.size()) return "Unexpected";
    return kErrorNames[index];
}

std::optional<Error> errorFromName(std::string_view name) {
    for (std::size_t i = 0; i < kErrorNames.size(); ++i) {
        if (kErrorNames[i] == name) return static_cast<Error>(i);
    }
    return std::nullopt;
}

}  // namespace kelvo
