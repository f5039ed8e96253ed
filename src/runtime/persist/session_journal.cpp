#include "runtime/persist/session_journal.hpp"

#include <array>

#include "base/bounded_writer.hpp"
#include "base/stderr.hpp"
#include "base/wyhash.hpp"
#include "runtime/persist/session_bytes.hpp"

namespace kelvo {

void SessionRecorder::writeRecord(std::uint8_t kind, std::span<const std::uint8_t> payload) {
    if (failed) return;
    if (payload.size() > kMaxSessionRecordBytes) {
        fail(kSessionRecordTooLarge);
        return;
    }
    if (journalBytes + kSessionRecordHeaderBytes + payload.size() > kMaxSessionJournalBytes) {
        fail(kSessionJournalTooLarge);
        return;
    }
    if (writer.write == nullptr) {
        fail(errorName(Error::UnsupportedService));
        return;
    }
    std::array<std::uint8_t, kSessionRecordHeaderBytes> header{};
    SessionBytes out(header);
    out.u8(kind);
    out.u32(static_cast<std::uint32_t>(payload.size()));
    if (auto written = writer.write(writer.context, header); !written) {
        fail(errorName(written.error()));
        return;
    }
    if (auto written = writer.write(writer.context, payload); !written) {
        fail(errorName(written.error()));
        return;
    }
    journalBytes += kSessionRecordHeaderBytes + payload.size();
}

void SessionRecorder::fail(std::string_view reason) {
    if (failed) return;
    failed = true;
    std::array<char, 512> line;
    BoundedWriter out(line);
    out.write("session recording failed and stopped: ");
    out.write(reason);
    out.write(" (the partial journal has no end record; replay will refuse it)\n");
    writeStderr(out.text());
}

void SessionRecorder::beginEvent(const PlatformEvent& event) {
    if (!recording()) return;
    if (pendingDepth >= kMaxSessionEventDepth) {
        fail(kSessionDepthExceeded);
        return;
    }
    auto length = serializePlatformEvent(event, pendingEvents[pendingDepth]);
    if (!length) {
        fail(kSessionEventTooLarge);
        return;
    }
    pendingLengths[pendingDepth] = *length;
    ++pendingDepth;
}

void SessionRecorder::commitEvent() {
    if (!recording() || pendingDepth == 0) return;
    --pendingDepth;
    writeRecord(static_cast<std::uint8_t>(SessionRecordKind::event),
                std::span<const std::uint8_t>(pendingEvents[pendingDepth].data(), pendingLengths[pendingDepth]));
    if (!failed) ++committedEvents;
}

void SessionRecorder::recordCheckpoint(std::uint64_t frame, std::uint64_t fingerprint) {
    if (!recording()) return;
    lastCheckpointFrame = frame;
    SessionBytes out(scratch);
    out.u64(committedEvents);
    out.u64(frame);
    out.u64(fingerprint);
    writeRecord(static_cast<std::uint8_t>(SessionRecordKind::checkpoint), out.written());
    if (!failed) ++checkpoints;
}

void SessionRecorder::recordScreenshot(std::string_view name, std::optional<float> scale,
                                       std::span<const std::uint8_t> png) {
    if (!recording()) return;
    SessionBytes out(scratch);
    out.u64(committedEvents);
    out.string(name);
    out.f32(scale.value_or(1.0f));
    out.u64(wyhash(png, 0));
    out.u64(png.size());
    // The scratch is as large as the biggest record, so a name that overflows it is a record
    // that exceeds the limit.
    if (!out.ok()) {
        fail(kSessionRecordTooLarge);
        return;
    }
    writeRecord(static_cast<std::uint8_t>(SessionRecordKind::screenshot), out.written());
    if (!failed) ++screenshots;
}

void SessionRecorder::finish() {
    if (!recording()) return;
    finished = true;
    SessionBytes out(scratch);
    out.u64(committedEvents);
    out.u64(secondCounter);
    out.u64(checkpoints);
    out.u64(screenshots);
    writeRecord(static_cast<std::uint8_t>(SessionRecordKind::end), out.written());
}

SessionFingerprintSource sessionFingerprintSource(SessionSnapshotSource& snapshot) {
    return {&snapshot,
            [](void* context) { return sessionStateFingerprint(*static_cast<const SessionSnapshotSource*>(context)); }};
}

void sessionEndEvent(SessionRecorder* recorder, std::uint64_t frameCounter, bool appShutdown,
                     const SessionFingerprintSource& fingerprint) {
    if (recorder == nullptr) return;
    recorder->commitEvent();
    if (recorder->recording() && recorder->pendingDepth == 0 && frameCounter != recorder->lastCheckpointFrame) {
        std::uint64_t value = fingerprint.fingerprint ? fingerprint.fingerprint(fingerprint.context) : 0;
        recorder->recordCheckpoint(frameCounter, value);
    }
    if (appShutdown) recorder->finish();
}

SessionEventScope::SessionEventScope(SessionRecorder* recorder, const PlatformEvent& event,
                                     const std::uint64_t& frameCounter, SessionFingerprintSource fingerprint)
    : recorder_(recorder),
      frameCounter_(frameCounter),
      fingerprint_(fingerprint),
      appShutdown_(std::holds_alternative<AppShutdownEvent>(event)) {
    if (recorder_ != nullptr) recorder_->beginEvent(event);
}

SessionEventScope::~SessionEventScope() { sessionEndEvent(recorder_, frameCounter_, appShutdown_, fingerprint_); }

}  // namespace kelvo
