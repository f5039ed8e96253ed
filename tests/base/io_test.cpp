#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/file_replace.hpp"
#include "base/memory_io.hpp"
#include "base/posix_io.hpp"
#include "support/error_of.hpp"
#include "support/golden.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

// "<ErrorName>", for comparing outcomes as text.
std::string shownError(Error error) {
    std::string shown("<");
    shown.append(errorName(error));
    shown.push_back('>');
    return shown;
}

using testing::TempFolder;

std::string readWhole(const Io& io, std::string_view path) {
    auto file = ioOpenFile(io, path);
    if (!file) return shownError(file.error());
    std::string text(4096, '\0');
    auto count = ioReadAllAt(io, *file, {reinterpret_cast<std::uint8_t*>(text.data()), text.size()}, 0);
    (void)ioClose(io, *file);
    if (!count) return shownError(count.error());
    text.resize(*count);
    return text;
}

Status writeWhole(const Io& io, std::string_view path, std::string_view text) {
    FileHandle file = TRY(ioCreateFile(io, path));
    auto written = ioWriteAll(io, file, asBytes(text));
    auto closed = ioClose(io, file);
    TRY(written);
    return closed;
}

std::vector<std::string> listNames(const Io& io, std::string_view path) {
    std::vector<std::string> names;
    auto listed = ioListFolder(io, path, &names, [](void* context, std::string_view name) {
        static_cast<std::vector<std::string>*>(context)->emplace_back(name);
        return true;
    });
    if (!listed) names.push_back(shownError(listed.error()));
    std::sort(names.begin(), names.end());
    return names;
}

using testing::errorOf;

