#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "platform/types/platform_event.hpp"
#include "runtime/persist/session_fingerprint.hpp"

namespace kelvo {

// The session journal: a plain sequence of records, each a kind byte, a little-endian u32
// payload length and the payload, appended through a writer that the attaching code supplies.
// Every platform event the dispatcher handles becomes one event record, written when its
// dispatch ends (so a nested event is written before the event it was dispatched from);
// checkpoints pair the published-frame counter with a fingerprint of the visible state; an end
// record closes the journal. Any failure stops recording for good with one line on standard
// error; the application keeps running.

inline constexpr std::size_t kMaxSessionEventDepth = 8;
inline constexpr std::size_t kMaxSessionEventBytes = 262144;         // one serialised event, code byte included
inline constexpr std::size_t kMaxSessionRecordBytes = 1114112;       // one record's payload
inline constexpr std::uint64_t kMaxSessionJournalBytes = 134217728;  // the whole journal, headers included
inline constexpr std::size_t kMaxSessionDroppedPaths = 32;
inline constexpr std::size_t kSessionRecordHeaderBytes = 5;

enum class SessionRecordKind : std::uint8_t { event = 2, checkpoint = 4, screenshot = 5, end = 6 };

// The reason lines of every limit, as standard error shows them.
inline constexpr std::string_view kSessionDepthExceeded =
    "dispatch nesting exceeded max_session_event_depth - this is a runtime bug, not a session shape";
inline constexpr std::string_view kSessionEventTooLarge = "a platform event exceeded max_session_event_bytes";
inline constexpr std::string_view kSessionRecordTooLarge = "a record exceeded max_session_record_bytes";
inline constexpr std::string_view kSessionJournalTooLarge =
    "the journal exceeded max_session_journal_bytes - recording stopped";

struct SessionWriter {
    void* context = nullptr;
    Status (*write)(void* context, std::span<const std::uint8_t> bytes) = nullptr;
};

// About 3 MiB: allocate it on the heap.
struct SessionRecorder {
    SessionWriter writer;
    std::uint64_t journalBytes = 0;
    std::uint64_t committedEvents = 0;
    std::uint64_t secondCounter = 0;  // carried in the end record; nothing in this program changes it
    std::uint64_t checkpoints = 0;
    std::uint64_t screenshots = 0;
    std::uint64_t lastCheckpointFrame = 0;
    std::uint64_t pendingDepth = 0;
    std::array<std::uint64_t, kMaxSessionEventDepth> pendingLengths{};
    bool enabled = false;
    bool finished = false;
    bool failed = false;
    std::array<std::array<std::uint8_t, kMaxSessionEventBytes>, kMaxSessionEventDepth> pendingEvents;
    std::array<std::uint8_t, kMaxSessionRecordBytes> scratch;  // checkpoint, screenshot and end payloads

    // Enabled, and neither finished nor failed. Every operation but writeRecord and fail does
    // nothing otherwise.
    [[nodiscard]] bool recording() const { return enabled && !finished && !failed; }

    // Appends one record: the header and the payload in two writer calls.
    void writeRecord(std::uint8_t kind, std::span<const std::uint8_t> payload);
    // Stops recording for good and says why on standard error (once per recorder).
    void fail(std::string_view reason);
    // Serialises `event` into the next pending slot (the begin step of every dispatch).
    void beginEvent(const PlatformEvent& event);
    // Writes the innermost pending event as an event record.
    void commitEvent();
    void recordCheckpoint(std::uint64_t frame, std::uint64_t fingerprint);
    // Writes a screenshot record for a published PNG; `scale` absent is written as 1.
    void recordScreenshot(std::string_view name, std::optional<float> scale, std::span<const std::uint8_t> png);
    // Writes the end record; the journal ends there.
    void finish();
};

// Serialises one platform event (its code byte, tag + 1, then its fields) into `out`. Returns the
// length, or nothing when a string does not fit a u32, more than 32 paths were dropped, or the
// event does not fit `out`.
std::optional<std::size_t> serializePlatformEvent(const PlatformEvent& event, std::span<std::uint8_t> out);

// What the end of a dispatch needs to know: the frames published so far and how to fingerprint
// the visible state (asked only when a checkpoint is due).
struct SessionFingerprintSource {
    void* context = nullptr;
    std::uint64_t (*fingerprint)(void* context) = nullptr;
};

// Fingerprints through a snapshot source, which must outlive the result.
SessionFingerprintSource sessionFingerprintSource(SessionSnapshotSource& snapshot);

// The end-of-dispatch steps, run at every exit of a dispatch: commit the event; at depth 0 write a
// checkpoint when a frame was published since the last one; after app_shutdown write the end
// record. A null recorder does nothing.
void sessionEndEvent(SessionRecorder* recorder, std::uint64_t frameCounter, bool appShutdown,
                     const SessionFingerprintSource& fingerprint);

// Ties the begin and end steps to one dispatch: construct it before the event is acted on, and
// its destructor runs the end steps on every way out. `frameCounter` is read at the end.
class SessionEventScope {
public:
    SessionEventScope(SessionRecorder* recorder, const PlatformEvent& event, const std::uint64_t& frameCounter,
                      SessionFingerprintSource fingerprint);
    ~SessionEventScope();
    SessionEventScope(const SessionEventScope&) = delete;
    SessionEventScope& operator=(const SessionEventScope&) = delete;

private:
    SessionRecorder* recorder_;
    const std::uint64_t& frameCounter_;
    SessionFingerprintSource fingerprint_;
    bool appShutdown_;
};

}  // namespace kelvo
