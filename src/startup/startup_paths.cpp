#include "startup/startup_paths.hpp"

#include "app/bundle_paths.hpp"
#include "debug/trace_sinks.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kBundleExecutableMarker = ".app/Contents/MacOS/";

}  // namespace

std::optional<std::string_view> chooseLogFolder(const EnvMap& environment, std::string_view bundleId,
                                                std::span<char, kAppFolderPathCapacity> buffer) {
    if (std::optional<std::string_view> folder = environment.get("KELVO_LOG_DIR")) {
        if (folder->size() > kLogFolderCapacity) return std::nullopt;
        return *folder;
    }
    auto resolved = resolveOne(AppIdentity{bundleId}, envFromMap(environment), AppFolderKind::logs, buffer);
    if (!resolved) return std::nullopt;
    return *resolved;
}

WindowStateStore chooseWindowStateStore(const EnvMap& environment, std::string_view bundleId, const Io& io) {
    WindowStateStore store;
    std::array<char, kAppFolderPathCapacity> buffer;
    auto folder = resolveOne(AppIdentity{bundleId}, envFromMap(environment), AppFolderKind::state, buffer);
    if (folder) (void)configureWindowStateStore(store, io, *folder);
    return store;
}

IconChoice chooseIcon(const Io& io, std::string_view executablePath, std::span<char, kIconPathBytes> buffer) {
    if (ioPathStat(io, kIconFile)) return {kIconFile, false};
    if (executablePath.size() <= kMaxExecutablePath &&
        executablePath.find(kBundleExecutableMarker) != std::string_view::npos) {
        // A bundle whose icon cannot be named still counts as a bundle: nothing is rendered.
        std::uint64_t length = bundleIconOf(executablePath, buffer.data(), buffer.size());
        return {std::string_view(buffer.data(), length), false};
    }
    return {{}, true};
}

}  // namespace kelvo