// One scenario that both implementations must pass alike.
void runFileScenario(const Io& io, const std::string& root) {
    std::string folder = root + "/a/b/c";
    ASSERT_TRUE(ioMakePath(io, folder));
    ASSERT_TRUE(ioMakePath(io, folder)) << "an existing folder is not an error";
    ASSERT_TRUE(writeWhole(io, folder + "/one.txt", "hello"));
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), "hello");

    // Positional writes past the end fill the gap with zeros; the size follows.
    auto file = ioOpenFile(io, folder + "/one.txt", {.access = FileAccess::read_write});
    ASSERT_TRUE(file);
    ASSERT_TRUE(ioWriteAllAt(io, *file, asBytes("XY"), 7));
    EXPECT_EQ(ioFileStat(io, *file)->size, 9u);
    EXPECT_EQ(ioFileStat(io, *file)->kind, FileKind::regular);
    ASSERT_TRUE(ioSync(io, *file));
    ASSERT_TRUE(ioClose(io, *file));
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), std::string("hello\0\0XY", 9));

    // Appending keeps what is there; truncating creation empties it.
    auto appended = ioCreateFile(io, folder + "/log.txt", {.truncate = false, .append = true});
    ASSERT_TRUE(appended);
    ASSERT_TRUE(ioWriteAll(io, *appended, asBytes("one\n")));
    ASSERT_TRUE(ioClose(io, *appended));
    appended = ioCreateFile(io, folder + "/log.txt", {.truncate = false, .append = true});
    ASSERT_TRUE(ioWriteAll(io, *appended, asBytes("two\n")));
    ASSERT_TRUE(ioClose(io, *appended));
    EXPECT_EQ(readWhole(io, folder + "/log.txt"), "one\ntwo\n");

    // Sequential reads move the file position.
    auto reader = ioOpenFile(io, folder + "/log.txt");
    ASSERT_TRUE(reader);
    std::uint8_t chunk[3];
    EXPECT_EQ(*ioRead(io, *reader, chunk), 3u);
    EXPECT_EQ(*ioRead(io, *reader, chunk), 3u);
    EXPECT_EQ(asText({chunk, 3}), "\ntw");
    EXPECT_EQ(*ioRead(io, *reader, chunk), 2u);
    EXPECT_EQ(*ioRead(io, *reader, chunk), 0u);
    ASSERT_TRUE(ioClose(io, *reader));

    EXPECT_EQ(listNames(io, folder), (std::vector<std::string>{"log.txt", "one.txt"}));
    EXPECT_EQ(listNames(io, root + "/a"), (std::vector<std::string>{"b"}));
    EXPECT_EQ(listNames(io, root + "/a/b/c/"), (std::vector<std::string>{"log.txt", "one.txt"}));
    EXPECT_EQ(ioPathStat(io, root + "/a")->kind, FileKind::directory);

    // Rename replaces the target in one step.
    ASSERT_TRUE(writeWhole(io, folder + "/new.tmp", "fresh"));
    ASSERT_TRUE(ioRename(io, folder + "/new.tmp", folder + "/one.txt"));
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), "fresh");
    EXPECT_EQ(listNames(io, folder), (std::vector<std::string>{"log.txt", "one.txt"}));
    ASSERT_TRUE(ioDeleteFile(io, folder + "/log.txt"));
    EXPECT_EQ(listNames(io, folder), (std::vector<std::string>{"one.txt"}));

    // Failures carry their names.
    EXPECT_EQ(errorOf(ioOpenFile(io, folder + "/missing")), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioOpenFile(io, root + "/nowhere/missing")), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioCreateFile(io, root + "/nowhere/new")), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioCreateFile(io, folder + "/one.txt/inside")), Error::NotDir);
    EXPECT_EQ(errorOf(ioMakePath(io, folder + "/one.txt/inside")), Error::NotDir);
    EXPECT_EQ(errorOf(ioMakePath(io, folder + "/one.txt")), Error::NotDir);
    EXPECT_EQ(errorOf(ioCreateFile(io, folder + "/one.txt", {.exclusive = true})), Error::PathAlreadyExists);
    EXPECT_EQ(errorOf(ioCreateFile(io, folder)), Error::IsDir);
    EXPECT_EQ(errorOf(ioOpenFile(io, folder, {.access = FileAccess::write_only})), Error::IsDir);
    EXPECT_EQ(errorOf(ioDeleteFile(io, folder)), Error::IsDir);
    EXPECT_EQ(errorOf(ioDeleteFile(io, folder + "/missing")), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioRename(io, folder + "/missing", folder + "/x")), Error::FileNotFound);
    ASSERT_TRUE(ioMakePath(io, root + "/other/inside"));
    EXPECT_EQ(errorOf(ioRename(io, folder + "/one.txt", root + "/other")), Error::IsDir);
    EXPECT_EQ(errorOf(ioRename(io, root + "/a", root + "/other")), Error::PathAlreadyExists);
    EXPECT_EQ(errorOf(ioPathStat(io, folder + "/missing")), Error::FileNotFound);
    EXPECT_EQ(listNames(io, folder + "/missing"), (std::vector<std::string>{"<FileNotFound>"}));
    EXPECT_EQ(listNames(io, folder + "/one.txt"), (std::vector<std::string>{"<NotDir>"}));

    // Path limits apply before the system sees the path.
    std::string longName = root;
    while (longName.size() < kMaxIoPath) longName += "/" + std::string(99, 'n');
    longName.resize(kMaxIoPath);
    EXPECT_EQ(errorOf(ioCreateFile(io, longName)), Error::NameTooLong);
    EXPECT_EQ(errorOf(ioMakePath(io, longName)), Error::NameTooLong);
    longName.resize(kMaxIoPath - 1);
    EXPECT_EQ(errorOf(ioOpenFile(io, longName)), Error::FileNotFound);
    std::string withNul = folder + std::string("/a\0b", 4);
    EXPECT_EQ(errorOf(ioCreateFile(io, withNul)), Error::BadPathName);
    EXPECT_EQ(errorOf(ioRename(io, folder + "/one.txt", withNul)), Error::BadPathName);
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), "fresh");

    // Lengths cut and extend with zeros; folders sync; real paths are absolute, without dots.
    auto sized = ioOpenFile(io, folder + "/one.txt", {.access = FileAccess::read_write});
    ASSERT_TRUE(sized);
    ASSERT_TRUE(ioSetLength(io, *sized, 7));
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), std::string("fresh\0\0", 7));
    ASSERT_TRUE(ioSetLength(io, *sized, 2));
    EXPECT_EQ(ioFileStat(io, *sized)->size, 2u);
    ASSERT_TRUE(ioClose(io, *sized));
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), "fr");
    EXPECT_TRUE(ioSyncFolder(io, folder));
    EXPECT_EQ(errorOf(ioSyncFolder(io, folder + "/missing")), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioSyncFolder(io, folder + "/one.txt")), Error::NotDir);
    char real[kMaxIoPath];
    EXPECT_EQ(ioRealPath(io, folder + "/../c/./one.txt", real).value_or("?"), folder + "/one.txt");
    EXPECT_EQ(errorOf(ioRealPath(io, folder + "/missing", real)), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioRealPath(io, folder + "/one.txt", std::span(real, 4))), Error::NameTooLong);
}

