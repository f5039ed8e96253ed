#pragma once

// The texts of the automation output files, printed from one snapshot model in a single pass:
// "snapshot.txt" (everything), "accessibility.txt" (the accessibility tree, which the session
// journal also fingerprints) and "windows.txt" (one line per window). Lines end with one line
// feed; fields are separated by one space; quoted values are written raw, without escaping, as
// clients of these files expect. Each writer streams into `out` and returns the sink's first
// error, ending the text there.

#include "automation/snapshot_model.hpp"
#include "base/error.hpp"
#include "runtime/persist/session_fingerprint.hpp"

namespace kelvo {

Status writeSnapshotText(const AutomationSnapshotModel& model, const SnapshotTextSink& out);
Status writeAccessibilityText(const AutomationSnapshotModel& model, const SnapshotTextSink& out);
Status writeWindowsText(const AutomationSnapshotModel& model, const SnapshotTextSink& out);

}  // namespace kelvo
