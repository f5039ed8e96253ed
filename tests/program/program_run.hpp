#pragma once

// The bundled program run as a child process, with an environment of the test's choosing and its
// standard error kept in a file. A run still going when the test ends is killed. A check of how it
// ended (`endsWith`) that fails shows what it wrote there.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace kelvo::testing {

// A fresh folder for one test under the build folder's test output.
inline std::string makeOutputFolder(std::string_view name) {
    std::filesystem::path base = std::filesystem::path(KELVO_TEST_OUTPUT_DIR) / "program-runs";
    std::filesystem::create_directories(base);
    std::string pattern = (base / (std::string(name) + "-XXXXXX")).string();
    return ::mkdtemp(pattern.data());
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// This process's environment with `replaced` ("NAME=value") set and `removed` names left out.
inline std::vector<std::string> environmentWith(std::vector<std::string> replaced, std::vector<std::string> removed) {
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string_view text(*entry);
        std::string_view name = text.substr(0, text.find('='));
        bool drop = false;
        for (const std::string& other : replaced) drop = drop || other.substr(0, other.find('=')) == name;
        for (const std::string& other : removed) drop = drop || other == name;
        if (!drop) result.emplace_back(text);
    }
    result.insert(result.end(), replaced.begin(), replaced.end());
    return result;
}

// The environment of a user who starts the program for the first time in `home`: nothing of the
// test run's own folders (its XDG folders are shared by every test of a run: GTK's recently used
// files among them) nor of the program's development settings; settings kept where a desktop keeps
// them (the file chooser's too), not in memory.
inline std::vector<std::string> firstStartEnvironment(const std::string& home) {
    return environmentWith({"HOME=" + home},
                           {"KELVO_LOG_DIR", "KELVO_LOG_FORMAT", "KELVO_FRONTEND_URL", "XDG_DATA_HOME",
                            "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "GSETTINGS_BACKEND"});
}

class ProgramRun {
public:
    // With `holdTerminate` the program starts with SIGTERM blocked, as if one sent at once came
    // while it was still starting.
    ProgramRun(const std::vector<std::string>& environment, const std::string& workingFolder,
               const std::string& stderrPath, bool holdTerminate = false)
        : stderrPath_(stderrPath) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> envp;
        for (const std::string& entry : environment) envp.push_back(const_cast<char*>(entry.c_str()));
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(KELVO_PROGRAM), nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (holdTerminate) {
            sigset_t held;
            sigemptyset(&held);
            sigaddset(&held, SIGTERM);
            posix_spawnattr_setsigmask(&attributes, &held);
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        }
        if (posix_spawn(&pid_, KELVO_PROGRAM, &actions, &attributes, argv, envp.data()) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ProgramRun() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    [[nodiscard]] bool started() const { return pid_ > 0; }
    [[nodiscard]] pid_t pid() const { return pid_; }
    void signal(int number) const { ::kill(pid_, number); }

    // The exit status once the program ended within `timeout` (-1 when a signal ended it).
    std::optional<int> wait(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_ && pid_ > 0) {
            int raw = 0;
            if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
                signal_ = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
            } else if (std::chrono::steady_clock::now() > deadline) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return status_;
    }

    // What the program wrote to its standard error so far.
    [[nodiscard]] std::string written() const { return readFile(stderrPath_); }

    // Whether the program ended within `timeout` with exit status `expected`; when it did not, the
    // failure tells how it ended, or that it still ran, and what it wrote.
    ::testing::AssertionResult endsWith(int expected, std::chrono::milliseconds timeout) {
        const std::optional<int> status = wait(timeout);
        if (status == expected) return ::testing::AssertionSuccess();
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        if (!status) {
            failure << "the program still ran " << timeout.count() << " ms later";
        } else if (signal_ != 0) {
            failure << "signal " << signal_ << " (" << strsignal(signal_) << ") ended the program";
        } else {
            failure << "the program ended with status " << *status;
        }
        return failure << ", not with status " << expected << "; its standard error:\n" << written();
    }

private:
    std::string stderrPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;
    int signal_ = 0;
};

// Polls `ready` every 20 ms until it holds or `timeout` passed.
template <class Ready>
bool waitUntil(std::chrono::milliseconds timeout, Ready ready) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace kelvo::testing
