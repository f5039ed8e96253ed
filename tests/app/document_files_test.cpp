// The document commands on the real file system: round trips, files that are not regular files,
// symbolic links, large sparse files and a save interrupted by the process ending.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app_fixture.hpp"
#include "base/posix_io.hpp"
#include "support/golden.hpp"
#include "support/temp_folder.hpp"

namespace kelvo {
namespace {

using testing::AppHarness;
using testing::TempFolder;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::string& path, std::string_view text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> names(const TempFolder& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

void makeSparse(const std::string& path, off_t size) {
    int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

class DocumentFiles : public ::testing::Test {
protected:
    std::string quoted(std::string_view name) const { return AppHarness::quoted(temp.path(name)); }

    TempFolder temp;
    AppHarness harness{posixIo()};
};

TEST_F(DocumentFiles, SaveAndReadBackThroughTheEightCommands) {
    writeText(temp.path("a.vrs"), "previous");
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("a.vrs")), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("QUJD")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("REVG")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":6})");
    EXPECT_EQ(fileText(temp.path("a.vrs")), "ABCDEF");
    EXPECT_EQ(names(temp), std::vector<std::string>{"a.vrs"});

    EXPECT_EQ(harness.call("vostra.file.read.begin", quoted("a.vrs")), R"({"ok":true,"bytes":6})");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("QUJDREVG")");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("")");
    EXPECT_EQ(harness.call("vostra.file.read.finish"), R"({"ok":true})");
}

TEST_F(DocumentFiles, OnlyRegularFilesAreReadOrReplaced) {
    ::alarm(20);  // an open that waits for a FIFO's writer ends the test program instead of hanging it
    ASSERT_EQ(::mkfifo(temp.path("x.txt").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(temp.path("p.vrs").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", temp.path("a.txt").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/null", temp.path("n.vrs").c_str()), 0);
    ASSERT_EQ(::mkdir(temp.path("x.png").c_str(), 0700), 0);
    EXPECT_EQ(harness.call("vostra.file.read.begin", quoted("x.txt")), "<InvalidReadablePath>");
    EXPECT_EQ(harness.call("vostra.file.read.begin", quoted("a.txt")), "<InvalidReadablePath>");
    EXPECT_EQ(harness.call("vostra.file.read.begin", quoted("x.png")), "<IsDir>");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), "<NoOpenFile>");
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("p.vrs")), "<InvalidVrsPath>");
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("n.vrs")), "<InvalidVrsPath>");
    EXPECT_EQ(names(temp), (std::vector<std::string>{"a.txt", "n.vrs", "p.vrs", "x.png", "x.txt"}));
    ::alarm(0);
}

TEST_F(DocumentFiles, FilesUpTo32MiBAreRead) {
    makeSparse(temp.path("limit.pdf"), kReadableFileLimit);
    makeSparse(temp.path("over.pdf"), kReadableFileLimit + 1);
    EXPECT_EQ(harness.call("vostra.file.read.begin", quoted("limit.pdf")), R"({"ok":true,"bytes":33554432})");
    EXPECT_EQ(harness.call("vostra.file.read.begin", quoted("over.pdf")), "<VrsFileTooLarge>");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), "<NoOpenFile>");
}

