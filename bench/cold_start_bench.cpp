// Cold start of the bundled program: from exec to its first "app.start" trace record (the page of
// its window is loading), read from the terminal sink on its standard error. Each run has a fresh
// home folder and is ended with SIGTERM. Needs a display: run it under `xvfb-run -a`.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Starts the program with HOME set to `home` and its standard error on a pipe; false when the
// program ended before its first "app.start" record.
bool startUntilAppStart(const std::string& home, pid_t& pid) {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
    std::vector<std::string> entries{"HOME=" + home};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string_view text(*entry);
        if (!text.starts_with("HOME=") && !text.starts_with("KELVO_")) entries.emplace_back(text);
    }
    std::vector<char*> envp;
    for (std::string& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char* argv[] = {const_cast<char*>(KELVO_PROGRAM), nullptr};
    bool spawned = posix_spawn(&pid, KELVO_PROGRAM, &actions, nullptr, argv, envp.data()) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    std::string seen;
    char buffer[4096];
    bool started = false;
    while (spawned && !started) {
        ssize_t length = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (length <= 0) break;
        seen.append(buffer, static_cast<std::size_t>(length));
        started = seen.find("name=\"app.start\"") != std::string::npos;
    }
    ::close(pipeEnds[0]);
    return started;
}

void ColdStartToAppStart(benchmark::State& state) {
    if (::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("needs a display: run under xvfb-run -a");
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvo-cold-start-XXXXXX").string();
    const std::filesystem::path base = ::mkdtemp(pattern.data());
    for (auto _ : state) {
        std::filesystem::remove_all(base);
        std::filesystem::create_directories(base);
        pid_t pid = -1;
        auto begin = std::chrono::steady_clock::now();
        bool started = startUntilAppStart(base.string(), pid);
        auto end = std::chrono::steady_clock::now();
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        if (!started) {
            state.SkipWithError("the program ended before its first app.start record");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
    }
    std::filesystem::remove_all(base);
}
BENCHMARK(ColdStartToAppStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