// Entries of an open folder: only their names count against the limits, so a folder whose own
// path is close to the path limit still holds files with longer whole paths.
void runEntryScenario(const Io& io, const std::string& root) {
    std::string folder = root;
    while (folder.size() < kMaxIoPath - 9) {
        folder += '/';
        folder.append(std::min<std::size_t>(200, kMaxIoPath - 9 - folder.size()), 'f');
    }
    ASSERT_EQ(folder.size(), kMaxIoPath - 9);
    ASSERT_TRUE(ioMakePath(io, folder));
    EXPECT_EQ(errorOf(ioOpenFile(io, folder + "/one.txt", {.folder = true})), Error::FileNotFound);
    ASSERT_TRUE(writeWhole(io, folder + "/one.txt", "one"));
    EXPECT_EQ(errorOf(ioOpenFile(io, folder + "/one.txt", {.folder = true})), Error::NotDir);
    auto opened = ioOpenFile(io, folder, {.folder = true});
    ASSERT_TRUE(opened);
    FileHandle inside = *opened;

    const std::string name = "a-name-longer-than-the-rest.txt";
    auto created = ioCreateFileIn(io, inside, name, {.mode = 0600, .read = true, .exclusive = true});
    ASSERT_TRUE(created);
    ASSERT_TRUE(ioWriteAll(io, *created, asBytes("entry")));
    ASSERT_TRUE(ioSetMode(io, *created, 0640));
    EXPECT_EQ(ioFileStat(io, *created)->mode & 0777, 0640);
    ASSERT_TRUE(ioClose(io, *created));
    EXPECT_EQ(errorOf(ioCreateFileIn(io, inside, name, {.exclusive = true})), Error::PathAlreadyExists);
    EXPECT_EQ(ioEntryStat(io, inside, name)->size, 5u);
    EXPECT_EQ(ioEntryStat(io, inside, name)->mode & 0777, 0640);
    auto reopened = ioOpenFileIn(io, inside, name, {.access = FileAccess::read_only, .nonBlocking = true});
    ASSERT_TRUE(reopened);
    std::uint8_t bytes[8];
    EXPECT_EQ(ioReadAllAt(io, *reopened, bytes, 0).value_or(0), 5u);
    ASSERT_TRUE(ioClose(io, *reopened));

    ASSERT_TRUE(ioRenameIn(io, inside, name, "one.txt"));
    EXPECT_EQ(readWhole(io, folder + "/one.txt"), "entry");
    EXPECT_EQ(listNames(io, folder), (std::vector<std::string>{"one.txt"}));
    EXPECT_EQ(errorOf(ioEntryStat(io, inside, name)), Error::FileNotFound);
    EXPECT_EQ(errorOf(ioOpenFileIn(io, inside, name)), Error::FileNotFound);

    // Names are single entries of the folder, below 256 bytes.
    for (std::string_view bad : {"", ".", "..", "a/b", "/one.txt"}) {
        EXPECT_EQ(errorOf(ioCreateFileIn(io, inside, bad)), Error::BadPathName) << bad;
        EXPECT_EQ(errorOf(ioDeleteFileIn(io, inside, bad)), Error::BadPathName) << bad;
    }
    EXPECT_EQ(errorOf(ioEntryStat(io, inside, std::string_view("a\0b", 3))), Error::BadPathName);
    EXPECT_EQ(errorOf(ioCreateFileIn(io, inside, std::string(kMaxIoName, 'n'))), Error::NameTooLong);
    auto longest = ioCreateFileIn(io, inside, std::string(kMaxIoName - 1, 'n'));
    ASSERT_TRUE(longest);
    ASSERT_TRUE(ioClose(io, *longest));
    ASSERT_TRUE(ioDeleteFileIn(io, inside, std::string(kMaxIoName - 1, 'n')));
    ASSERT_TRUE(ioDeleteFileIn(io, inside, "one.txt"));
    EXPECT_EQ(errorOf(ioDeleteFileIn(io, inside, "one.txt")), Error::FileNotFound);
    EXPECT_EQ(listNames(io, folder), std::vector<std::string>{});
    ASSERT_TRUE(ioClose(io, inside));
}

