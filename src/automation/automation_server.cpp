#include "automation/automation_server.hpp"

#include <cstring>
#include <limits>

#include "base/ascii.hpp"

namespace kelvo {

namespace {

constexpr std::string_view kCommandPrefix = "command-";
constexpr std::string_view kCommandSuffix = ".txt";
constexpr std::size_t kMinCommandFileNameBytes = 13;

struct QueueScan {
    const AutomationServer* server = nullptr;
    std::span<char, kCommandFileNameBytes> name;
    std::size_t length = 0;
    std::optional<std::uint64_t> best;
};

bool isRegularFile(const AutomationServer& server, std::string_view name) {
    std::array<char, kMaxIoPath> bytes;
    const std::string_view folder = server.folder.view();
    if (folder.size() + 1 + name.size() >= bytes.size()) return false;
    std::memcpy(bytes.data(), folder.data(), folder.size());
    bytes[folder.size()] = '/';
    std::memcpy(bytes.data() + folder.size() + 1, name.data(), name.size());
    Result<FileStat> stat =
        ioPathStat(server.io, std::string_view(bytes.data(), folder.size() + 1 + name.size()), false);
    return stat && stat->kind == FileKind::regular;
}

bool visitEntry(void* context, std::string_view entry) {
    auto& scan = *static_cast<QueueScan*>(context);
    std::optional<std::uint64_t> number = commandFileNumber(entry);
    // Only a strictly smaller number wins, so of equal numbers the first listed stays.
    if (!number || (scan.best && *number >= *scan.best)) return true;
    if (!isRegularFile(*scan.server, entry)) return true;
    std::memcpy(scan.name.data(), entry.data(), entry.size());
    scan.length = entry.size();
    scan.best = number;
    return true;
}

}  // namespace

Status configureAutomationServer(AutomationServer& server, const Io& io, std::string_view folder,
                                 std::string_view snapshotName, std::int64_t incompleteAgeLimitNs) {
    if (folder.empty()) return fail(Error::InvalidCommand);
    if (!io.present()) return fail(Error::UnsupportedService);
    AutomationServer configured;
    if (!configured.folder.assign(folder) || !configured.snapshotName.assign(snapshotName)) {
        return fail(Error::NameTooLong);
    }
    configured.io = io;
    configured.incompleteAgeLimitNs = incompleteAgeLimitNs;
    server = configured;
    return {};
}

std::optional<std::uint64_t> commandFileNumber(std::string_view name) {
    if (name.size() < kMinCommandFileNameBytes || name.size() > kCommandFileNameBytes) return std::nullopt;
    if (!name.starts_with(kCommandPrefix) || !name.ends_with(kCommandSuffix)) return std::nullopt;
    const std::string_view number =
        name.substr(kCommandPrefix.size(), name.size() - kCommandPrefix.size() - kCommandSuffix.size());
    if (number.front() == '_' || number.back() == '_') return std::nullopt;
    std::uint64_t value = 0;
    for (char byte : number) {
        if (byte == '_') continue;
        if (!isDecimalDigit(byte)) return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(byte - '0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::string_view> queueHeadName(const AutomationServer& server,
                                              std::span<char, kCommandFileNameBytes> name) {
    if (!server.io.present() || server.folder.empty()) return std::nullopt;
    QueueScan scan{&server, name, 0, std::nullopt};
    // A listing that fails part way keeps what it found; one that cannot start finds nothing.
    (void)ioListFolder(server.io, server.folder.view(), &scan, &visitEntry);
    if (!scan.best) return std::nullopt;
    return std::string_view(name.data(), scan.length);
}

}  // namespace kelvo
