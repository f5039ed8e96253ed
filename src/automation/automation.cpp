#include "automation/automation.hpp"

#include "automation/snapshot_text.hpp"
#include "base/file_replace.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kSessionSnapshotName = "session";

using TextWriter = Status (*)(const AutomationSnapshotModel& model, const SnapshotTextSink& out);

struct FileSink {
    const Io* io = nullptr;
    FileHandle file;

    static Status write(void* context, std::string_view text) {
        auto& sink = *static_cast<FileSink*>(context);
        return ioWriteAll(*sink.io, sink.file, asBytes(text));
    }
};

Status writeOutputFile(const AutomationServer& server, std::string_view name, const AutomationSnapshotModel& model,
                       TextWriter writer) {
    InlineBytes<kMaxIoPath> path;
    if (!path.assign(server.folder.view()) || !path.append("/") || !path.append(name)) return fail(Error::NameTooLong);
    ReplacementFile replacement;
    TRY(beginReplacement(server.io, path.view(), kAutomationFileMode, replacement));
    FileSink sink{&server.io, replacement.file};
    Status written = writer(model, SnapshotTextSink{&sink, &FileSink::write});
    return finishReplacement(server.io, replacement, path.view(), written);
}

Status drainHook(void* context, Runtime& runtime, const AppBinding& binding) {
    drainAutomationCommand(*static_cast<Automation*>(context), runtime, binding);
    return {};
}

Status publishHook(void* context, Runtime& runtime) {
    return publishAutomationSnapshot(static_cast<Automation*>(context)->server, runtime);
}

Status writeSessionText(void* context, const SnapshotTextSink& out) {
    const Runtime& runtime = *static_cast<const Runtime*>(context);
    return writeAccessibilityText(automationSnapshot(runtime, kSessionSnapshotName), out);
}

}  // namespace

Status publishAutomationSnapshot(const AutomationServer& server, Runtime& runtime) {
    const AutomationSnapshotModel model = automationSnapshot(runtime, server.snapshotName.view());
    TRY(ioMakePath(server.io, server.folder.view(), kAutomationFolderMode));
    TRY(writeOutputFile(server, "snapshot.txt", model, &writeSnapshotText));
    TRY(writeOutputFile(server, "accessibility.txt", model, &writeAccessibilityText));
    return writeOutputFile(server, "windows.txt", model, &writeWindowsText);
}

void attachSessionSnapshotSource(Runtime& runtime) {
    runtime.sessionSnapshot = SessionSnapshotSource{&runtime, &writeSessionText};
}

void attachAutomation(Runtime& runtime, Automation& automation) {
    runtime.automation = AutomationHooks{&automation, &drainHook, &publishHook, automation.server.folder.view()};
    attachSessionSnapshotSource(runtime);
}

}  // namespace kelvo
