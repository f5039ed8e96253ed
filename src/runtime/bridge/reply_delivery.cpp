#include <array>

#include "base/bounded_writer.hpp"
#include "base/file_replace.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kMainWebViewLabel = "main";
constexpr std::string_view kReplyFileName = "bridge-response.txt";
// Replies can carry secrets (credentials), so the folder and the file are the user's own; the
// file is replaced whole, so a client never reads half a reply.
constexpr std::uint16_t kReplyFolderMode = 0700;
constexpr std::uint16_t kReplyFileMode = 0600;

Status writeReplyFile(const Io& io, std::string_view directory, std::string_view reply) {
    std::array<char, kMaxIoPath> pathBytes;
    BoundedWriter path(pathBytes);
    path.write(directory);
    path.put('/');
    path.write(kReplyFileName);
    // Checked before anything is created: a path whose temporary file cannot be named is refused.
    if (path.overflowed() || path.length() + kReplacementSuffix.size() >= kMaxIoPath) return fail(Error::NameTooLong);
    if (!io.present()) return fail(Error::UnsupportedService);

    TRY(ioMakePath(io, directory, kReplyFolderMode));
    return replaceFileContent(io, path.text(), reply, kReplyFileMode);
}

Status deliver(const Platform& platform, std::uint64_t windowId, std::string_view label, std::string_view reply) {
    if (hasSlot<&PlatformSlots::completeWebViewBridge>(platform)) {
        return callNeeded<&PlatformSlots::completeWebViewBridge>(platform, windowId, label, reply);
    }
    if (label != kMainWebViewLabel) return fail(Error::UnsupportedService);
    if (hasSlot<&PlatformSlots::completeWindowBridge>(platform)) {
        return callNeeded<&PlatformSlots::completeWindowBridge>(platform, windowId, reply);
    }
    if (windowId != 1) return fail(Error::UnsupportedService);
    return callNeeded<&PlatformSlots::completeBridge>(platform, reply);
}

}  // namespace

Status completeBridgeResponse(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                              std::string_view reply) {
    return completeBridgeResponseTo(runtime, windowId, label, reply, BridgeReplyTarget::page);
}

Status completeBridgeResponseTo(Runtime& runtime, std::uint64_t windowId, std::string_view label,
                                std::string_view reply, BridgeReplyTarget target) {
    if (target == BridgeReplyTarget::page) TRY(deliver(runtime.platform, windowId, label, reply));
    std::string_view directory = runtime.automation.bridgeResponseDirectory;
    if (!directory.empty()) {
        if (Status written = writeReplyFile(runtime.io, directory, reply); !written) {
            runtimeTrace(runtime, "automation.bridge_response_failed", errorName(written.error()));
        }
    }
    return {};
}

}  // namespace kelvo
