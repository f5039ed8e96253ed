#include "runtime/persist/session_fingerprint.hpp"

#include "base/wyhash.hpp"

namespace kelvo {

std::uint64_t sessionStateFingerprint(const SessionSnapshotSource& source) {
    if (source.writeText == nullptr) return 0;
    Wyhash hasher(0);
    SnapshotTextSink sink{&hasher, [](void* context, std::string_view text) -> Status {
                              static_cast<Wyhash*>(context)->update(text);
                              return {};
                          }};
    if (!source.writeText(source.context, sink)) return 0;
    return hasher.digest();
}

}  // namespace kelvo