TEST_F(DocumentFiles, ASymbolicLinkIsSavedThroughAndPermissionsAreKept) {
    ASSERT_EQ(::mkdir(temp.path("real").c_str(), 0700), 0);
    writeText(temp.path("real/doc.vrs"), "old");
    ASSERT_EQ(::chmod(temp.path("real/doc.vrs").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("real/doc.vrs", temp.path("link.vrs").c_str()), 0);
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("link.vrs")), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("bmV3")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_TRUE(std::filesystem::is_symlink(temp.path("link.vrs")));
    EXPECT_EQ(fileText(temp.path("real/doc.vrs")), "new");
    struct stat info;
    ASSERT_EQ(::stat(temp.path("real/doc.vrs").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return 07777;
    return info.st_mode & 07777;
}

TEST_F(DocumentFiles, ASaveKeepsTheDocumentsPermissionBitsUnderAnyUmask) {
    const mode_t previous = ::umask(022);
    for (const auto& row : testing::readTable("app/save_modes.txt")) {
        ASSERT_EQ(row.size(), 3u);
        ::umask(static_cast<mode_t>(std::stoul(row[0], nullptr, 8)));
        const std::string document = temp.path("modes.vrs");
        std::filesystem::remove(document);
        if (row[1] != "new") {
            writeText(document, "old");
            ASSERT_EQ(::chmod(document.c_str(), static_cast<mode_t>(std::stoul(row[1], nullptr, 8))), 0);
        }
        EXPECT_EQ(harness.call("vostra.file.begin", quoted("modes.vrs")), R"({"ok":true})");
        EXPECT_EQ(harness.call("vostra.file.append", R"("bmV3")"), R"({"ok":true})");
        EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
        EXPECT_EQ(modeOf(document), std::stoul(row[2], nullptr, 8)) << row[0] << " " << row[1];
        EXPECT_EQ(fileText(document), "new");
    }
    ::umask(previous);
}

// A link whose document does not exist yet is saved through: the document is made where the link
// points, and the link stays. A ring of links is refused.
TEST_F(DocumentFiles, ADanglingLinkGetsItsTargetWritten) {
    ASSERT_EQ(::mkdir(temp.path("real").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("real/relative.vrs", temp.path("relative.vrs").c_str()), 0);
    ASSERT_EQ(::symlink(temp.path("real/absolute.vrs").c_str(), temp.path("absolute.vrs").c_str()), 0);
    // A chain whose last link dangles: its target is relative to that last link's folder.
    ASSERT_EQ(::symlink("real/hop.vrs", temp.path("chain.vrs").c_str()), 0);
    ASSERT_EQ(::symlink("chained", temp.path("real/hop.vrs").c_str()), 0);
    for (const char* link : {"relative.vrs", "absolute.vrs", "chain.vrs"}) {
        EXPECT_EQ(harness.call("vostra.file.begin", quoted(link)), R"({"ok":true})") << link;
        EXPECT_EQ(harness.call("vostra.file.append", R"("bmV3")"), R"({"ok":true})") << link;
        EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})") << link;
        EXPECT_TRUE(std::filesystem::is_symlink(temp.path(link))) << link;
        EXPECT_EQ(fileText(temp.path(link)), "new") << link;
    }
    EXPECT_EQ(fileText(temp.path("real/relative.vrs")), "new");
    EXPECT_EQ(fileText(temp.path("real/absolute.vrs")), "new");
    EXPECT_EQ(fileText(temp.path("real/chained")), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(temp.path("real/hop.vrs")));
    EXPECT_EQ(names(temp), (std::vector<std::string>{"absolute.vrs", "chain.vrs", "real", "relative.vrs"}));

    ASSERT_EQ(::symlink("ring-b.vrs", temp.path("ring-a.vrs").c_str()), 0);
    ASSERT_EQ(::symlink("ring-a.vrs", temp.path("ring-b.vrs").c_str()), 0);
    ASSERT_EQ(::symlink("real/", temp.path("folder.vrs").c_str()), 0);
    ASSERT_EQ(::symlink("missing/x.vrs", temp.path("nowhere.vrs").c_str()), 0);
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("ring-a.vrs")), "<SymLinkLoop>");
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("folder.vrs")), "<IsDir>");
    EXPECT_EQ(harness.call("vostra.file.begin", quoted("nowhere.vrs")), "<FileNotFound>");
    EXPECT_EQ(harness.call("vostra.file.append", R"("bmV3")"), "<NoOpenFile>");
}

// The longest path a document may have, with a name shorter than the temporary file's.
TEST_F(DocumentFiles, ADocumentAtTheLongestPathSavesAndReadsBack) {
    std::string folder = temp.path();
    while (folder.size() < kMaxIoPath - 9) {
        folder += "/" + std::string(std::min<std::size_t>(200, kMaxIoPath - 10 - folder.size()), 'd');
    }
    ASSERT_TRUE(std::filesystem::create_directories(folder));
    const std::string document = folder + "/abc.vrs";
    ASSERT_EQ(document.size(), kMaxIoPath - 1);
    writeText(document, "old");
    EXPECT_EQ(harness.call("vostra.file.begin", AppHarness::quoted(document)), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.append", R"("bmV3")"), R"({"ok":true})");
    EXPECT_EQ(harness.call("vostra.file.finish"), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(harness.call("vostra.file.read.begin", AppHarness::quoted(document)), R"({"ok":true,"bytes":3})");
    EXPECT_EQ(harness.call("vostra.file.read.chunk"), R"("bmV3")");
    EXPECT_EQ(harness.call("vostra.file.read.finish"), R"({"ok":true})");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"abc.vrs"});
}

// A process that began a save and ended without finishing it leaves the document as it was; the
// next save of that document clears the abandoned temporary file.
TEST_F(DocumentFiles, ASaveCutShortByTheProcessEndingLosesNothing) {
    writeText(temp.path("doc.vrs"), "the previous document");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        AppHarness crashing{posixIo()};
        bool begun = crashing.call("vostra.file.begin", quoted("doc.vrs")) == R"({"ok":true})";
        bool appended = crashing.call("vostra.file.append", R"("QUJD")") == R"({"ok":true})";
        ::_exit(begun && appended ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fileText(temp.path("doc.vrs")), "the previous document");
    EXPECT_EQ(names(temp).size(), 2u) << "the abandoned temporary file";

    EXPECT_EQ(harness.call("vostra.file.begin", quoted("doc.vrs")), R"({"ok":true})");
    EXPECT_EQ(names(temp).size(), 2u) << "only this save's temporary file";
    EXPECT_EQ(harness.call("vostra.file.cancel"), R"({"ok":true})");
    EXPECT_EQ(names(temp), std::vector<std::string>{"doc.vrs"});
    EXPECT_EQ(fileText(temp.path("doc.vrs")), "the previous document");
}

}  // namespace
}  // namespace kelvo
