// The bundle the program runs from: an executable in "<name>.app/Contents/MacOS/" has its
// resources in "<name>.app/Contents/Resources".

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cctype>

#include "platform/standin/gtk/gtk_state.hpp"

namespace kelvo::standin {

namespace {

constexpr std::string_view kExecutableFolder = "/Contents/MacOS";

bool isAppBundle(std::string_view bundle) {
    const std::size_t slash = bundle.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? bundle : bundle.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot != 4) return false;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[dot + 1 + i])) != "app"[i]) return false;
    }
    return true;
}

std::optional<std::string> resourceFolder(void*) {
    std::array<char, 4096> executable{};
    const ssize_t length = ::readlink("/proc/self/exe", executable.data(), executable.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= executable.size()) return std::nullopt;
    std::string_view path(executable.data(), static_cast<std::size_t>(length));
    const std::string_view folder = path.substr(0, path.rfind('/'));
    if (!folder.ends_with(kExecutableFolder)) return std::nullopt;
    const std::string_view bundle = folder.substr(0, folder.size() - kExecutableFolder.size());
    if (!isAppBundle(bundle)) return std::nullopt;
    std::string resources(bundle);
    resources += "/Contents/Resources";
    struct stat info {};
    if (::stat(resources.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return resources;
}

}  // namespace

BundleService gtkBundle() {
    BundleService bundle;
    KELVO_STANDIN_FILL(bundle, KELVO_STANDIN_BUNDLE_FUNCTIONS)
    return bundle;
}

}  // namespace kelvo::standin
