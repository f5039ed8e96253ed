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