TEST(PosixIo, FilesAndFoldersBehaveAsSpecified) {
    TempFolder temp;
    runFileScenario(posixIo(), temp.path());
    runEntryScenario(posixIo(), temp.path());
}

TEST(MemoryIo, FilesAndFoldersBehaveLikeThePosixImplementation) {
    MemoryIo memory;
    memory.putFolder("/tmp");
    runFileScenario(memoryIo(memory), "/tmp");
    runEntryScenario(memoryIo(memory), "/tmp");
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(PosixIo, DescriptorsAreCloseOnExecAndSymlinksAreSeen) {
    TempFolder temp;
    Io io = posixIo();
    ASSERT_TRUE(writeWhole(io, temp.path("target"), "x"));
    auto file = ioOpenFile(io, temp.path("target"));
    ASSERT_TRUE(file);
    EXPECT_NE(::fcntl(file->value, F_GETFD) & FD_CLOEXEC, 0);
    ASSERT_TRUE(ioClose(io, *file));

    ASSERT_EQ(::symlink(temp.path("target").c_str(), temp.path("link").c_str()), 0);
    EXPECT_EQ(ioPathStat(io, temp.path("link"), false)->kind, FileKind::symlink);
    EXPECT_EQ(ioPathStat(io, temp.path("link"), true)->kind, FileKind::regular);
    EXPECT_FALSE(ioOpenFile(io, temp.path("link"), {.followSymlinks = false}));
    EXPECT_TRUE(ioOpenFile(io, temp.path("link")).map([&](FileHandle f) { return ioClose(io, f); }));

    // A link's own text, unresolved; one that does not fit is too long, never cut.
    ASSERT_EQ(::symlink("../somewhere/else", temp.path("relative").c_str()), 0);
    char target[kMaxIoPath];
    EXPECT_EQ(ioReadLink(io, temp.path("relative"), target).value_or("?"), "../somewhere/else");
    EXPECT_EQ(errorOf(ioReadLink(io, temp.path("relative"), std::span(target, 4))), Error::NameTooLong);
    EXPECT_FALSE(ioReadLink(io, temp.path("target"), target));
    ASSERT_EQ(::symlink("loop-b", temp.path("loop-a").c_str()), 0);
    ASSERT_EQ(::symlink("loop-a", temp.path("loop-b").c_str()), 0);
    EXPECT_EQ(errorOf(ioOpenFile(io, temp.path("loop-a"))), Error::SymLinkLoop);
}

TEST(PosixIo, ModificationTimesAndReplacementsNeverWriteThroughALink) {
    TempFolder temp;
    Io io = posixIo();
    ASSERT_TRUE(writeWhole(io, temp.path("outside"), "secret"));
    ASSERT_EQ(::symlink(temp.path("outside").c_str(), temp.path("state.txt.tmp").c_str()), 0);
    ASSERT_TRUE(replaceFileContent(io, temp.path("state.txt"), "new", 0600));
    EXPECT_EQ(readWhole(io, temp.path("state.txt")), "new");
    EXPECT_EQ(readWhole(io, temp.path("outside")), "secret");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(temp.path("state.txt.tmp"))));
    const Result<FileStat> stat = ioPathStat(io, temp.path("state.txt"));
    EXPECT_EQ(stat->mode, 0600);
    EXPECT_LT(std::llabs(stat->modifiedNs - ioWallClockNs(io)), 5'000'000'000);
}

