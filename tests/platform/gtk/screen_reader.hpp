#pragma once

// A screen reader in another process: a script that reads this process's canvas elements over the
// accessibility bus into a file (and presses the first one unless it only lists them), or another
// script of the test data that acts on them. It runs while the main loop goes on; `done` and
// `status` tell how it ended.

#include <glib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/golden.hpp"

namespace kelvo {

struct ScreenReader {
    GPid pid = 0;
    int status = -1;
    bool done = false;

    void start(const std::string& out, bool pressFirst) {
        if (pressFirst) {
            run("read_canvas_elements.py", out);
        } else {
            run("read_canvas_elements.py", out, "list");
        }
    }

    // Runs another script of the same folder, given this process's id, `out` and `extra`.
    void run(const char* scriptName, const std::string& out, const char* extra = nullptr) {
        const std::string script = testing::dataPath(std::string("platform/") + scriptName);
        const std::string self = std::to_string(getpid());
        // The system's interpreter: it is the one with the accessibility bindings.
        const char* argv[] = {"/usr/bin/python3", script.c_str(), self.c_str(), out.c_str(), extra, nullptr};
        GError* error = nullptr;
        ASSERT_TRUE(g_spawn_async(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr,
                                  nullptr, &pid, &error))
            << (error ? error->message : "");
        g_child_watch_add(
            pid,
            [](GPid child, gint exit, gpointer data) {
                auto& reader = *static_cast<ScreenReader*>(data);
                reader.status = exit;
                reader.done = true;
                g_spawn_close_pid(child);
            },
            this);
    }
};

}  // namespace kelvo
