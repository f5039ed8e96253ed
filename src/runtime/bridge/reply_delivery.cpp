#include <array>

#include "base/bounded_writer.hpp"
#include "runtime/bridge/routing.hpp"
#include "runtime/flow/runtime_trace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {
namespace {

constexpr std::string_view kMainWebViewLabel = "main";
constexpr std::string_view kReplyFileName = "bridge-response.txt";
// The reply file's path (directory, "/", file name) is composed in a buffer of this size; a path
// that does not fit is not cut short but not written at all.
constexpr std::size_t kReplyFilePathBytes = 256;

Status writeReplyFile(const Io& io, std::string_view directory, std::string_view reply) {
    std::array<char, kReplyFilePathBytes> pathBytes;
    BoundedWriter path(pathBytes);
    path.write(directory);
    path.put('/');
    path.write(kReplyFileName);
    if (path.overflowed()) return fail(Error::NameTooLong);
    if (!io.present()) return fail(Error::UnsupportedService);

    TRY(ioMakePath(io, directory, 0777));
    FileHandle file = TRY(ioCreateFile(io, path.text()));
    Status written = ioWriteAll(io, file, asBytes(reply));
    Status closed = ioClose(io, file);
    TRY(written);
    return closed;
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
    TRY(deliver(runtime.platform, windowId, label, reply));
    std::string_view directory = runtime.automation.bridgeResponseDirectory;
    if (!directory.empty()) {
        if (Status written = writeReplyFile(runtime.io, directory, reply); !written) {
            runtimeTrace(runtime, "automation.bridge_response_failed", errorName(written.error()));
        }
    }
    return {};
}

}  // namespace kelvo