TEST(MemoryIo, ContentChangesStampTheWallClock) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.setWallClockNs(100);
    memory.putFile("/a", "x");
    auto file = ioOpenFile(io, "/a", {.access = FileAccess::read_write});
    ASSERT_TRUE(file);
    memory.setWallClockNs(200);
    std::uint8_t byte;
    ASSERT_TRUE(ioRead(io, *file, {&byte, 1}));
    EXPECT_EQ(ioFileStat(io, *file)->modifiedNs, 100) << "reading changes nothing";
    ASSERT_TRUE(ioWriteAll(io, *file, asBytes("y")));
    EXPECT_EQ(ioPathStat(io, "/a")->modifiedNs, 200);
    ASSERT_TRUE(ioClose(io, *file));
}

TEST(PosixIo, NonBlockingOpensDoNotWaitForAFifoAndRealPathsFollowLinks) {
    TempFolder temp;
    Io io = posixIo();
    ASSERT_EQ(::mkfifo(temp.path("pipe").c_str(), 0600), 0);
    auto fifo = ioOpenFile(io, temp.path("pipe"), {.nonBlocking = true});
    ASSERT_TRUE(fifo);
    EXPECT_EQ(ioFileStat(io, *fifo)->kind, FileKind::other);
    ASSERT_TRUE(ioClose(io, *fifo));

    ASSERT_TRUE(writeWhole(io, temp.path("doc"), "d"));
    ASSERT_EQ(::chmod(temp.path("doc").c_str(), 0640), 0);
    EXPECT_EQ(ioPathStat(io, temp.path("doc"))->mode, 0640);
    ASSERT_EQ(::symlink("doc", temp.path("link").c_str()), 0);
    char real[kMaxIoPath];
    auto resolved = ioRealPath(io, temp.path("link"), real);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(std::filesystem::path(std::string(*resolved)), std::filesystem::canonical(temp.path("doc")));
}

// The unprivileged user that a test of permission bits becomes when the superuser runs it.
constexpr uid_t kNobody = 65534;

// In a child process: enters `folder` (which "nobody" may not be able to reach: the temporary
// folder may lie in one of the superuser's own) and gives up the superuser's user and groups. From
// then on the child reads and writes only in that folder, by relative paths.
bool becomeNobodyIn(const std::string& folder) {
    return ::chdir(folder.c_str()) == 0 && ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 &&
           ::setuid(kNobody) == 0;
}

