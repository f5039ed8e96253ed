#pragma once

#include <cstdint>
#include <string_view>

#include "base/error.hpp"

namespace kelvo {

// The state fingerprint of a session checkpoint: wyhash (seed 0) of the accessibility text of the
// runtime's "session" snapshot, fed to the hasher as it is written, never built whole.

// Receives text piece by piece.
struct SnapshotTextSink {
    void* context = nullptr;
    Status (*write)(void* context, std::string_view text) = nullptr;
};

// Writes a snapshot's text into a sink. Automation supplies the writer of the real snapshot text;
// until one is supplied there is nothing to fingerprint.
struct SessionSnapshotSource {
    void* context = nullptr;
    Status (*writeText)(void* context, const SnapshotTextSink& out) = nullptr;
};

// The hash of everything the source writes; 0 when there is no writer or it fails.
std::uint64_t sessionStateFingerprint(const SessionSnapshotSource& source);

}  // namespace kelvo
