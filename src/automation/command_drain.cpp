// The drain: one command file per frame request, read, checked, deleted and then run.

#include <cstdlib>

#include "automation/automation.hpp"
#include "automation/command_run.hpp"
#include "automation/command_verbs.hpp"
#include "runtime/flow/dispatch_errors.hpp"
#include "runtime/runtime.hpp"

namespace kelvo {

namespace {

enum class ReadOutcome : std::uint8_t { complete, incomplete, too_large, skipped };

struct CommandRead {
    ReadOutcome outcome = ReadOutcome::skipped;
    std::size_t length = 0;
    std::int64_t modifiedNs = 0;
};

// An incomplete file ages out once its modification time lies at least the age limit away from
// now, in either direction: a time in the future (a clock set back, a copied file) must not
// block the queue for good.
bool agedOut(std::int64_t now, std::int64_t modifiedNs, std::int64_t limitNs) {
    if (now <= 0) return false;
    const __int128 age = static_cast<__int128>(now) - modifiedNs;
    return (age < 0 ? -age : age) >= limitNs;
}

// Opens without following a link and without waiting on a FIFO planted under the name; only a
// regular file is read.
Result<FileHandle> openCommandFile(const Io& io, std::string_view path) {
    OpenFileFlags flags;
    flags.followSymlinks = false;
    flags.nonBlocking = true;
    FileHandle file = TRY(ioOpenFile(io, path, flags));
    Result<FileStat> stat = ioFileStat(io, file);
    if (!stat || stat->kind != FileKind::regular) {
        (void)ioClose(io, file);
        return fail(stat ? Error::InvalidCommand : stat.error());
    }
    return file;
}

CommandRead readCommand(const Io& io, FileHandle file, std::span<char> buffer) {
    CommandRead read;
    auto bytes = std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size());
    while (read.length < bytes.size()) {
        Result<std::size_t> got = ioRead(io, file, bytes.subspan(read.length));
        if (!got) return CommandRead{};
        if (*got == 0) break;
        read.length += *got;
    }
    if (read.length == bytes.size()) {
        read.outcome = ReadOutcome::too_large;
    } else if (read.length == 0 || buffer[read.length - 1] != '\n') {
        read.outcome = ReadOutcome::incomplete;
        if (Result<FileStat> stat = ioFileStat(io, file)) read.modifiedNs = stat->modifiedNs;
    } else {
        read.outcome = ReadOutcome::complete;
    }
    return read;
}

// A head file that cannot be opened would block the queue (and keep the watcher asking for
// frames) for good: it is recorded once and removed.
void dropUnopenable(Automation& automation, Runtime& runtime, std::string_view name, Error error) {
    if (automation.unopenable.view() != name) {
        (void)automation.unopenable.assign(name);
        recordDispatchErrorDetail(runtime, kAutomationCommandScope, error, name);
    }
    (void)ioDeleteFile(automation.server.io, automation.path.view());
}

}  // namespace

void drainAutomationCommand(Automation& automation, Runtime& runtime, const AppBinding& binding) {
    const AutomationServer& server = automation.server;
    std::optional<std::string_view> name = queueHeadName(server, automation.name);
    if (!name) return;
    // The folder's length is bounded so that every command path fits.
    if (!automation.path.assign(server.folder.view()) || !automation.path.append("/") ||
        !automation.path.append(*name)) {
        return;
    }
    const std::string_view path = automation.path.view();
    const Io& io = server.io;

    Result<FileHandle> file = openCommandFile(io, path);
    if (!file) {
        // Gone between the listing and the open: nothing to do.
        if (file.error() != Error::FileNotFound) dropUnopenable(automation, runtime, *name, file.error());
        return;
    }
    const CommandRead read = readCommand(io, *file, automation.command);
    (void)ioClose(io, *file);

    switch (read.outcome) {
        case ReadOutcome::skipped:
            return;
        case ReadOutcome::too_large:
            (void)ioDeleteFile(io, path);
            recordDispatchErrorDetail(runtime, kAutomationCommandScope, Error::CommandTooLarge);
            return;
        case ReadOutcome::incomplete:
            if (agedOut(ioWallClockNs(io), read.modifiedNs, server.incompleteAgeLimitNs)) (void)ioDeleteFile(io, path);
            return;
        case ReadOutcome::complete:
            break;
    }
    // Deleted before it runs, so a command is never run twice.
    if (Status deleted = ioDeleteFile(io, path); !deleted && deleted.error() != Error::FileNotFound) {
        recordDispatchErrorDetail(runtime, kAutomationCommandScope, deleted.error());
        return;
    }
    runAutomationCommandText(runtime, binding, server, std::string_view(automation.command.data(), read.length));
}

}  // namespace kelvo