TEST(PosixIo, PermissionFailuresAreAccessDenied) {
    TempFolder temp;
    Io io = posixIo();
    ASSERT_TRUE(ioMakePath(io, temp.path("locked")));
    ASSERT_EQ(::chmod(temp.path("locked").c_str(), 0500), 0);
    // Each refusal that did not come out as AccessDenied sets one bit.
    auto refusals = [&](const std::string& folder) {
        int wrong = 0;
        if (errorOf(ioCreateFile(io, folder + "/locked/file")) != Error::AccessDenied) wrong |= 1;
        if (errorOf(ioMakePath(io, folder + "/locked/sub/deeper")) != Error::AccessDenied) wrong |= 2;
        return wrong;
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(refusals(temp.path()), 0);
        return;
    }
    // Permission bits do not bind the superuser: the checks run in a child that has given up
    // its privileges for the unprivileged "nobody" user, which owns the folders.
    ASSERT_EQ(::chown(temp.path().c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chown(temp.path("locked").c_str(), kNobody, kNobody), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!becomeNobodyIn(temp.path())) ::_exit(64);
        ::_exit(refusals("."));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "bit 1: create, bit 2: make path, 64: could not drop privileges";
}

// The modes of the table of writes over existing files, in its order.
std::vector<std::string> existingFileModes() {
    std::vector<std::string> modes;
    for (const auto& row : testing::readTable("base/existing_file_writes.txt")) modes.push_back(row.at(0));
    return modes;
}

// What writing over an existing file of each mode does, one line per mode as the table has it: a
// create or an open for writing that its owner may not do fails and leaves the file as it was.
std::vector<std::string> existingFileWrites(const Io& io, const std::string& folder,
                                            const std::vector<std::string>& modes) {
    std::vector<std::string> lines;
    auto opened = ioOpenFile(io, folder, {.folder = true});
    if (!opened) return {shownError(opened.error())};
    auto outcome = [&io](Result<FileHandle> file) {
        if (!file) return shownError(file.error());
        (void)ioClose(io, *file);
        return std::string("ok");
    };
    for (const std::string& mode : modes) {
        const std::string name = "file" + mode;
        const std::string path = folder + "/" + name;
        auto made = ioCreateFile(io, path);
        if (!made || !ioWriteAll(io, *made, asBytes("keep")) ||
            !ioSetMode(io, *made, static_cast<std::uint16_t>(std::stoi(mode, nullptr, 8))) || !ioClose(io, *made)) {
            lines.push_back(mode + " could not be made");
            continue;
        }
        std::string line = mode;
        line += " create=" + outcome(ioCreateFile(io, path));
        line += " append=" + outcome(ioCreateFile(io, path, {.truncate = false, .append = true}));
        line += " read_write=" + outcome(ioCreateFile(io, path, {.read = true, .truncate = false}));
        line += " exclusive=" + outcome(ioCreateFile(io, path, {.exclusive = true}));
        line += " entry=" + outcome(ioCreateFileIn(io, *opened, name));
        line += " open_write=" + outcome(ioOpenFile(io, path, {.access = FileAccess::write_only}));
        auto stat = ioPathStat(io, path);
        line += " size=" + (stat ? std::to_string(stat->size) : shownError(stat.error()));
        lines.push_back(line);
    }
    (void)ioClose(io, *opened);
    return lines;
}

TEST(MemoryIo, WritesOverAFileItsOwnerMayNotWriteAreRefusedAsOnDisk) {
    MemoryIo memory;
    memory.putFolder("/docs");
    EXPECT_EQ(existingFileWrites(memoryIo(memory), "/docs", existingFileModes()),
              testing::readLines("base/existing_file_writes.txt"));
    EXPECT_EQ(memory.fileText("/docs/file0444"), "keep");
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(PosixIo, WritesOverAFileItsOwnerMayNotWriteAreRefused) {
    TempFolder temp;
    // Read here: the child below may not be let into the folders that hold the table.
    const std::vector<std::string> modes = existingFileModes();
    const std::vector<std::string> wanted = testing::readLines("base/existing_file_writes.txt");
    if (::geteuid() != 0) {
        EXPECT_EQ(existingFileWrites(posixIo(), temp.path(), modes), wanted);
        return;
    }
    // As the unprivileged "nobody" user, who owns the folder, in a child that gave up its
    // privileges; the lines come back through a pipe.
    ASSERT_EQ(::chown(temp.path().c_str(), kNobody, kNobody), 0);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (!becomeNobodyIn(temp.path())) ::_exit(64);
        std::string text;
        for (const std::string& line : existingFileWrites(posixIo(), ".", modes)) text += line + "\n";
        const bool sent = ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(sent ? 0 : 65);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char chunk[512];
    for (ssize_t got; (got = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0;) text.append(chunk, got);
    ::close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "64: could not drop privileges, 65: could not send the lines";
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(lines, wanted);
}

TEST(PosixIo, ErrnoValuesMapThroughOneTable) {
    const std::pair<int, Error> table[] = {
        {EACCES, Error::AccessDenied},    {EPERM, Error::AccessDenied},       {ENOENT, Error::FileNotFound},
        {ENOSPC, Error::NoSpaceLeft},     {EDQUOT, Error::DiskQuota},         {EISDIR, Error::IsDir},
        {ENOTDIR, Error::NotDir},         {ENAMETOOLONG, Error::NameTooLong}, {EROFS, Error::ReadOnlyFileSystem},
        {EIO, Error::InputOutput},        {EEXIST, Error::PathAlreadyExists}, {ENOTEMPTY, Error::PathAlreadyExists},
        {ENOMEM, Error::SystemResources}, {EBADF, Error::Unexpected},         {EINVAL, Error::Unexpected},
        {ELOOP, Error::SymLinkLoop},
    };
    for (auto [value, error] : table) EXPECT_EQ(errorFromErrno(value), error) << value;
}

TEST(PosixIo, ClocksSleepAndRandomBytes) {
    Io io = posixIo();
    std::uint64_t before = ioMonotonicNs(io);
    ASSERT_TRUE(ioSleepNs(io, 2'000'000));
    EXPECT_GE(ioMonotonicNs(io) - before, 2'000'000u);
    std::int64_t wall = ioWallClockNs(io);
    EXPECT_LT(std::llabs(wall / 1'000'000'000 - static_cast<std::int64_t>(::time(nullptr))), 2);
    std::uint8_t first[64] = {};
    std::uint8_t second[64] = {};
    ASSERT_TRUE(ioRandomBytes(io, first));
    ASSERT_TRUE(ioRandomBytes(io, second));
    EXPECT_FALSE(std::equal(std::begin(first), std::end(first), std::begin(second)));
}

TEST(MemoryIo, PathsFoldDotsAndFollowTheCurrentFolder) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.putFolder("/work/sub");
    memory.setCurrentFolder("/work");
    ASSERT_TRUE(writeWhole(io, "sub/../note.txt", "n"));
    EXPECT_EQ(memory.fileText("/work/note.txt"), "n");
    EXPECT_EQ(readWhole(io, "./sub/./../note.txt"), "n");
    EXPECT_EQ(memory.paths(), (std::vector<std::string>{"/work", "/work/note.txt", "/work/sub"}));
    EXPECT_EQ(errorOf(ioOpenFile(io, "")), Error::FileNotFound);
}

TEST(MemoryIo, FaultsFailTheChosenOperationOnTheChosenPath) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.putFile("/state/windows.zon", "old");
    memory.failOn(IoOp::rename, "/state/windows.zon", Error::AccessDenied);
    memory.failOn(IoOp::sync, "/state/*", Error::InputOutput, 1);
    memory.failOn(IoOp::create_file, "/other/file", Error::NoSpaceLeft, 0, 0);

    ASSERT_TRUE(writeWhole(io, "/state/windows.zon.tmp", "new"));
    // Rename matches on its target; the fault is spent after one failure.
    EXPECT_EQ(errorOf(ioRename(io, "/state/windows.zon.tmp", "/state/windows.zon")), Error::AccessDenied);
    EXPECT_EQ(memory.fileText("/state/windows.zon"), "old");
    EXPECT_TRUE(ioRename(io, "/state/windows.zon.tmp", "/state/windows.zon"));
    EXPECT_EQ(memory.fileText("/state/windows.zon"), "new");

    // Operations on open files match the path they were opened at; `after` lets calls through first.
    auto file = ioOpenFile(io, "/state/windows.zon");
    ASSERT_TRUE(file);
    EXPECT_TRUE(ioSync(io, *file));
    EXPECT_EQ(errorOf(ioSync(io, *file)), Error::InputOutput);
    EXPECT_TRUE(ioSync(io, *file));
    ASSERT_TRUE(ioClose(io, *file));

    // `times` 0 fails every matching call; other paths are untouched.
    memory.putFolder("/other");
    EXPECT_EQ(errorOf(ioCreateFile(io, "/other/file")), Error::NoSpaceLeft);
    EXPECT_EQ(errorOf(ioCreateFile(io, "/other/file")), Error::NoSpaceLeft);
    EXPECT_TRUE(writeWhole(io, "/other/file2", "x"));

    // The call log keeps every call in order with its outcome.
    EXPECT_EQ(memory.callCount(IoOp::rename, "/state/windows.zon"), 2u);
    EXPECT_EQ(memory.callCount(IoOp::sync), 3u);
    auto calls = memory.calls();
    auto renameAt = std::find_if(calls.begin(), calls.end(), [](const IoCall& c) { return c.op == IoOp::rename; });
    ASSERT_NE(renameAt, calls.end());
    EXPECT_EQ(renameAt->path, "/state/windows.zon.tmp");
    EXPECT_EQ(renameAt->target, "/state/windows.zon");
    EXPECT_EQ(renameAt->error, Error::AccessDenied);
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(MemoryIo, ShortWritesAreCompletedByWriteAllOrReportedWhenStuck) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.shortWrites("/data.bin", 3);
    ASSERT_TRUE(writeWhole(io, "/data.bin", "0123456789"));
    EXPECT_EQ(memory.fileText("/data.bin"), "0123456789");
    EXPECT_EQ(memory.callCount(IoOp::write, "/data.bin"), 4u);

    auto file = ioCreateFile(io, "/data.bin", {.truncate = false});
    ASSERT_TRUE(file);
    EXPECT_TRUE(ioWriteAllAt(io, *file, asBytes("abcdefg"), 2));
    ASSERT_TRUE(ioClose(io, *file));
    EXPECT_EQ(memory.fileText("/data.bin"), "01abcdefg9");

    memory.clearFaults();
    memory.shortWrites("/full.bin", 0);
    EXPECT_EQ(errorOf(writeWhole(io, "/full.bin", "abc")), Error::WriteFailed);
    EXPECT_EQ(memory.openFileCount(), 0u);
}

TEST(MemoryIo, OpenFilesKeepTheirContentAcrossRenameAndDelete) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.putFile("/a", "content");
    auto file = ioOpenFile(io, "/a");
    ASSERT_TRUE(file);
    ASSERT_TRUE(ioRename(io, "/a", "/b"));
    ASSERT_TRUE(ioDeleteFile(io, "/b"));
    std::uint8_t buffer[16];
    EXPECT_EQ(asText({buffer, *ioReadAllAt(io, *file, buffer, 0)}), "content");
    ASSERT_TRUE(ioClose(io, *file));
    EXPECT_EQ(errorOf(ioClose(io, *file)), Error::Unexpected);
    EXPECT_TRUE(memory.paths().empty());

    // Folders move with everything below them.
    memory.putFile("/x/y/z.txt", "z");
    ASSERT_TRUE(ioRename(io, "/x", "/moved"));
    EXPECT_EQ(memory.fileText("/moved/y/z.txt"), "z");
    EXPECT_FALSE(memory.exists("/x/y"));
    memory.putFile("/full/f", "f");
    EXPECT_EQ(errorOf(ioRename(io, "/moved", "/full")), Error::PathAlreadyExists);

    // A sibling whose name extends the folder's ("/moved b") is not inside it.
    memory.putFile("/moved b", "sibling");
    memory.putFile("/moved+", "sibling");
    EXPECT_EQ(listNames(io, "/moved"), (std::vector<std::string>{"y"}));
    ASSERT_TRUE(ioRename(io, "/moved", "/again"));
    EXPECT_EQ(memory.fileText("/again/y/z.txt"), "z");
    EXPECT_EQ(memory.fileText("/moved b"), "sibling");
}

TEST(MemoryIo, ClocksAreSetAndAdvancedBySleepAndRandomBytesRepeat) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    memory.setWallClockNs(1'000);
    memory.setMonotonicNs(50);
    ASSERT_TRUE(ioSleepNs(io, 25));
    EXPECT_EQ(ioWallClockNs(io), 1'025);
    EXPECT_EQ(ioMonotonicNs(io), 75u);
    memory.advanceClocks(5);
    EXPECT_EQ(ioMonotonicNs(io), 80u);

    std::uint8_t first[13];
    std::uint8_t second[13];
    memory.setRandomSeed(42);
    ASSERT_TRUE(ioRandomBytes(io, first));
    memory.setRandomSeed(42);
    ASSERT_TRUE(ioRandomBytes(io, second));
    EXPECT_TRUE(std::equal(std::begin(first), std::end(first), std::begin(second)));
}

// Runs under ThreadSanitizer too: the in-memory I/O is shared by threads in some tests.
TEST(MemoryIoThreads, ConcurrentAppendsAndSleepsKeepEveryByte) {
    MemoryIo memory;
    Io io = memoryIo(memory);
    auto work = [&](char letter) {
        for (int i = 0; i < 500; ++i) {
            auto file = ioCreateFile(io, "/shared.txt", {.truncate = false, .append = true});
            ASSERT_TRUE(file);
            ASSERT_TRUE(ioWriteAll(io, *file, asBytes(std::string(4, letter))));
            ASSERT_TRUE(ioClose(io, *file));
            ASSERT_TRUE(ioSleepNs(io, 1));
        }
    };
    std::thread first(work, 'a');
    std::thread second(work, 'b');
    first.join();
    second.join();
    auto text = memory.fileText("/shared.txt");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 4000u);
    EXPECT_EQ(std::count(text->begin(), text->end(), 'a'), 2000);
    for (std::size_t i = 0; i < text->size(); i += 4) EXPECT_EQ(text->substr(i, 4), std::string(4, (*text)[i]));
    EXPECT_EQ(ioMonotonicNs(io), 1'000'000'000u + 1000u);
}

}  // namespace
}  // namespace kelvo
