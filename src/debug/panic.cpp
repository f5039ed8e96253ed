#include "debug/panic.hpp"

#include <execinfo.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <thread>

#include "base/bounded_writer.hpp"
#include "base/stderr.hpp"
#include "base/utf8.hpp"
#include "debug/trace_format.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kPanicPrefix = "panic: ";

PanicState gPanicState;
std::atomic<bool> gPanicking{false};

}  // namespace

PanicState& panicState() { return gPanicState; }

Status PanicState::install(const Io& newIo, std::string_view newFolder) {
    installed.store(false, std::memory_order_release);
    if (!folder.assign(newFolder)) return fail(Error::NameTooLong);
    if (!joinLogPath(logPath, newFolder, kTraceLogFileName)) return fail(Error::NameTooLong);
    if (!joinLogPath(panicPath, newFolder, kPanicFileName)) return fail(Error::NameTooLong);
    io = newIo;
    installed.store(true, std::memory_order_release);
    return {};
}

Status PanicState::write(std::string_view message) const {
    if (!installed.load(std::memory_order_acquire)) return {};

    std::array<char, kPanicLineCapacity> buffer;
    BoundedWriter line(buffer);
    line.write(kPanicPrefix);
    if (kPanicPrefix.size() + message.size() + 1 <= kPanicLineCapacity) {
        line.write(message);
    } else {
        std::size_t room = kPanicLineCapacity - kPanicPrefix.size() - kTraceTruncatedMarker.size() - 1;
        line.write(message.substr(0, utf8CutLength(message, room)));
        line.write(kTraceTruncatedMarker);
    }
    line.put('\n');
    std::string_view shown = line.text().substr(kPanicPrefix.size(), line.length() - kPanicPrefix.size() - 1);

    if (!folder.empty()) (void)ioMakePath(io, folder.view(), 0777);
    FileHandle file = TRY(ioCreateFile(io, panicPath.view(), {.mode = 0666, .truncate = true}));
    auto written = ioWriteAll(io, file, asBytes(line.text()));
    auto closed = ioClose(io, file);
    TRY(written);
    TRY(closed);

    TraceRecord record;
    record.timestampNs = 0;
    record.name = "panic";
    record.message = shown;
    record.level = TraceLevel::fatal;
    record.kind = TraceKind::event;
    return appendTraceRecord(io, folder.view(), logPath.view(), true, record);
}

void capturePanic(std::string_view message) {
    // A panic while the traces of another are being written only reports itself.
    bool first = !gPanicking.exchange(true);
    if (first) (void)gPanicState.write(message);

    // The panicking thread may already hold the standard-error lock; wait for it only briefly.
    auto& lock = stderrLock();
    bool locked = false;
    for (int attempt = 0; attempt < 100 && !(locked = lock.try_lock()); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writeStderrLocked(first ? "panic: " : "panic while panicking: ");
    writeStderrLocked(message);
    writeStderrLocked("\n");
    std::array<void*, 64> frames;
    int count = ::backtrace(frames.data(), static_cast<int>(frames.size()));
    ::backtrace_symbols_fd(frames.data(), count, STDERR_FILENO);
    if (locked) lock.unlock();
    std::abort();
}

void installTerminatePanic() {
    std::set_terminate([] {
        std::string_view message = "terminate called";
        if (auto current = std::current_exception()) {
            try {
                std::rethrow_exception(current);
            } catch (const std::exception& error) {
                capturePanic(error.what());
            } catch (...) {
                message = "terminate called after an unknown exception";
            }
        }
        capturePanic(message);
    });
}

}  // namespace kelvo
