#pragma once

// Runs the test program that takes the display's clipboard and never answers for it (a hung
// program), or, given a text to trickle, sends it one byte every 4 s, for as long as the record
// lives.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

extern char** environ;

namespace kelvo::testing {

class SilentClipboardOwner {
public:
    // Starts the program and waits until it holds the clipboard; `owns()` tells whether it does.
    explicit SilentClipboardOwner(const char* trickled = nullptr) {
        int pipe[2];
        if (::pipe(pipe) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipe[0]);
        char* argv[] = {const_cast<char*>(KELVO_SILENT_CLIPBOARD_OWNER),
                        const_cast<char*>(trickled != nullptr ? "trickle" : nullptr), const_cast<char*>(trickled),
                        nullptr};
        if (posix_spawn(&pid_, KELVO_SILENT_CLIPBOARD_OWNER, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        char said[16] = {};
        std::size_t got = 0;
        for (ssize_t n; pid_ > 0 && got < 6 && (n = ::read(pipe[0], said + got, 6 - got)) > 0;) {
            got += static_cast<std::size_t>(n);
        }
        ::close(pipe[0]);
        owns_ = std::string(said, got) == "owner\n";
    }
    ~SilentClipboardOwner() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    SilentClipboardOwner(const SilentClipboardOwner&) = delete;
    SilentClipboardOwner& operator=(const SilentClipboardOwner&) = delete;

    [[nodiscard]] bool owns() const { return owns_; }

private:
    pid_t pid_ = -1;
    bool owns_ = false;
};

}  // namespace kelvo::testing
