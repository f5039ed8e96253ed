#include "app/bundle_paths.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace kelvo {

namespace {

constexpr std::string_view kBundleExecutableFolder = ".app/Contents/MacOS";
constexpr std::string_view kFrontendFolder = "/frontend/dist";
constexpr std::string_view kBundleIconFile = "/icon.png";

// The bundle's resource folder for an executable in `folder`.
struct ResourceFolder {
    std::string_view base;  // written first
    std::string_view tail;  // then this
};

ResourceFolder resourceFolderOf(std::string_view folder) {
    if (folder.ends_with(kBundleExecutableFolder)) {
        std::string_view bundle = folder.substr(0, folder.size() - kBundleExecutableFolder.size() + 4);
        std::size_t slash = bundle.rfind('/');
        // "<name>.app" needs a name.
        if (bundle.size() - (slash == std::string_view::npos ? 0 : slash + 1) > 4) {
            return {folder.substr(0, folder.size() - 5), "Resources"};
        }
    }
    return {folder, {}};
}

// "<resources><file>" into `buffer`, NUL-terminated; its length, or 0 when it does not fit (or, with
// `bundleOnly`, when the executable lies outside a bundle).
std::uint64_t resourceFileOf(std::string_view executablePath, std::string_view file, bool bundleOnly, char* buffer,
                             std::uint64_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::size_t slash = executablePath.rfind('/');
    if (slash == std::string_view::npos) return 0;
    ResourceFolder resources = resourceFolderOf(executablePath.substr(0, slash));
    if (bundleOnly && resources.tail.empty()) return 0;
    std::uint64_t length = resources.base.size() + resources.tail.size() + file.size();
    if (length + 1 > capacity) return 0;
    char* out = buffer;
    out = std::copy(resources.base.begin(), resources.base.end(), out);
    out = std::copy(resources.tail.begin(), resources.tail.end(), out);
    out = std::copy(file.begin(), file.end(), out);
    *out = '\0';
    return length;
}

}  // namespace

std::uint64_t frontendFolderOf(std::string_view executablePath, char* buffer, std::uint64_t capacity) {
    return resourceFileOf(executablePath, kFrontendFolder, false, buffer, capacity);
}

std::uint64_t bundleIconOf(std::string_view executablePath, char* buffer, std::uint64_t capacity) {
    return resourceFileOf(executablePath, kBundleIconFile, true, buffer, capacity);
}

std::string_view runningExecutablePath(std::span<char> buffer) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
    return std::string_view(buffer.data(), static_cast<std::size_t>(length));
}

std::uint64_t vostra_studio_resource_path(char* buffer, std::uint64_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::array<char, 4096> executable;
    std::string_view path = runningExecutablePath(executable);
    if (path.empty()) return 0;
    return frontendFolderOf(path, buffer, capacity);
}

}  // namespace kelvo
